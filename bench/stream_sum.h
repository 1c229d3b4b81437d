// The memory bound a contouring call is measured against: every value of an array read once and
// summed.
#pragma once

#include <cstddef>
#include <span>

namespace bench {

// Sums the values into sixteen interleaved partial sums (element i into partial i mod 16), then
// adds the partials in order. The partials let the additions run in vector registers and keep
// pace with memory, so the time is that of reading the array.
template <class T> T StreamSum(std::span<const T> values);

// The same over a strided 2-D array, in its own memory order: the axis with the larger stride
// outside, the other inside, each inner run summed as above. Strides in elements, both positive.
template <class T>
T StreamSum(const T* data, std::ptrdiff_t nx, std::ptrdiff_t ny, std::ptrdiff_t strideX,
            std::ptrdiff_t strideY);

} // namespace bench
