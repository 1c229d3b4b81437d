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

// Words [0, words) of a row against every level, level m's at above[m * levelStride + w]:
// range(w, lo, hi) takes word w's lowest and highest values and returns its NaN bits, bits(w,
// level) compares the word with one level. Where a word has no NaN, its bits are all set for the
// levels its lowest value lies above and none for those its highest does not reach, and only the
// others are compared. With many levels in ascending order those two are runs at the ends, found
// by bisection, and they are stored a level at a time along a chunk of words, in vector stores:
// a word at a time, over hundreds of levels, the stores cost more than the comparisons spared.
// With few levels the bisection's unpredictable branches cost more than they spare.
template <bool kOrEqual, class T, class Range, class Bits>
[[gnu::always_inline]] inline void WordsLevels(std::span<const T> levels, std::ptrdiff_t words,
                                               std::uint32_t* above, std::ptrdiff_t levelStride,
                                               std::uint32_t* unusable, const Range& range,
                                               const Bits& bits) {
    const std::size_t nl = levels.size();
    const T* l = levels.data();
    const auto at = [&](std::size_t m, std::ptrdiff_t w) -> std::uint32_t& {
        return above[std::ptrdiff_t(m) * levelStride + w];
    };
    if (nl < 16 || !std::is_sorted(l, l + nl)) {
        for (std::ptrdiff_t w = 0; w < words; ++w) {
            T lo, hi;
            const std::uint32_t nan = range(w, lo, hi);
            if (unusable) unusable[w] = nan;
            for (std::size_t m = 0; m < nl; ++m) {
                if (!nan && !AboveOf<kOrEqual>(hi, l[m]))
                    at(m, w) = 0;
                else if (!nan && AboveOf<kOrEqual>(lo, l[m]))
                    at(m, w) = ~std::uint32_t(0);
                else
                    at(m, w) = bits(w, l[m]);
            }
        }
        return;
    }
    constexpr std::ptrdiff_t kChunk = 256;
    std::uint32_t first[kChunk], end[kChunk]; // a chunk's words' compared levels
    for (std::ptrdiff_t w0 = 0; w0 < words; w0 += kChunk) {
        const std::ptrdiff_t n = std::min(kChunk, words - w0);
        for (std::ptrdiff_t i = 0; i < n; ++i) {
            T lo, hi;
            const std::uint32_t nan = range(w0 + i, lo, hi);
            if (unusable) unusable[w0 + i] = nan;
            std::size_t a = 0, b = nl; // a word with a NaN compares every level
            if (!nan) {
                a = std::size_t(
                    std::partition_point(l, l + nl, [&](T x) { return AboveOf<kOrEqual>(lo, x); }) -
                    l);
                b = std::size_t(std::partition_point(
                                    l + a, l + nl, [&](T x) { return AboveOf<kOrEqual>(hi, x); }) -
                                l);
            }
            first[i] = std::uint32_t(a), end[i] = std::uint32_t(b);
            for (std::size_t m = a; m < b; ++m)
                at(m, w0 + i) = bits(w0 + i, l[m]);
        }
        for (std::size_t m = 0; m < nl; ++m) {
            std::uint32_t* p = &at(m, w0);
            const std::uint32_t k = std::uint32_t(m);
            for (std::ptrdiff_t i = 0; i < n; ++i)
                p[i] = k < first[i] ? ~std::uint32_t(0) : k >= end[i] ? 0u : p[i];
        }
    }
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
