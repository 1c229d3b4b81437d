// Vector2: the two-component float vector, the value type of every point, charge, gradient,
// contour end point and normal.
#pragma once

#include <cmath>
#include <iosfwd>

#include "math/conventions.h"

class Matrix3;

class Vector2 {
  public:
    float x;
    float y;

    constexpr Vector2() : x(0.0f), y(0.0f) {}
    constexpr Vector2(float x_, float y_) : x(x_), y(y_) {}
    constexpr Vector2(const Vector2&) = default;
    constexpr Vector2& operator=(const Vector2&) = default;

    constexpr float Dot(const Vector2& b) const { return x * b.x + y * b.y; }

    constexpr Vector2 operator+(const Vector2& b) const { return {x + b.x, y + b.y}; }
    constexpr Vector2 operator-(const Vector2& b) const { return {x - b.x, y - b.y}; }
    constexpr Vector2 operator*(float s) const { return {s * x, s * y}; }
    // A true division of each component, not a multiplication by 1/s.
    constexpr Vector2 operator/(float s) const { return {x / s, y / s}; }
    constexpr Vector2 operator-() const { return {-x, -y}; }

    constexpr void operator+=(const Vector2& b) { x = x + b.x; y = y + b.y; }
    constexpr void operator-=(const Vector2& b) { x = x - b.x; y = y - b.y; }
    constexpr void operator*=(float s) { x = s * x; y = s * y; }
    constexpr void operator/=(float s) { x = x / s; y = y / s; }

    // Ordering compares squared lengths, strictly. The float forms compare the squared length
    // with the number as given, unsquared: (3, 4) > 24 holds because 25 > 24.
    constexpr bool operator<(const Vector2& b) const { return LengthSquared() < b.LengthSquared(); }
    constexpr bool operator>(const Vector2& b) const { return LengthSquared() > b.LengthSquared(); }
    constexpr bool operator<(float f) const { return LengthSquared() < f; }
    constexpr bool operator>(float f) const { return LengthSquared() > f; }

    // Equal when the difference is shorter than the tolerance.
    bool operator==(const Vector2& b) const {
        return (*this - b).Length() < gmath::kEqualityTolerance;
    }
    // Equal when the length is within the tolerance of f, on either side.
    bool operator==(float f) const { return std::fabs(Length() - f) < gmath::kEqualityTolerance; }

    constexpr float LengthSquared() const { return x * x + y * y; }
    float Length() const { return float(std::sqrt(double(x * x + y * y))); }

    // The zero vector normalises to (NaN, NaN); nothing checks.
    void Normalize() {
        const float len = Length();
        x = x / len;
        y = y / len;
    }
    Vector2 Normalized() const {
        const float len = Length();
        return {x / len, y / len};
    }

    constexpr void Translate(float dx, float dy) { x = dx + x; y = dy + y; }
    constexpr void Scale(float sx, float sy) { x = sx * x; y = sy * y; }

    // Index 0 is x; every other index, negative ones included, is y. Never out of the vector.
    constexpr float& operator[](int i) { return i == 0 ? x : y; }
    constexpr const float& operator[](int i) const { return i == 0 ? x : y; }

    // v = (x, y, 1) * m, keeping two columns: a point, translated by row 2. The third column is
    // never read. Defined with Matrix3.
    void Transform(const Matrix3& m);
    // Rotates about the origin by angle (radians) through Matrix3::SetRotation: counter-clockwise
    // when y points up. Defined with Matrix3.
    void Rotate(float angle);
};

constexpr float Dot(const Vector2& a, const Vector2& b) { return a.x * b.x + a.y * b.y; }

// Writes "x, y" with the stream's own float formatting; no brackets, no line end.
std::ostream& operator<<(std::ostream& os, const Vector2& v);
