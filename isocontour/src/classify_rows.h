// One row of values contiguous along x against one or several levels, 32 nodes a word: the
// loop the classification spends its time in, compiled for the machine at hand (CMake picks
// classify_rows.cpp, portable, or classify_rows_x86.cpp, which picks its instructions at run
// time). Compare-and-mask only: every version gives the same bits.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace isocontour::detail {

// Whether x lies above level: x > level, or with kOrEqual x >= level (the side a value exactly at
// a level falls on). Scalars and vectors alike.
template <bool kOrEqual, class V, class L> inline auto AboveOf(const V& x, const L& level) {
    if constexpr (kOrEqual)
        return x >= level;
    else
        return x > level;
}

// Row r of nx values against level: above[w] gets bit k set when value 32 w + k lies above it,
// unordered[w] (when not null) when it is NaN; then one zero word in each.
template <bool kOrEqual, class T>
void ContiguousRow(const T* r, std::ptrdiff_t nx, T level, std::uint32_t* above,
                   std::uint32_t* unordered);

// The same against several levels, level m's words at above + m * levelStride, the NaN bits (with
// the zero word) in unusable when not null.
template <bool kOrEqual, class T>
void ContiguousRowLevels(const T* r, std::ptrdiff_t nx, std::span<const T> levels,
                         std::uint32_t* above, std::ptrdiff_t levelStride, std::uint32_t* unusable);

// The same two with the machine's narrower instructions where its version has a choice of them
// (x86-64: SSE2 rather than AVX2), so that tests can hold each to the other; elsewhere the one
// version.
template <bool kOrEqual, class T>
void ContiguousRowNarrow(const T* r, std::ptrdiff_t nx, T level, std::uint32_t* above,
                         std::uint32_t* unordered);
template <bool kOrEqual, class T>
void ContiguousRowLevelsNarrow(const T* r, std::ptrdiff_t nx, std::span<const T> levels,
                               std::uint32_t* above, std::ptrdiff_t levelStride,
                               std::uint32_t* unusable);

} // namespace isocontour::detail

// The four functions' instantiations for value type T, spelled once for the file that defines
// them on this machine (classify_rows.cpp, or classify_rows_x86.cpp on x86-64), inside
// namespace isocontour::detail.
#define ISOCONTOUR_ROWS(T)                                                                         \
    template void ContiguousRow<false, T>(const T*, std::ptrdiff_t, T, std::uint32_t*,             \
                                          std::uint32_t*);                                         \
    template void ContiguousRow<true, T>(const T*, std::ptrdiff_t, T, std::uint32_t*,              \
                                         std::uint32_t*);                                          \
    template void ContiguousRowLevels<false, T>(const T*, std::ptrdiff_t, std::span<const T>,      \
                                                std::uint32_t*, std::ptrdiff_t, std::uint32_t*);   \
    template void ContiguousRowLevels<true, T>(const T*, std::ptrdiff_t, std::span<const T>,       \
                                               std::uint32_t*, std::ptrdiff_t, std::uint32_t*);    \
    template void ContiguousRowNarrow<false, T>(const T*, std::ptrdiff_t, T, std::uint32_t*,       \
                                                std::uint32_t*);                                   \
    template void ContiguousRowNarrow<true, T>(const T*, std::ptrdiff_t, T, std::uint32_t*,        \
                                               std::uint32_t*);                                    \
    template void ContiguousRowLevelsNarrow<false, T>(const T*, std::ptrdiff_t,                    \
                                                      std::span<const T>, std::uint32_t*,          \
                                                      std::ptrdiff_t, std::uint32_t*);             \
    template void ContiguousRowLevelsNarrow<true, T>(const T*, std::ptrdiff_t, std::span<const T>, \
                                                     std::uint32_t*, std::ptrdiff_t,               \
                                                     std::uint32_t*);
