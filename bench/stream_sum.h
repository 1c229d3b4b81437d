// The memory bound for the contour core: every float of a field read once and summed.
#pragma once

#include <span>

namespace bench {

// Sums the values into sixteen interleaved partial sums (element i into partial i mod 16), then
// adds the partials in order. The partials let the additions run in vector registers and keep
// pace with memory, so the time is that of reading the array.
float StreamSum(std::span<const float> values);

} // namespace bench
