// The rows' classification in AVX2 instructions (classify_rows_avx2.cpp, built for AVX2 alone):
// call only where the processor has AVX2.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace isocontour::detail::avx2 {

template <bool kOrEqual, class T>
void Row(const T* r, std::ptrdiff_t nx, T level, std::uint32_t* above, std::uint32_t* unordered);
template <bool kOrEqual, class T>
void Levels(const T* r, std::ptrdiff_t nx, std::span<const T> levels, std::uint32_t* above,
            std::ptrdiff_t levelStride, std::uint32_t* unusable);

} // namespace isocontour::detail::avx2
