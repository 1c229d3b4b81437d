#include "math/vector4.h"

#include <ostream>

std::ostream& operator<<(std::ostream& os, const Vector4& v) {
    return os << v.x << ", " << v.y << ", " << v.z << ", " << v.w;
}
