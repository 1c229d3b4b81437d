// Matrix3's rotations and the Vector2 operations that take a Matrix3.
#include "math/matrix3.h"

#include <cmath>

namespace {

// R(a), with sine and cosine in double of the float angle, each rounded to float once.
Matrix3 Rotation(float a) {
    const float s = float(std::sin(double(a)));
    const float c = float(std::cos(double(a)));
    return {c, s, 0, -s, c, 0, 0, 0, 1};
}

} // namespace

void Matrix3::Rotate(float angle) {
    const Matrix3 tmp = Rotation(angle);
    *this *= tmp;
}

void Matrix3::SetRotation(float angle) { *this = Rotation(angle); }

void Vector2::Transform(const Matrix3& mat) {
    const float* m = mat.m;
    const float nx = (x * m[0] + y * m[3]) + m[6];
    const float ny = (x * m[1] + y * m[4]) + m[7];
    x = nx;
    y = ny;
}

void Vector2::Rotate(float angle) {
    Matrix3 xform;
    xform.SetRotation(angle);
    Transform(xform);
}
