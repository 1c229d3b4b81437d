// Compare-and-mask only: no arithmetic on the values happens here, so the loops may be
// vectorised (the library's CMakeLists.txt allows it for this file alone) without changing a
// result.
#include "classify.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <string>

#include "checks.h"
#include "value_types.h"

namespace isocontour {
namespace detail {
namespace {

// 32 consecutive values against a level, 16 bytes at a time in the compiler's portable vector
// types: above gets bit k set when v[k] > level, and the result is the NaN bits (neither above
// nor at or below).
template <class T> struct Lanes;
template <> struct Lanes<float> {
    using V = float __attribute__((vector_size(16)));
    using M = std::int32_t __attribute__((vector_size(16)));
    static constexpr int kCount = 4;
    static constexpr M kBit = {1, 2, 4, 8};
};
template <> struct Lanes<double> {
    using V = double __attribute__((vector_size(16)));
    using M = std::int64_t __attribute__((vector_size(16)));
    static constexpr int kCount = 2;
    static constexpr M kBit = {1, 2};
};

template <class T>
[[gnu::always_inline]] inline std::uint32_t Word32(const T* v, T level, std::uint32_t& above) {
    using L = Lanes<T>;
    typename L::V lv;
    for (int k = 0; k < L::kCount; ++k)
        lv[k] = level;
    typename L::M a = {}, n = {};
    for (int q = 0; q < kWordBits / L::kCount; ++q) {
        typename L::V x;
        std::memcpy(&x, v + q * L::kCount, sizeof x);
        const typename L::M bit = L::kBit << (q * L::kCount);
        a |= (x > lv) & bit;
        n |= ~(x <= lv) & bit;
    }
    std::uint32_t wa = 0, wn = 0;
    for (int k = 0; k < L::kCount; ++k) {
        wa |= std::uint32_t(a[k]);
        wn |= std::uint32_t(n[k]);
    }
    above = wa;
    return wn & ~wa;
}

template <class T>
void ContiguousRow(const T* r, std::ptrdiff_t nx, T level, std::uint32_t* above,
                   std::uint32_t* unordered) {
    std::ptrdiff_t w = 0;
    for (; (w + 1) * kWordBits <= nx; ++w) {
        const std::uint32_t n = Word32(r + w * kWordBits, level, above[w]);
        if (unordered) unordered[w] = n;
    }
    const std::ptrdiff_t rest = nx - w * kWordBits;
    if (rest > 0) {
        std::uint32_t a = 0, n = 0;
        for (std::ptrdiff_t k = 0; k < rest; ++k) {
            const T x = r[w * kWordBits + k];
            a |= std::uint32_t(x > level) << k;
            n |= std::uint32_t(x != x) << k;
        }
        above[w] = a;
        if (unordered) unordered[w] = n;
        ++w;
    }
    above[w] = 0; // the zero word
    if (unordered) unordered[w] = 0;
}

// The lowest and highest of 32 consecutive values, and their NaN bits.
template <class T> std::uint32_t Range32(const T* v, T& lo, T& hi) {
    using L = Lanes<T>;
    typename L::V mn, mx;
    std::memcpy(&mn, v, sizeof mn);
    mx = mn;
    typename L::M n = {};
    for (int q = 0; q < kWordBits / L::kCount; ++q) {
        typename L::V x;
        std::memcpy(&x, v + q * L::kCount, sizeof x);
        mn = x < mn ? x : mn;
        mx = x > mx ? x : mx;
        n |= (x != x) & (L::kBit << (q * L::kCount));
    }
    lo = mn[0], hi = mx[0];
    std::uint32_t nan = 0;
    for (int k = 0; k < L::kCount; ++k) {
        lo = mn[k] < lo ? mn[k] : lo;
        hi = mx[k] > hi ? mx[k] : hi;
        nan |= std::uint32_t(n[k]);
    }
    return nan;
}

// A contiguous row against several levels: each 32 values' range is taken once, and only the
// levels inside it are compared value by value; the others give words of all or no bits.
template <class T>
void ContiguousRowLevels(const T* r, std::ptrdiff_t nx, std::span<const T> levels,
                         std::uint32_t* above, std::ptrdiff_t levelStride,
                         std::uint32_t* unusable) {
    std::ptrdiff_t w = 0;
    for (; (w + 1) * kWordBits <= nx; ++w) {
        const T* v = r + w * kWordBits;
        T lo, hi;
        const std::uint32_t nan = Range32(v, lo, hi);
        if (unusable) unusable[w] = nan;
        for (std::size_t m = 0; m < levels.size(); ++m) {
            const T level = levels[m];
            std::uint32_t& a = above[std::ptrdiff_t(m) * levelStride + w];
            if (nan == 0 && hi <= level)
                a = 0;
            else if (nan == 0 && lo > level)
                a = ~std::uint32_t(0);
            else
                Word32(v, level, a);
        }
    }
    // The partial word and the zero word, value by value.
    for (std::size_t m = 0; m < levels.size(); ++m) {
        std::uint32_t* a = above + std::ptrdiff_t(m) * levelStride;
        std::uint32_t tail = 0, nan = 0;
        for (std::ptrdiff_t i = w * kWordBits; i < nx; ++i) {
            tail |= std::uint32_t(r[i] > levels[m]) << (i - w * kWordBits);
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

// Any strides: node by node along the row.
template <class T>
void StridedRow(View<T> v, T level, const BitGrid& g, std::ptrdiff_t j, std::uint32_t* above,
                std::uint32_t* unordered) {
    const T* r = v.data + j * v.strideY;
    std::ptrdiff_t i = 0;
    for (std::ptrdiff_t w = 0; w < g.words; ++w) {
        std::uint32_t a = 0, n = 0;
        const std::ptrdiff_t end = std::min<std::ptrdiff_t>(v.nx, (w + 1) * kWordBits);
        for (int k = 0; i < end; ++i, ++k) {
            const T x = r[i * v.strideX];
            a |= std::uint32_t(x > level) << k;
            n |= std::uint32_t(x != x) << k;
        }
        above[w] = a;
        if (unordered) unordered[w] = n;
    }
}

// Values contiguous along y: each column of a block of 32 is read in one sweep down the stripe,
// every 32 of its values giving one word per level (bit r for row 32 q + r); transposes then turn
// the 32 column words of each 32 rows into row words.
template <class T>
void ColumnStripe(View<T> v, std::span<const T> levels, const BitGrid& g, std::ptrdiff_t j0,
                  std::ptrdiff_t count, std::ptrdiff_t rowStride, std::uint32_t* above,
                  std::uint32_t* unusable) {
    const std::ptrdiff_t words = g.words;
    const std::ptrdiff_t groups = (count + kWordBits - 1) / kWordBits;
    assert(count <= kMaxStripeRows && "a stripe of column-major values fits the transpose buffers");
    // On the stack: classifying allocates nothing.
    std::uint32_t a[kMaxStripeRows], n[kMaxStripeRows];
    const std::size_t used = std::size_t(groups * kWordBits);
    for (std::ptrdiff_t w = 0; w < words; ++w) {
        const std::ptrdiff_t cols = std::clamp<std::ptrdiff_t>(v.nx - w * kWordBits, 0, kWordBits);
        for (std::size_t m = 0; m < levels.size(); ++m) {
            const T level = levels[m];
            std::fill(a, a + used, 0u);
            std::fill(n, n + used, 0u);
            for (std::ptrdiff_t c = 0; c < cols; ++c) {
                const T* col = v.data + (w * kWordBits + c) * v.strideX + j0;
                std::ptrdiff_t q = 0;
                for (; (q + 1) * kWordBits <= count; ++q)
                    n[std::size_t(q * kWordBits + c)] =
                        Word32(col + q * kWordBits, level, a[std::size_t(q * kWordBits + c)]);
                std::uint32_t wa = 0, wn = 0;
                for (std::ptrdiff_t r = q * kWordBits; r < count; ++r) {
                    wa |= std::uint32_t(col[r] > level) << (r - q * kWordBits);
                    wn |= std::uint32_t(col[r] != col[r]) << (r - q * kWordBits);
                }
                if (q < groups) {
                    a[std::size_t(q * kWordBits + c)] = wa;
                    n[std::size_t(q * kWordBits + c)] = wn;
                }
            }
            for (std::ptrdiff_t q = 0; q < groups; ++q) {
                const std::ptrdiff_t rows =
                    std::min<std::ptrdiff_t>(kWordBits, count - q * kWordBits);
                std::uint32_t block[32];
                std::copy_n(&a[std::size_t(q * kWordBits)], 32, block);
                Transpose32(block);
                for (std::ptrdiff_t r = 0; r < rows; ++r)
                    above[(std::ptrdiff_t(m) * rowStride + q * kWordBits + r) * words + w] =
                        block[r];
                if (m == 0 && unusable) { // NaNs are rare: their transpose only where there are any
                    std::copy_n(&n[std::size_t(q * kWordBits)], 32, block);
                    std::uint32_t any = 0;
                    for (const std::uint32_t b : block)
                        any |= b;
                    if (any != 0) Transpose32(block);
                    for (std::ptrdiff_t r = 0; r < rows; ++r)
                        unusable[(q * kWordBits + r) * words + w] = block[r];
                }
            }
        }
    }
}

} // namespace

void Transpose32(std::uint32_t (&a)[32]) {
    // Swap ever smaller off-diagonal blocks: 16 x 16, then 8 x 8 inside each, down to bits.
    std::uint32_t m = 0x0000FFFFu;
    for (int j = 16; j != 0; j >>= 1, m ^= m << j) {
        for (int k = 0; k < 32; k = (k + j + 1) & ~j) {
            const std::uint32_t t = ((a[k] >> j) ^ a[k + j]) & m;
            a[k + j] ^= t;
            a[k] ^= t << j;
        }
    }
}

template <class T>
void ClassifyStripe(View<T> values, View<std::uint8_t> mask, std::span<const T> levels,
                    const BitGrid& g, std::ptrdiff_t j0, std::ptrdiff_t count,
                    std::ptrdiff_t rowStride, std::uint32_t* above, std::uint32_t* unusable) {
    const std::ptrdiff_t words = g.words;
    if (values.strideY == 1 && values.strideX != 1) {
        ColumnStripe(values, levels, g, j0, count, rowStride, above, unusable);
    } else {
        for (std::ptrdiff_t r = 0; r < count; ++r) {
            if (values.strideX == 1 && levels.size() > 1) {
                ContiguousRowLevels(values.data + (j0 + r) * values.strideY, values.nx, levels,
                                    above + r * words, rowStride * words, unusable + r * words);
                continue;
            }
            for (std::size_t m = 0; m < levels.size(); ++m) {
                std::uint32_t* a = above + (std::ptrdiff_t(m) * rowStride + r) * words;
                std::uint32_t* u = m == 0 ? unusable + r * words : nullptr;
                if (values.strideX == 1)
                    ContiguousRow(values.data + (j0 + r) * values.strideY, values.nx, levels[m], a,
                                  u);
                else
                    StridedRow(values, levels[m], g, j0 + r, a, u);
            }
        }
    }
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
        ClassifyStripe(values, {}, std::span<const T>(&level, 1), g, j, count, count,
                       above.data() + std::size_t(j * g.words), nullptr);
    }
}
#define ISOCONTOUR_CLASSIFY(T) template void ClassifyAbove(View<T>, T, std::span<std::uint32_t>);
ISOCONTOUR_FOR_EACH_VALUE_TYPE(ISOCONTOUR_CLASSIFY)
#undef ISOCONTOUR_CLASSIFY

namespace detail {

#define ISOCONTOUR_STRIPE(T)                                                                       \
    template void ClassifyStripe(View<T>, View<std::uint8_t>, std::span<const T>, const BitGrid&,  \
                                 std::ptrdiff_t, std::ptrdiff_t, std::ptrdiff_t, std::uint32_t*,   \
                                 std::uint32_t*);
ISOCONTOUR_FOR_EACH_VALUE_TYPE(ISOCONTOUR_STRIPE)
#undef ISOCONTOUR_STRIPE

} // namespace detail
} // namespace isocontour
