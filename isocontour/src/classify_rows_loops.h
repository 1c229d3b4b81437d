// The four functions of classify_rows.h around one word of 32 values, for the versions that differ
// only in how they compare a word (classify_rows.cpp, portable, and classify_rows_wasm.cpp,
// WebAssembly's SIMD), each of which defines RowWord and instantiates them.
#pragma once

#include <algorithm>

#include "classify.h"
#include "classify_rows.h"

namespace isocontour::detail {

// A version's word: RowWord<T>::Of<kOrEqual>(v, level, above) sets above's bit k when v[k] lies
// above level and returns the NaN bits; RowWord<T>::Range(v, lo, hi) takes the lowest and
// highest of the 32 values and returns their NaN bits. Defined by the file that includes this
// one, before the functions below are instantiated.
template <class T> struct RowWord;

template <bool kOrEqual, class T>
void ContiguousRow(const T* r, std::ptrdiff_t nx, T level, std::uint32_t* above,
                   std::uint32_t* unordered) {
    std::ptrdiff_t w = 0;
    for (; (w + 1) * kWordBits <= nx; ++w) {
        const std::uint32_t n =
            RowWord<T>::template Of<kOrEqual>(r + w * kWordBits, level, above[w]);
        if (unordered) unordered[w] = n;
    }
    const std::ptrdiff_t rest = nx - w * kWordBits;
    if (rest > 0) {
        std::uint32_t a = 0, n = 0;
        for (std::ptrdiff_t k = 0; k < rest; ++k) {
            const T x = r[w * kWordBits + k];
            a |= std::uint32_t(AboveOf<kOrEqual>(x, level)) << k;
            n |= std::uint32_t(x != x) << k;
        }
        above[w] = a;
        if (unordered) unordered[w] = n;
        ++w;
    }
    above[w] = 0; // the zero word
    if (unordered) unordered[w] = 0;
}

// A contiguous row against several levels: each 32 values' range is taken once, and only the
// levels inside it are compared value by value; the others give words of all or no bits.
template <bool kOrEqual, class T>
void ContiguousRowLevels(const T* r, std::ptrdiff_t nx, std::span<const T> levels,
                         std::uint32_t* above, std::ptrdiff_t levelStride,
                         std::uint32_t* unusable) {
    const std::ptrdiff_t w = nx / kWordBits;
    WordsLevels<kOrEqual>(
        levels, w, above, levelStride, unusable,
        [&](std::ptrdiff_t k, T& lo, T& hi) {
            return RowWord<T>::Range(r + k * kWordBits, lo, hi);
        },
        [&](std::ptrdiff_t k, T level) {
            std::uint32_t a;
            RowWord<T>::template Of<kOrEqual>(r + k * kWordBits, level, a);
            return a;
        });
    // The partial word and the zero word, value by value.
    for (std::size_t m = 0; m < levels.size(); ++m) {
        std::uint32_t* a = above + std::ptrdiff_t(m) * levelStride;
        std::uint32_t tail = 0, nan = 0;
        for (std::ptrdiff_t i = w * kWordBits; i < nx; ++i) {
            tail |= std::uint32_t(AboveOf<kOrEqual>(r[i], levels[m])) << (i - w * kWordBits);
            nan |= std::uint32_t(r[i] != r[i]) << (i - w * kWordBits);
        }
        std::ptrdiff_t z = w;
        if (w * kWordBits < nx) {
            a[w] = tail;
            if (m == 0 && unusable) unusable[w] = nan;
            ++z;
        }
        a[z] = 0;
        if (m == 0 && unusable) unusable[z] = 0;
    }
}

template <bool kOrEqual, class T>
void ContiguousRowNarrow(const T* r, std::ptrdiff_t nx, T level, std::uint32_t* above,
                         std::uint32_t* unordered) {
    ContiguousRow<kOrEqual>(r, nx, level, above, unordered);
}

template <bool kOrEqual, class T>
void ContiguousRowLevelsNarrow(const T* r, std::ptrdiff_t nx, std::span<const T> levels,
                               std::uint32_t* above, std::ptrdiff_t levelStride,
                               std::uint32_t* unusable) {
    ContiguousRowLevels<kOrEqual>(r, nx, levels, above, levelStride, unusable);
}

} // namespace isocontour::detail
