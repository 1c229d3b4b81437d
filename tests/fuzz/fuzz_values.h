// Decoding of fuzz bytes into the floats the field code meets: a byte picks either one of the
// values that break arithmetic (NaN, infinities, denormals, the extremes), a small dyadic value
// (so corners land exactly on the threshold), or an arbitrary bit pattern from the next 4 bytes.
#pragma once

#include <bit>
#include <cstdint>
#include <limits>

#include <fuzzer/FuzzedDataProvider.h>

namespace fuzz {

inline float SpecialFloat(std::uint8_t k) {
    using L = std::numeric_limits<float>;
    static constexpr float kTable[] = {
        0.0f,
        -0.0f,
        L::quiet_NaN(),
        -L::quiet_NaN(),
        L::signaling_NaN(),
        L::infinity(),
        -L::infinity(),
        L::denorm_min(),
        -L::denorm_min(),
        L::min(),
        -L::min(),
        L::min() / 2.0f, // a mid denormal
        L::max(),
        -L::max(),
        L::epsilon(),
        1.0f,
        -1.0f,
        0.5f,
        0.6f,
        1e-30f,
        1e30f,
        -1e30f,
        3.0e38f,
        16777216.0f, // 2^24: beyond it not every integer is a float
        0.01f,
    };
    return kTable[k % (sizeof kTable / sizeof kTable[0])];
}

// One float from the stream.
inline float ConsumeValue(FuzzedDataProvider& in) {
    const std::uint8_t tag = in.ConsumeIntegral<std::uint8_t>();
    if (tag < 64) return SpecialFloat(tag);
    if (tag < 128) return float(int(tag) - 96) * 0.25f; // -8 .. 7.75 in quarters
    return std::bit_cast<float>(in.ConsumeIntegral<std::uint32_t>());
}

} // namespace fuzz
