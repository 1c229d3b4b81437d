// Vector3: the three-component float vector for points, directions and normals in 3D, with
// cross product, reflection and refraction.
#pragma once

#include <cmath>
#include <iosfwd>

#include "math/conventions.h"

class Matrix4;

class Vector3 {
  public:
    float x;
    float y;
    float z;

    constexpr Vector3() : x(0.0f), y(0.0f), z(0.0f) {}
    constexpr Vector3(float x_, float y_, float z_) : x(x_), y(y_), z(z_) {}
    constexpr Vector3(const Vector3&) = default;
    constexpr Vector3& operator=(const Vector3&) = default;

    // Summed as (x + y) + z, each product and sum rounded to float.
    constexpr float Dot(const Vector3& b) const { return (x * b.x + y * b.y) + z * b.z; }
    // The right-handed cross product: (1, 0, 0) x (0, 1, 0) = (0, 0, 1).
    constexpr Vector3 Cross(const Vector3& b) const {
        return {y * b.z - z * b.y, z * b.x - x * b.z, x * b.y - y * b.x};
    }

    constexpr Vector3 operator+(const Vector3& b) const { return {x + b.x, y + b.y, z + b.z}; }
    constexpr Vector3 operator-(const Vector3& b) const { return {x - b.x, y - b.y, z - b.z}; }
    constexpr Vector3 operator*(float s) const { return {s * x, s * y, s * z}; }
    // Three true divisions, not a multiplication by 1/s.
    constexpr Vector3 operator/(float s) const { return {x / s, y / s, z / s}; }
    constexpr Vector3 operator-() const { return {-x, -y, -z}; }

    constexpr void operator+=(const Vector3& b) {
        x = x + b.x;
        y = y + b.y;
        z = z + b.z;
    }
    constexpr void operator-=(const Vector3& b) {
        x = x - b.x;
        y = y - b.y;
        z = z - b.z;
    }
    constexpr void operator*=(float s) {
        x = s * x;
        y = s * y;
        z = s * z;
    }
    constexpr void operator/=(float s) {
        x = x / s;
        y = y / s;
        z = z / s;
    }

    // Ordering compares squared lengths, strictly. The float forms compare the squared length
    // with the number as given, unsquared: (1, 2, 2) > 8 holds because 9 > 8.
    constexpr bool operator<(const Vector3& b) const { return LengthSquared() < b.LengthSquared(); }
    constexpr bool operator>(const Vector3& b) const { return LengthSquared() > b.LengthSquared(); }
    constexpr bool operator<(float f) const { return LengthSquared() < f; }
    constexpr bool operator>(float f) const { return LengthSquared() > f; }

    // Equal when the difference is shorter than the tolerance.
    bool operator==(const Vector3& b) const {
        return (*this - b).Length() < gmath::kEqualityTolerance;
    }
    // Equal when the length is within the tolerance of f, on either side.
    bool operator==(float f) const { return std::fabs(Length() - f) < gmath::kEqualityTolerance; }

    constexpr float LengthSquared() const { return (x * x + y * y) + z * z; }
    float Length() const { return float(std::sqrt(double(LengthSquared()))); }

    // The zero vector normalises to NaN components; nothing checks.
    void Normalize() {
        const float len = Length();
        x = x / len;
        y = y / len;
        z = z / len;
    }
    Vector3 Normalized() const {
        const float len = Length();
        return {x / len, y / len, z / len};
    }

    // 2 (v . n) n - v: v mirrored about the line of n. n is used as given, not normalised.
    constexpr Vector3 Reflect(const Vector3& n) const {
        const float d = Dot(n);
        const Vector3 p = n * d;
        const Vector3 q = p * 2.0f;
        return q - *this;
    }
    // The direction of this vector after passing from a medium of index a into one of index b
    // through a surface with normal n (pointing against the incoming direction). The receiver
    // is normalised first, n is used as given. Total internal reflection gives NaN components.
    Vector3 Refract(const Vector3& n, float a, float b) const;

    constexpr void Translate(float dx, float dy, float dz) {
        x = dx + x;
        y = dy + y;
        z = dz + z;
    }
    constexpr void Scale(float sx, float sy, float sz) {
        x = sx * x;
        y = sy * y;
        z = sz * z;
    }

    // 0 is x, 1 is y; every other index, negative ones included, is z. Never out of the vector.
    constexpr float& operator[](int i) { return i == 0 ? x : (i == 1 ? y : z); }
    constexpr const float& operator[](int i) const { return i == 0 ? x : (i == 1 ? y : z); }

    // v = (x, y, z, 1) * m, keeping three columns: a point, translated by row 3. No division by
    // w. Defined with Matrix4.
    void Transform(const Matrix4& m);
    // Rotates about the fixed x, then y, then z axis (Matrix4::SetRotation(ax, ay, az)).
    void Rotate(float ax, float ay, float az);
    // Rotates through Matrix4::SetRotation(axis, angle): the opposite sense from the Euler form.
    void Rotate(const Vector3& axis, float angle);
};

constexpr float Dot(const Vector3& a, const Vector3& b) { return a.Dot(b); }
constexpr Vector3 Cross(const Vector3& a, const Vector3& b) { return a.Cross(b); }

// Writes "x, y, z" with the stream's own float formatting; no brackets, no line end.
std::ostream& operator<<(std::ostream& os, const Vector3& v);
