// Compare-and-mask only: no arithmetic on the values happens here, so the loops may be
// vectorised (contour/CMakeLists.txt allows it for this file alone) without changing a result.
#include "contour/planes.h"

#include <algorithm>

namespace contour::detail {
namespace {

// A row whose values lie next to each other (strideX == 1).
template <class T>
bool ClassifyContiguousRow(const T* r, std::ptrdiff_t nx, T level, std::uint32_t* above,
                           std::uint32_t* unordered) {
    std::uint32_t nan = 0;
    std::ptrdiff_t w = 0;
    for (; (w + 1) * kWordBits <= nx; ++w) {
        const T* v = r + w * kWordBits;
        std::uint32_t a = 0, n = 0;
        for (int k = 0; k < kWordBits; ++k) {
            a |= std::uint32_t(v[k] > level) << k;
            n |= std::uint32_t(!(v[k] <= level)) << k;
        }
        above[w] = a;
        n &= ~a;
        if (unordered) unordered[w] = n;
        nan |= n;
    }
    const std::ptrdiff_t rest = nx - w * kWordBits;
    std::uint32_t a = 0, n = 0;
    for (std::ptrdiff_t k = 0; k < rest; ++k) {
        const T x = r[w * kWordBits + k];
        a |= std::uint32_t(x > level) << k;
        n |= std::uint32_t(x != x) << k;
    }
    if (rest > 0) {
        above[w] = a;
        if (unordered) unordered[w] = n;
        nan |= n;
        ++w;
    }
    above[w] = 0; // the row's zero word
    if (unordered) unordered[w] = 0;
    return nan != 0;
}

// Values contiguous along y (strideY == 1): eight x columns at a time run down the rows, so
// that each word is read and written once per eight columns.
template <class T>
bool ClassifyColumns(View<T> v, T level, const BitGrid& g, std::ptrdiff_t j0, std::ptrdiff_t j1,
                     std::uint32_t* above, std::uint32_t* unordered) {
    std::uint32_t nan = 0;
    for (std::ptrdiff_t j = j0; j < j1; ++j) {
        std::fill(above + j * g.words, above + (j + 1) * g.words, 0u);
        if (unordered) std::fill(unordered + j * g.words, unordered + (j + 1) * g.words, 0u);
    }
    for (std::ptrdiff_t i0 = 0; i0 < v.nx; i0 += 8) {
        const std::ptrdiff_t w = i0 / kWordBits;
        const int shift = int(i0 % kWordBits);
        const std::ptrdiff_t cols = std::min<std::ptrdiff_t>(8, v.nx - i0);
        std::uint32_t* a = above + w;
        if (cols == 8) {
            const T* c[8];
            for (int k = 0; k < 8; ++k)
                c[k] = v.data + (i0 + k) * v.strideX;
            std::uint32_t n = 0;
            for (std::ptrdiff_t j = j0; j < j1; ++j) {
                std::uint32_t bits = 0, nb = 0;
                for (int k = 0; k < 8; ++k) {
                    bits |= std::uint32_t(c[k][j] > level) << k;
                    nb |= std::uint32_t(!(c[k][j] <= level)) << k;
                }
                a[j * g.words] |= bits << shift;
                nb &= ~bits;
                if (unordered) unordered[j * g.words + w] |= nb << shift;
                n |= nb;
            }
            nan |= n;
        } else {
            for (std::ptrdiff_t k = 0; k < cols; ++k) {
                const T* c = v.data + (i0 + k) * v.strideX;
                const int bit = shift + int(k);
                for (std::ptrdiff_t j = j0; j < j1; ++j) {
                    const T x = c[j];
                    a[j * g.words] |= std::uint32_t(x > level) << bit;
                    const std::uint32_t nb = std::uint32_t(x != x);
                    if (unordered) unordered[j * g.words + w] |= nb << bit;
                    nan |= nb;
                }
            }
        }
    }
    return nan != 0;
}

// Any strides: node by node along each row.
template <class T>
bool ClassifyStrided(View<T> v, T level, const BitGrid& g, std::ptrdiff_t j0, std::ptrdiff_t j1,
                     std::uint32_t* above, std::uint32_t* unordered) {
    std::uint32_t nan = 0;
    for (std::ptrdiff_t j = j0; j < j1; ++j) {
        std::uint32_t* a = above + j * g.words;
        std::uint32_t* u = unordered ? unordered + j * g.words : nullptr;
        std::fill(a, a + g.words, 0u);
        if (u) std::fill(u, u + g.words, 0u);
        for (std::ptrdiff_t i = 0; i < v.nx; ++i) {
            const T x = v(i, j);
            a[i >> 5] |= std::uint32_t(x > level) << (i & 31);
            const std::uint32_t nb = std::uint32_t(x != x);
            if (u) u[i >> 5] |= nb << (i & 31);
            nan |= nb;
        }
    }
    return nan != 0;
}

} // namespace

template <class T>
bool ClassifyRows(View<T> values, T level, const BitGrid& g, std::ptrdiff_t j0, std::ptrdiff_t j1,
                  std::uint32_t* above, std::uint32_t* unordered) {
    if (values.strideX == 1) {
        bool nan = false;
        for (std::ptrdiff_t j = j0; j < j1; ++j)
            nan |= ClassifyContiguousRow(values.data + j * values.strideY, values.nx, level,
                                         above + j * g.words,
                                         unordered ? unordered + j * g.words : nullptr);
        return nan;
    }
    if (values.strideY == 1) return ClassifyColumns(values, level, g, j0, j1, above, unordered);
    return ClassifyStrided(values, level, g, j0, j1, above, unordered);
}

void MarkMasked(View<std::uint8_t> mask, const BitGrid& g, std::ptrdiff_t j0, std::ptrdiff_t j1,
                std::uint32_t* bits) {
    for (std::ptrdiff_t j = j0; j < j1; ++j) {
        std::uint32_t* b = bits + j * g.words;
        for (std::ptrdiff_t i = 0; i < mask.nx; ++i)
            b[i >> 5] |= std::uint32_t(mask(i, j) != 0) << (i & 31);
    }
}

template bool ClassifyRows(View<float>, float, const BitGrid&, std::ptrdiff_t, std::ptrdiff_t,
                           std::uint32_t*, std::uint32_t*);
template bool ClassifyRows(View<double>, double, const BitGrid&, std::ptrdiff_t, std::ptrdiff_t,
                           std::uint32_t*, std::uint32_t*);

} // namespace contour::detail
