#include "bench/stream_sum.h"

#include <utility>

namespace bench {
namespace {

constexpr std::size_t kLanes = 16;

// Adds n values, step elements apart, into the partials.
template <class T> void AddRun(const T* v, std::size_t n, std::ptrdiff_t step, T (&part)[kLanes]) {
    const std::size_t whole = n / kLanes * kLanes;
    if (step == 1) {
        for (std::size_t i = 0; i < whole; i += kLanes)
            for (std::size_t k = 0; k < kLanes; ++k)
                part[k] = part[k] + v[i + k];
    } else {
        for (std::size_t i = 0; i < whole; i += kLanes)
            for (std::size_t k = 0; k < kLanes; ++k)
                part[k] = part[k] + v[std::ptrdiff_t(i + k) * step];
    }
    for (std::size_t i = whole; i < n; ++i)
        part[0] = part[0] + v[std::ptrdiff_t(i) * step];
}

template <class T> T Total(const T (&part)[kLanes]) {
    T sum = 0;
    for (T p : part)
        sum = sum + p;
    return sum;
}

} // namespace

template <class T> T StreamSum(std::span<const T> values) {
    T part[kLanes] = {};
    AddRun(values.data(), values.size(), 1, part);
    return Total(part);
}

template <class T>
T StreamSum(const T* data, std::ptrdiff_t nx, std::ptrdiff_t ny, std::ptrdiff_t strideX,
            std::ptrdiff_t strideY) {
    if (strideX > strideY) {
        std::swap(nx, ny);
        std::swap(strideX, strideY);
    }
    T part[kLanes] = {};
    for (std::ptrdiff_t j = 0; j < ny; ++j)
        AddRun(data + j * strideY, std::size_t(nx), strideX, part);
    return Total(part);
}

template float StreamSum(std::span<const float>);
template double StreamSum(std::span<const double>);
template float StreamSum(const float*, std::ptrdiff_t, std::ptrdiff_t, std::ptrdiff_t,
                         std::ptrdiff_t);
template double StreamSum(const double*, std::ptrdiff_t, std::ptrdiff_t, std::ptrdiff_t,
                          std::ptrdiff_t);

} // namespace bench
