// Vector4: the four-component float vector, a homogeneous point or direction for 4 x 4
// transforms and a plain 4D vector, with the three-operand 4D cross product.
#pragma once

#include <cmath>
#include <iosfwd>

#include "math/conventions.h"
#include "math/vector3.h"

class Matrix4;

// w is an ordinary component: length, normalisation and comparisons include it.
class Vector4 {
  public:
    float x;
    float y;
    float z;
    float w;

    // The zero vector, w included, like the other vectors' defaults.
    constexpr Vector4() : x(0.0f), y(0.0f), z(0.0f), w(0.0f) {}
    // The homogeneous point (v, 1).
    constexpr Vector4(const Vector3& v) : x(v.x), y(v.y), z(v.z), w(1.0f) {}
    constexpr Vector4(float x_, float y_, float z_, float w_) : x(x_), y(y_), z(z_), w(w_) {}
    constexpr Vector4(const Vector4&) = default;
    constexpr Vector4& operator=(const Vector4&) = default;

    // Summed ((x + y) + z) + w, each product and sum rounded to float.
    constexpr float Dot(const Vector4& b) const {
        return ((x * b.x + y * b.y) + z * b.z) + w * b.w;
    }
    // The vector orthogonal to this, v and u: the cofactor expansion of the 4 x 4 determinant
    // whose first row is the unit vectors and whose other rows are this, v and u.
    constexpr Vector4 Cross(const Vector4& v, const Vector4& u) const;

    constexpr Vector4 operator+(const Vector4& b) const {
        return {x + b.x, y + b.y, z + b.z, w + b.w};
    }
    constexpr Vector4 operator-(const Vector4& b) const {
        return {x - b.x, y - b.y, z - b.z, w - b.w};
    }
    constexpr Vector4 operator*(float s) const { return {s * x, s * y, s * z, s * w}; }
    // Four true divisions, not a multiplication by 1/s.
    constexpr Vector4 operator/(float s) const { return {x / s, y / s, z / s, w / s}; }
    constexpr Vector4 operator-() const { return {-x, -y, -z, -w}; }

    constexpr void operator+=(const Vector4& b) {
        x = x + b.x;
        y = y + b.y;
        z = z + b.z;
        w = w + b.w;
    }
    constexpr void operator-=(const Vector4& b) {
        x = x - b.x;
        y = y - b.y;
        z = z - b.z;
        w = w - b.w;
    }
    constexpr void operator*=(float s) {
        x = s * x;
        y = s * y;
        z = s * z;
        w = s * w;
    }
    constexpr void operator/=(float s) {
        x = x / s;
        y = y / s;
        z = z / s;
        w = w / s;
    }

    // Ordering compares squared lengths, strictly. The float forms compare the squared length
    // with the number as given, unsquared.
    constexpr bool operator<(const Vector4& b) const { return LengthSquared() < b.LengthSquared(); }
    constexpr bool operator>(const Vector4& b) const { return LengthSquared() > b.LengthSquared(); }
    constexpr bool operator<(float f) const { return LengthSquared() < f; }
    constexpr bool operator>(float f) const { return LengthSquared() > f; }

    // Equal when the difference is shorter than the tolerance.
    bool operator==(const Vector4& b) const {
        return (*this - b).Length() < gmath::kEqualityTolerance;
    }
    // Equal when the length is within the tolerance of f, on either side.
    bool operator==(float f) const { return std::fabs(Length() - f) < gmath::kEqualityTolerance; }

    constexpr float LengthSquared() const { return ((x * x + y * y) + z * z) + w * w; }
    float Length() const { return float(std::sqrt(double(LengthSquared()))); }

    // All four components are divided, so a point (x, y, z, 1) loses its w = 1. The zero vector
    // normalises to NaN components; nothing checks.
    void Normalize() {
        const float len = Length();
        x = x / len;
        y = y / len;
        z = z / len;
        w = w / len;
    }
    Vector4 Normalized() const {
        const float len = Length();
        return {x / len, y / len, z / len, w / len};
    }

    // Adds each offset to its component, like the other vectors' Translate.
    constexpr void Translate(float dx, float dy, float dz, float dw) {
        x = dx + x;
        y = dy + y;
        z = dz + z;
        w = dw + w;
    }
    constexpr void Scale(float sx, float sy, float sz, float sw) {
        x = sx * x;
        y = sy * y;
        z = sz * z;
        w = sw * w;
    }

    // 0 is x, 1 is y, 2 is z; every other index, negative ones included, is w.
    constexpr float& operator[](int i) { return i == 0 ? x : (i == 1 ? y : (i == 2 ? z : w)); }
    constexpr const float& operator[](int i) const {
        return i == 0 ? x : (i == 1 ? y : (i == 2 ? z : w));
    }

    // v = (x, y, z, w) * m over all four columns; no division by the new w. Defined with
    // Matrix4.
    void Transform(const Matrix4& m);
    // Rotates x, y and z as Vector3::Rotate does; w is unchanged.
    void Rotate(float ax, float ay, float az);
    void Rotate(const Vector3& axis, float angle);
};

constexpr Vector4 Vector4::Cross(const Vector4& v, const Vector4& u) const {
    // The six 2 x 2 minors of v and u, each rounded to float.
    const float dxy = v.x * u.y - v.y * u.x;
    const float dxz = v.x * u.z - v.z * u.x;
    const float dxw = v.x * u.w - v.w * u.x;
    const float dyz = v.y * u.z - v.z * u.y;
    const float dyw = v.y * u.w - v.w * u.y;
    const float dzw = v.z * u.w - v.w * u.z;
    Vector4 result;
    result.x = (dzw * y - dyw * z) + dyz * w;
    result.y = (-dzw * x + dxw * z) - dxz * w;
    result.z = (dyw * x - dxw * y) + dxy * w;
    result.w = (-dyz * x + dxz * y) - dxy * z;
    return result;
}

constexpr float Dot(const Vector4& a, const Vector4& b) { return a.Dot(b); }
constexpr Vector4 Cross(const Vector4& u, const Vector4& v, const Vector4& w) {
    return u.Cross(v, w);
}

// Writes "x, y, z, w" with the stream's own float formatting; no brackets, no line end.
std::ostream& operator<<(std::ostream& os, const Vector4& v);
