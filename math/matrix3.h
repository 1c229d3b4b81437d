// Matrix3: the 3 x 3 float matrix for 2D affine transforms of row vectors (translation, rotation,
// scaling and their products). No determinant or inverse.
#pragma once

#include "math/vector2.h"

// Element (r, c) is m[3 * r + c]. A point is the row vector (x, y, 1) on the left, so rows 0 and
// 1 are the images of the axes and row 2 (elements 6 and 7) is the translation. Every operation
// that applies a further transform multiplies on the right (receiver = receiver * X).
class Matrix3 {
  public:
    float m[9];

    // The identity.
    constexpr Matrix3() : m{1, 0, 0, 0, 1, 0, 0, 0, 1} {}
    // Row by row: e0 ... e2 are row 0, e6 ... e8 row 2.
    constexpr Matrix3(float e0, float e1, float e2, float e3, float e4, float e5, float e6,
                      float e7, float e8)
        : m{e0, e1, e2, e3, e4, e5, e6, e7, e8} {}
    constexpr Matrix3(const Matrix3&) = default;
    constexpr Matrix3& operator=(const Matrix3&) = default;

    constexpr void SetIdentity() { *this = Matrix3(); }

    constexpr Matrix3 operator+(const Matrix3& b) const {
        Matrix3 tmp;
        for (int k = 0; k < 9; ++k)
            tmp.m[k] = m[k] + b.m[k];
        return tmp;
    }
    constexpr Matrix3 operator-(const Matrix3& b) const {
        Matrix3 tmp;
        for (int k = 0; k < 9; ++k)
            tmp.m[k] = m[k] - b.m[k];
        return tmp;
    }
    constexpr Matrix3 operator*(float s) const {
        Matrix3 tmp;
        for (int k = 0; k < 9; ++k)
            tmp.m[k] = s * m[k];
        return tmp;
    }
    // The product this * b: b acts after this. Each element is summed over k = 0 to 2 in that
    // order, in float.
    constexpr Matrix3 operator*(const Matrix3& b) const {
        Matrix3 tmp;
        for (int i = 0; i < 3; ++i) {
            const float* p = m + 3 * i;
            for (int j = 0; j < 3; ++j)
                tmp.m[3 * i + j] = (p[0] * b.m[j] + p[1] * b.m[3 + j]) + p[2] * b.m[6 + j];
        }
        return tmp;
    }

    constexpr void operator+=(const Matrix3& b) {
        for (int k = 0; k < 9; ++k)
            m[k] = m[k] + b.m[k];
    }
    constexpr void operator-=(const Matrix3& b) {
        for (int k = 0; k < 9; ++k)
            m[k] = m[k] - b.m[k];
    }
    constexpr void operator*=(float s) {
        for (int k = 0; k < 9; ++k)
            m[k] = s * m[k];
    }
    // The product is formed whole before it replaces the receiver, so b may be *this.
    constexpr void operator*=(const Matrix3& b) {
        const Matrix3 tmp = *this * b;
        *this = tmp;
    }

    constexpr void Translate(float x, float y) {
        const Matrix3 tmp = Translation(x, y);
        *this *= tmp;
    }
    // receiver = receiver * R(angle); a positive angle turns x towards y.
    void Rotate(float angle);
    constexpr void Scale(float x, float y) {
        const Matrix3 tmp = Scaling(x, y);
        *this *= tmp;
    }

    constexpr void SetTranslation(float x, float y) { *this = Translation(x, y); }
    // Rows (cos, sin, 0), (-sin, cos, 0), (0, 0, 1), sine and cosine rounded to float: the
    // upper-left block of Matrix4's Rz.
    void SetRotation(float angle);
    constexpr void SetScaling(float x, float y) { *this = Scaling(x, y); }

    // Row 2 / column 2 get a 1 in their third element: SetColumn(v, 0) sets m20 = 1, a
    // translation of 1 along x. The index must be 0 to 2; nothing checks.
    constexpr void SetRow(const Vector2& v, int i) {
        m[3 * i] = v.x;
        m[3 * i + 1] = v.y;
        m[3 * i + 2] = 1.0f;
    }
    constexpr void SetColumn(const Vector2& v, int i) {
        m[i] = v.x;
        m[3 + i] = v.y;
        m[6 + i] = 1.0f;
    }
    // The first two elements; the third is not returned.
    constexpr Vector2 GetRow(int i) const { return {m[3 * i], m[3 * i + 1]}; }
    constexpr Vector2 GetColumn(int i) const { return {m[i], m[3 + i]}; }

    constexpr void Transpose() {
        const Matrix3 mat = *this;
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c)
                m[3 * r + c] = mat.m[3 * c + r];
    }
    constexpr Matrix3 Transposed() const {
        Matrix3 mat;
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c)
                mat.m[3 * r + c] = m[3 * c + r];
        return mat;
    }

  private:
    // The elementary transforms T and S, row by row.
    static constexpr Matrix3 Translation(float x, float y) { return {1, 0, 0, 0, 1, 0, x, y, 1}; }
    static constexpr Matrix3 Scaling(float x, float y) { return {x, 0, 0, 0, y, 0, 0, 0, 1}; }
};
