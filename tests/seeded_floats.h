// Seeded pseudo-random floats for the math tests: a linear congruential generator whose floats
// are built from its top 24 bits, so every platform and standard library sees the same inputs.
#pragma once

#include <cstdint>

namespace testing_support {

class SeededFloats {
  public:
    explicit SeededFloats(uint32_t seed) : state_(seed) {}

    // A float in [lo, hi).
    float Next(float lo, float hi) {
        state_ = state_ * 1664525u + 1013904223u;
        return lo + (hi - lo) * float(state_ >> 8) * 0x1p-24f;
    }

    // Fills every element of an array (a matrix's m, for one) with floats in [lo, hi).
    template <int N> void Fill(float (&elements)[N], float lo, float hi) {
        for (float& e : elements)
            e = Next(lo, hi);
    }

  private:
    uint32_t state_;
};

} // namespace testing_support
