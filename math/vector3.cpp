#include "math/vector3.h"

#include <cmath>
#include <ostream>

Vector3 Vector3::Refract(const Vector3& n, float a, float b) const {
    const float r = a / b;
    Vector3 dir = *this;
    dir.Normalize();
    const float c = dir.Dot(n);
    // Under total internal reflection the radicand is negative and k, and so the whole result,
    // is NaN: no reflected direction is substituted.
    const float radicand = 1.0f - r * r * (1.0f - c * c);
    const float k = float(std::sqrt(double(radicand)));
    const float s = r * c + k;
    return dir * r - n * s;
}

std::ostream& operator<<(std::ostream& os, const Vector3& v) {
    return os << v.x << ", " << v.y << ", " << v.z;
}
