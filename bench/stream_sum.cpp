#include "bench/stream_sum.h"

#include <cstddef>

namespace bench {

float StreamSum(std::span<const float> values) {
    constexpr std::size_t kLanes = 16;
    float part[kLanes] = {};
    const std::size_t whole = values.size() / kLanes * kLanes;
    const float* v = values.data();
    for (std::size_t i = 0; i < whole; i += kLanes)
        for (std::size_t k = 0; k < kLanes; ++k)
            part[k] = part[k] + v[i + k];
    for (std::size_t i = whole; i < values.size(); ++i)
        part[0] = part[0] + v[i];
    float sum = 0.0f;
    for (float p : part)
        sum = sum + p;
    return sum;
}

} // namespace bench
