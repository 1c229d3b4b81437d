// Matrix4's rotations, determinant, adjugate and inverse, and the Vector3 and Vector4 operations
// that take a Matrix4.
#include "math/matrix4.h"

#include <cmath>

#include "math/vector4.h"

namespace {

// Sine and cosine in double of the float angle, each rounded to float once.
float Sin(float a) { return float(std::sin(double(a))); }
float Cos(float a) { return float(std::cos(double(a))); }

Matrix4 RotationX(float a) {
    const float s = Sin(a), c = Cos(a);
    return {1, 0, 0, 0, 0, c, s, 0, 0, -s, c, 0, 0, 0, 0, 1};
}

Matrix4 RotationY(float a) {
    const float s = Sin(a), c = Cos(a);
    return {c, 0, -s, 0, 0, 1, 0, 0, s, 0, c, 0, 0, 0, 0, 1};
}

Matrix4 RotationZ(float a) {
    const float s = Sin(a), c = Cos(a);
    return {c, s, 0, 0, -s, c, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
}

// A(axis, angle), the axis as given. Every named intermediate (s, c, t, xx, yy, zz) is a float,
// and x*y*t is (x*y)*t.
Matrix4 AxisRotation(const Vector3& axis, float angle) {
    const float s = Sin(angle);
    const float c = Cos(angle);
    const float t = 1.0f - c;
    const float x = axis.x, y = axis.y, z = axis.z;
    const float xx = x * x, yy = y * y, zz = z * z;
    Matrix4 a;
    a.m[0] = xx + (1.0f - xx) * c;
    a.m[1] = x * y * t - s * z;
    a.m[2] = x * z * t + s * y;
    a.m[4] = x * y * t + s * z;
    a.m[5] = yy + (1.0f - yy) * c;
    a.m[6] = y * z * t - s * x;
    a.m[8] = x * z * t - s * y;
    a.m[9] = y * z * t + s * x;
    a.m[10] = zz + (1.0f - zz) * c;
    return a;
}

// The determinant of the 3 x 3 matrix left when row i and column j are struck out, expanded
// along its first row and summed in that order.
float Minor(const Matrix4& a, int i, int j) {
    int r[3] = {}, c[3] = {};
    for (int k = 0, n = 0; k < 4; ++k)
        if (k != i) r[n++] = k;
    for (int k = 0, n = 0; k < 4; ++k)
        if (k != j) c[n++] = k;
    auto e = [&](int row, int col) { return a.m[4 * r[row] + c[col]]; };
    return e(0, 0) * (e(1, 1) * e(2, 2) - e(2, 1) * e(1, 2)) -
           e(0, 1) * (e(1, 0) * e(2, 2) - e(2, 0) * e(1, 2)) +
           e(0, 2) * (e(1, 0) * e(2, 1) - e(2, 0) * e(1, 1));
}

} // namespace

void Matrix4::Rotate(float ax, float ay, float az) {
    *this *= RotationX(ax);
    *this *= RotationY(ay);
    *this *= RotationZ(az);
}

void Matrix4::Rotate(const Vector3& axis, float angle) {
    const Matrix4 tmp = AxisRotation(axis, angle);
    *this *= tmp;
}

// Starts from Rx itself, not from identity * Rx: the product would turn Rx's -0 into +0.
void Matrix4::SetRotation(float ax, float ay, float az) {
    *this = RotationX(ax);
    *this *= RotationY(ay);
    *this *= RotationZ(az);
}

void Matrix4::SetRotation(const Vector3& axis, float angle) { *this = AxisRotation(axis, angle); }

float Matrix4::Determinant() const {
    const float m0 = Minor(*this, 0, 0);
    const float m1 = Minor(*this, 0, 1);
    const float m2 = Minor(*this, 0, 2);
    const float m3 = Minor(*this, 0, 3);
    return ((m[0] * m0 - m[1] * m1) + m[2] * m2) - m[3] * m3;
}

Matrix4 Matrix4::Adjoint() const {
    Matrix4 coef;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            coef.m[4 * i + j] = Minor(*this, i, j);
    coef.Transpose();
    // The cofactor signs, (-1)^(i + j), as two sign flips.
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            float& e = coef.m[4 * i + j];
            if (j % 2 == 1) e = -e;
            if (i % 2 == 1) e = -e;
        }
    }
    return coef;
}

// The reciprocal is rounded to float and then multiplies every element; no element is divided
// by the determinant.
Matrix4 Matrix4::Inverse() const {
    const Matrix4 AdjMat = Adjoint();
    const float det = Determinant();
    const float r = 1.0f / det;
    return AdjMat * r;
}

void Vector3::Transform(const Matrix4& mat) {
    const float* m = mat.m;
    const float nx = ((x * m[0] + y * m[4]) + z * m[8]) + m[12];
    const float ny = ((x * m[1] + y * m[5]) + z * m[9]) + m[13];
    const float nz = ((x * m[2] + y * m[6]) + z * m[10]) + m[14];
    x = nx;
    y = ny;
    z = nz;
}

void Vector3::Rotate(float ax, float ay, float az) {
    Matrix4 xform;
    xform.SetRotation(ax, ay, az);
    Transform(xform);
}

void Vector3::Rotate(const Vector3& axis, float angle) {
    Matrix4 xform;
    xform.SetRotation(axis, angle);
    Transform(xform);
}

void Vector4::Transform(const Matrix4& mat) {
    const float* m = mat.m;
    const float nx = ((x * m[0] + y * m[4]) + z * m[8]) + w * m[12];
    const float ny = ((x * m[1] + y * m[5]) + z * m[9]) + w * m[13];
    const float nz = ((x * m[2] + y * m[6]) + z * m[10]) + w * m[14];
    const float nw = ((x * m[3] + y * m[7]) + z * m[11]) + w * m[15];
    x = nx;
    y = ny;
    z = nz;
    w = nw;
}

void Vector4::Rotate(float ax, float ay, float az) {
    Matrix4 xform;
    xform.SetRotation(ax, ay, az);
    Transform(xform);
}

void Vector4::Rotate(const Vector3& axis, float angle) {
    Matrix4 xform;
    xform.SetRotation(axis, angle);
    Transform(xform);
}
