// Compare-and-mask only: no arithmetic on the values happens here, so the loops may be
// vectorised (the library's CMakeLists.txt allows it for this file alone) without changing a
// result.
#include "classify.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <string>

#include "checks.h"
#include "classify_rows.h"
#include "value_types.h"

namespace isocontour {
namespace detail {
namespace {

// Any strides: node by node along the row.
template <bool kOrEqual, class T>
void StridedRow(View<T> v, T level, const BitGrid& g, std::ptrdiff_t j, std::uint32_t* above,
                std::uint32_t* unordered) {
    const T* r = v.data + j * v.strideY;
    std::ptrdiff_t i = 0;
    for (std::ptrdiff_t w = 0; w < g.words; ++w) {
        std::uint32_t a = 0, n = 0;
        const std::ptrdiff_t end = std::min<std::ptrdiff_t>(v.nx, (w + 1) * kWordBits);
        for (int k = 0; i < end; ++i, ++k) {
            const T x = r[i * v.strideX];
            a |= std::uint32_t(AboveOf<kOrEqual>(x, level)) << k;
            n |= std::uint32_t(x != x) << k;
        }
        above[w] = a;
        if (unordered) unordered[w] = n;
    }
}

// Eight columns of values contiguous along y against a level, row by row: bit k + c of bits[r]
// gets value (x0 + c, j0 + r) > level for c = 0 .. 7, and with kNaN bit k + c of nan[r] its NaN.
// Contiguous loads and stores across r, which the compiler vectorises.
// kFirst: the first eight columns of the word, which set bits[r] rather than add to it.
template <bool kOrEqual, bool kNaN, bool kFirst, class T>
void EightColumns(const T* c0, std::ptrdiff_t stride, std::ptrdiff_t count, T level, int k,
                  std::uint32_t* bits, std::uint32_t* nan) {
    const T *c1 = c0 + stride, *c2 = c1 + stride, *c3 = c2 + stride, *c4 = c3 + stride,
            *c5 = c4 + stride, *c6 = c5 + stride, *c7 = c6 + stride;
    const std::uint32_t b = std::uint32_t(1) << k;
    for (std::ptrdiff_t r = 0; r < count; ++r) {
        const auto up = [level](T x) { return AboveOf<kOrEqual>(x, level); };
        const std::uint32_t word = (up(c0[r]) ? b : 0u) | (up(c1[r]) ? b << 1 : 0u) |
                                   (up(c2[r]) ? b << 2 : 0u) | (up(c3[r]) ? b << 3 : 0u) |
                                   (up(c4[r]) ? b << 4 : 0u) | (up(c5[r]) ? b << 5 : 0u) |
                                   (up(c6[r]) ? b << 6 : 0u) | (up(c7[r]) ? b << 7 : 0u);
        bits[r] = kFirst ? word : bits[r] | word;
        if constexpr (kNaN)
            nan[r] |= (c0[r] != c0[r] ? b : 0u) | (c1[r] != c1[r] ? b << 1 : 0u) |
                      (c2[r] != c2[r] ? b << 2 : 0u) | (c3[r] != c3[r] ? b << 3 : 0u) |
                      (c4[r] != c4[r] ? b << 4 : 0u) | (c5[r] != c5[r] ? b << 5 : 0u) |
                      (c6[r] != c6[r] ? b << 6 : 0u) | (c7[r] != c7[r] ? b << 7 : 0u);
    }
}

// Values contiguous along y: the 32 columns of each word are read eight at a time, each in one
// sweep down the stripe, their comparisons gathered into a word per row on the stack, which then
// goes to its place in the row-major bits.
template <bool kOrEqual, class T>
void ColumnStripe(View<T> v, std::span<const T> levels, const BitGrid& g, std::ptrdiff_t j0,
                  std::ptrdiff_t count, std::ptrdiff_t rowStride, std::uint32_t* above,
                  std::uint32_t* unusable) {
    ISOCONTOUR_CHECK(count <= kMaxStripeRows, "a stripe of columns fits its buffers");
    const std::ptrdiff_t words = g.words;
    // On the stack: classifying allocates nothing.
    std::uint32_t bits[kMaxStripeRows], nan[kMaxStripeRows];
    for (std::ptrdiff_t w = 0; w < words; ++w) {
        const int cols = int(std::clamp<std::ptrdiff_t>(v.nx - w * kWordBits, 0, kWordBits));
        for (std::size_t m = 0; m < levels.size(); ++m) {
            const T level = levels[m];
            const bool withNaN = m == 0 && unusable;
            if (cols < 8) std::fill(bits, bits + count, 0u);
            if (withNaN) std::fill(nan, nan + count, 0u);
            int c = 0;
            for (; c + 8 <= cols; c += 8) {
                const T* c0 = v.data + (w * kWordBits + c) * v.strideX + j0;
                if (withNaN && c == 0)
                    EightColumns<kOrEqual, true, true>(c0, v.strideX, count, level, c, bits, nan);
                else if (withNaN)
                    EightColumns<kOrEqual, true, false>(c0, v.strideX, count, level, c, bits, nan);
                else if (c == 0)
                    EightColumns<kOrEqual, false, true>(c0, v.strideX, count, level, c, bits, nan);
                else
                    EightColumns<kOrEqual, false, false>(c0, v.strideX, count, level, c, bits, nan);
            }
            for (; c < cols; ++c) {
                const T* col = v.data + (w * kWordBits + c) * v.strideX + j0;
                const std::uint32_t b = std::uint32_t(1) << c;
                for (std::ptrdiff_t r = 0; r < count; ++r) {
                    bits[r] |= AboveOf<kOrEqual>(col[r], level) ? b : 0u;
                    nan[r] |= withNaN && col[r] != col[r] ? b : 0u;
                }
            }
            std::uint32_t* a = above + std::ptrdiff_t(m) * rowStride * words + w;
            for (std::ptrdiff_t r = 0; r < count; ++r)
                a[r * words] = bits[r];
            if (withNaN)
                for (std::ptrdiff_t r = 0; r < count; ++r)
                    unusable[r * words + w] = nan[r];
        }
    }
}

template <bool kOrEqual, class T>
void ClassifyLevels(View<T> values, std::span<const T> levels, const BitGrid& g, std::ptrdiff_t j0,
                    std::ptrdiff_t count, std::ptrdiff_t rowStride, std::uint32_t* above,
                    std::uint32_t* unusable) {
    const std::ptrdiff_t words = g.words;
    if (values.strideY == 1 && values.strideX != 1) {
        ColumnStripe<kOrEqual>(values, levels, g, j0, count, rowStride, above, unusable);
        return;
    }
    for (std::ptrdiff_t r = 0; r < count; ++r) {
        std::uint32_t* nan = unusable ? unusable + r * words : nullptr;
        if (values.strideX == 1 && levels.size() > 1) {
            ContiguousRowLevels<kOrEqual>(values.data + (j0 + r) * values.strideY, values.nx,
                                          levels, above + r * words, rowStride * words, nan);
            continue;
        }
        for (std::size_t m = 0; m < levels.size(); ++m) {
            std::uint32_t* a = above + (std::ptrdiff_t(m) * rowStride + r) * words;
            std::uint32_t* u = m == 0 ? nan : nullptr;
            if (values.strideX == 1)
                ContiguousRow<kOrEqual>(values.data + (j0 + r) * values.strideY, values.nx,
                                        levels[m], a, u);
            else
                StridedRow<kOrEqual>(values, levels[m], g, j0 + r, a, u);
        }
    }
}

} // namespace

template <class T>
void ClassifyStripe(View<T> values, View<std::uint8_t> mask, std::span<const T> levels,
                    AtLevel atLevel, const BitGrid& g, std::ptrdiff_t j0, std::ptrdiff_t count,
                    std::ptrdiff_t rowStride, std::uint32_t* above, std::uint32_t* unusable) {
    const std::ptrdiff_t words = g.words;
    if (atLevel == AtLevel::Above)
        ClassifyLevels<true>(values, levels, g, j0, count, rowStride, above, unusable);
    else
        ClassifyLevels<false>(values, levels, g, j0, count, rowStride, above, unusable);
    if (mask.Present())
        for (std::ptrdiff_t r = 0; r < count; ++r) {
            std::uint32_t* b = unusable + r * words;
            for (std::ptrdiff_t i = 0; i < mask.nx; ++i)
                b[i >> 5] |= std::uint32_t(mask(i, j0 + r) != 0) << (i & 31);
        }
}

} // namespace detail

template <class T> void ClassifyAbove(View<T> values, T level, std::span<std::uint32_t> above) {
    using namespace detail;
    CheckView(values, "values");
    if (values.nx <= 0 || values.ny <= 0) return;
    const BitGrid g = BitGrid::Of(values.nx, values.ny);
    if (above.size() < g.Size())
        throw Error("the classification needs " + std::to_string(g.Size()) + " words, not " +
                    std::to_string(above.size()));
    for (std::ptrdiff_t j = 0; j < values.ny; j += kMaxStripeRows) {
        const std::ptrdiff_t count = std::min(kMaxStripeRows, values.ny - j);
        ClassifyStripe(values, {}, std::span<const T>(&level, 1), AtLevel::Below, g, j, count,
                       count, above.data() + std::size_t(j * g.words), nullptr);
    }
}
#define ISOCONTOUR_CLASSIFY(T) template void ClassifyAbove(View<T>, T, std::span<std::uint32_t>);
ISOCONTOUR_FOR_EACH_VALUE_TYPE(ISOCONTOUR_CLASSIFY)
#undef ISOCONTOUR_CLASSIFY

namespace detail {

#define ISOCONTOUR_STRIPE(T)                                                                       \
    template void ClassifyStripe(View<T>, View<std::uint8_t>, std::span<const T>, AtLevel,         \
                                 const BitGrid&, std::ptrdiff_t, std::ptrdiff_t, std::ptrdiff_t,   \
                                 std::uint32_t*, std::uint32_t*);
ISOCONTOUR_FOR_EACH_VALUE_TYPE(ISOCONTOUR_STRIPE)
#undef ISOCONTOUR_STRIPE

} // namespace detail
} // namespace isocontour
