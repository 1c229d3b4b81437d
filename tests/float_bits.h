// The bit pattern of a float, for tests that pin results to the bit.
#pragma once

#include <bit>
#include <cstdint>

inline std::uint32_t Bits(float f) { return std::bit_cast<std::uint32_t>(f); }
