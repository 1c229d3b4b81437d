#include "math/vector2.h"

#include <ostream>

std::ostream& operator<<(std::ostream& os, const Vector2& v) { return os << v.x << ", " << v.y; }
