// Matrix4: the 4 x 4 float matrix for 3D affine transforms of row vectors (translation, Euler and
// axis rotation, scaling, their products), with transpose, determinant, adjugate and inverse.
#pragma once

#include "math/vector3.h"

// Element (r, c) is m[4 * r + c]. A point is the row vector (x, y, z, 1) on the left, so rows 0
// to 2 are the images of the axes and row 3 (elements 12, 13, 14) is the translation. Every
// operation that applies a further transform multiplies on the right (receiver = receiver * X):
// the new transform acts after everything the receiver already held.
class Matrix4 {
  public:
    float m[16];

    // The identity.
    constexpr Matrix4() : m{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1} {}
    // Row by row: e0 ... e3 are row 0, e12 ... e15 row 3.
    constexpr Matrix4(float e0, float e1, float e2, float e3, float e4, float e5, float e6,
                      float e7, float e8, float e9, float e10, float e11, float e12, float e13,
                      float e14, float e15)
        : m{e0, e1, e2, e3, e4, e5, e6, e7, e8, e9, e10, e11, e12, e13, e14, e15} {}
    constexpr Matrix4(const Matrix4&) = default;
    constexpr Matrix4& operator=(const Matrix4&) = default;

    constexpr void SetIdentity() { *this = Matrix4(); }

    constexpr Matrix4 operator+(const Matrix4& b) const {
        Matrix4 tmp;
        for (int k = 0; k < 16; ++k)
            tmp.m[k] = m[k] + b.m[k];
        return tmp;
    }
    constexpr Matrix4 operator-(const Matrix4& b) const {
        Matrix4 tmp;
        for (int k = 0; k < 16; ++k)
            tmp.m[k] = m[k] - b.m[k];
        return tmp;
    }
    constexpr Matrix4 operator*(float s) const {
        Matrix4 tmp;
        for (int k = 0; k < 16; ++k)
            tmp.m[k] = s * m[k];
        return tmp;
    }
    // The product this * b: b acts after this. Each element is summed over k = 0 to 3 in that
    // order, in float.
    constexpr Matrix4 operator*(const Matrix4& b) const {
        Matrix4 tmp;
        for (int i = 0; i < 4; ++i) {
            const float* p = m + 4 * i;
            for (int j = 0; j < 4; ++j) {
                tmp.m[4 * i + j] =
                    ((p[0] * b.m[j] + p[1] * b.m[4 + j]) + p[2] * b.m[8 + j]) + p[3] * b.m[12 + j];
            }
        }
        return tmp;
    }

    constexpr void operator+=(const Matrix4& b) {
        for (int k = 0; k < 16; ++k)
            m[k] = m[k] + b.m[k];
    }
    constexpr void operator-=(const Matrix4& b) {
        for (int k = 0; k < 16; ++k)
            m[k] = m[k] - b.m[k];
    }
    constexpr void operator*=(float s) {
        for (int k = 0; k < 16; ++k)
            m[k] = s * m[k];
    }
    // The product is formed whole before it replaces the receiver, so b may be *this.
    constexpr void operator*=(const Matrix4& b) {
        const Matrix4 tmp = *this * b;
        *this = tmp;
    }

    // The elementary transforms T, S, Rx, Ry, Rz and A (below), applied after the receiver.
    constexpr void Translate(float x, float y, float z) {
        const Matrix4 tmp = Translation(x, y, z);
        *this *= tmp;
    }
    constexpr void Scale(float x, float y, float z) {
        const Matrix4 tmp = Scaling(x, y, z);
        *this *= tmp;
    }
    // receiver = receiver * Rx(ax) * Ry(ay) * Rz(az), rounded after each of the three products:
    // about the fixed x axis first, then y, then z. Positive angles turn y towards z (Rx), z
    // towards x (Ry) and x towards y (Rz).
    void Rotate(float ax, float ay, float az);
    // receiver = receiver * A(axis, angle); see SetRotation(axis, angle).
    void Rotate(const Vector3& axis, float angle);

    constexpr void SetTranslation(float x, float y, float z) { *this = Translation(x, y, z); }
    constexpr void SetScaling(float x, float y, float z) { *this = Scaling(x, y, z); }
    // receiver = Rx(ax), then * Ry(ay), then * Rz(az).
    void SetRotation(float ax, float ay, float az);
    // receiver = A(axis, angle), the axis used as given (not normalised). For a unit axis u this
    // is the transpose of the Euler-style rotation by angle about u: it turns the other way, so
    // SetRotation((0, 0, 1), a) equals SetRotation(0, 0, -a). The zero axis gives the diagonal
    // (cos, cos, cos, 1).
    void SetRotation(const Vector3& axis, float angle);

    // Row 3 / column 3 get a 1 in their fourth element: SetColumn(v, 0) sets m30 = 1, a
    // translation of 1 along x. The index must be 0 to 3; nothing checks.
    constexpr void SetColumn(const Vector3& v, int i) {
        m[i] = v.x;
        m[4 + i] = v.y;
        m[8 + i] = v.z;
        m[12 + i] = 1.0f;
    }
    constexpr void SetRow(const Vector3& v, int i) {
        m[4 * i] = v.x;
        m[4 * i + 1] = v.y;
        m[4 * i + 2] = v.z;
        m[4 * i + 3] = 1.0f;
    }
    // The first three elements; the fourth is not returned.
    constexpr Vector3 GetColumn(int i) const { return {m[i], m[4 + i], m[8 + i]}; }
    constexpr Vector3 GetRow(int i) const { return {m[4 * i], m[4 * i + 1], m[4 * i + 2]}; }

    constexpr void Transpose() {
        const Matrix4 mat = *this;
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < 4; ++c)
                m[4 * r + c] = mat.m[4 * c + r];
    }
    constexpr Matrix4 Transposed() const {
        Matrix4 mat = *this;
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < 4; ++c)
                mat.m[4 * r + c] = m[4 * c + r];
        return mat;
    }

    // Expansion along row 0 over the four 3 x 3 minors, each rounded to float first.
    float Determinant() const;
    // The adjugate: element (i, j) is (-1)^(i + j) times minor(j, i).
    Matrix4 Adjoint() const;
    // Adjoint() times the float reciprocal of Determinant(). The determinant is not tested: a
    // singular matrix gives infinities where the adjugate is non-zero and NaN where it is zero.
    Matrix4 Inverse() const;

  private:
    // The elementary transforms T and S, row by row.
    static constexpr Matrix4 Translation(float x, float y, float z) {
        return {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, x, y, z, 1};
    }
    static constexpr Matrix4 Scaling(float x, float y, float z) {
        return {x, 0, 0, 0, 0, y, 0, 0, 0, 0, z, 0, 0, 0, 0, 1};
    }
};
