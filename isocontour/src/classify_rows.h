// One row of values contiguous along x against one or several levels, 32 nodes a word: the
// loop the classification spends its time in, compiled for the machine at hand (CMake picks
// classify_rows.cpp, portable, classify_rows_wasm.cpp with WebAssembly's SIMD, or
// classify_rows_x86.cpp, which picks its instructions at run time). Compare-and-mask only: every
// version gives the same bits.
#pragma once

#include <algorithm>
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

// A word's bits for every level, level m's at above[m * levelStride]: where the word has no NaN,
// all set for the levels its lowest value lies above, none for those its highest does not, and
// bits(level) compared only for the others; with many levels in ascending order (sorted) the
// first two are runs at the ends, found by bisection, so that a level costs a store (with few,
// the bisection's unpredictable branches cost more than the comparisons they spare).
template <bool kOrEqual, class T, class Bits>
[[gnu::always_inline]] inline void WordLevels(std::span<const T> levels, bool sorted, bool nan,
                                              T lo, T hi, std::uint32_t* above,
                                              std::ptrdiff_t levelStride, const Bits& bits) {
    const std::size_t nl = levels.size();
    const auto at = [&](std::size_t m) -> std::uint32_t& {
        return above[std::ptrdiff_t(m) * levelStride];
    };
    if (nan || !sorted || nl < 16) {
        for (std::size_t m = 0; m < nl; ++m) {
            const T level = levels[m];
            if (!nan && !AboveOf<kOrEqual>(hi, level))
                at(m) = 0;
            else if (!nan && AboveOf<kOrEqual>(lo, level))
                at(m) = ~std::uint32_t(0);
            else
                at(m) = bits(level);
        }
        return;
    }
    const T* l = levels.data();
    const std::size_t a = std::size_t(
        std::partition_point(l, l + nl, [&](T x) { return AboveOf<kOrEqual>(lo, x); }) - l);
    const std::size_t b = std::size_t(
        std::partition_point(l + a, l + nl, [&](T x) { return AboveOf<kOrEqual>(hi, x); }) - l);
    for (std::size_t m = 0; m < a; ++m)
        at(m) = ~std::uint32_t(0);
    for (std::size_t m = a; m < b; ++m)
        at(m) = bits(l[m]);
    for (std::size_t m = b; m < nl; ++m)
        at(m) = 0;
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
// them on this machine (classify_rows.cpp, classify_rows_wasm.cpp or classify_rows_x86.cpp),
// inside namespace isocontour::detail.
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
