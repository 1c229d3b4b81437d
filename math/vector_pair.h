// VectorPair: two 3D vectors and two numbers, grouped. Nothing in the library gives the members
// a meaning; every constructor leaves all four defined.
#pragma once

#include "math/vector3.h"

class VectorPair {
  public:
    Vector3 first;
    Vector3 second;
    float value0;
    float value1;

    constexpr VectorPair() : first(0, 0, 0), second(0, 0, 1), value0(1.0f), value1(1.0f) {}
    // The numbers take the default constructor's 1 rather than being left unset.
    constexpr VectorPair(const Vector3& a, const Vector3& b)
        : first(a), second(b), value0(1.0f), value1(1.0f) {}
};
