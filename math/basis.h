// Basis: three axis vectors, the images of the x, y and z axes, convertible to a Matrix4.
#pragma once

#include "math/matrix4.h"
#include "math/vector3.h"

class Basis {
  public:
    Vector3 xAxis;
    Vector3 yAxis;
    Vector3 zAxis;

    // The standard axes.
    constexpr Basis() : xAxis(1, 0, 0), yAxis(0, 1, 0), zAxis(0, 0, 1) {}
    constexpr Basis(const Vector3& a, const Vector3& b, const Vector3& c)
        : xAxis(a), yAxis(b), zAxis(c) {}

    // Rows (xAxis, 0), (yAxis, 0), (zAxis, 0), (0, 0, 0, 1): maps the row vector (1, 0, 0, 1) to
    // xAxis and so on, without translation. An orthonormal right-handed basis gives a rotation.
    constexpr Matrix4 ToMatrix4() const {
        return {xAxis.x, xAxis.y, xAxis.z, 0, yAxis.x, yAxis.y, yAxis.z, 0,
                zAxis.x, zAxis.y, zAxis.z, 0, 0,       0,       0,       1};
    }
};
