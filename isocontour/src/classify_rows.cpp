// The rows' classification in the compiler's portable vector types, 16 bytes at a time: for
// machines without a version of their own (classify_rows.h).
#include "classify_rows.h"

#include <cstring>

#include "classify.h"
#include "value_types.h"

namespace isocontour::detail {
namespace {

// 32 consecutive values against a level, 16 bytes at a time in the compiler's portable vector
// types: above gets bit k set when v[k] lies above level, and the result is the NaN bits.
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

template <bool kOrEqual, class T>
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
        a |= AboveOf<kOrEqual>(x, lv) & bit;
        n |= (x != x) & bit;
    }
    std::uint32_t wa = 0, wn = 0;
    for (int k = 0; k < L::kCount; ++k) {
        wa |= std::uint32_t(a[k]);
        wn |= std::uint32_t(n[k]);
    }
    above = wa;
    return wn;
}

} // namespace

template <bool kOrEqual, class T>
void ContiguousRow(const T* r, std::ptrdiff_t nx, T level, std::uint32_t* above,
                   std::uint32_t* unordered) {
    std::ptrdiff_t w = 0;
    for (; (w + 1) * kWordBits <= nx; ++w) {
        const std::uint32_t n = Word32<kOrEqual>(r + w * kWordBits, level, above[w]);
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

namespace {

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

} // namespace

// A contiguous row against several levels: each 32 values' range is taken once, and only the
// levels inside it are compared value by value; the others give words of all or no bits.
template <bool kOrEqual, class T>
void ContiguousRowLevels(const T* r, std::ptrdiff_t nx, std::span<const T> levels,
                         std::uint32_t* above, std::ptrdiff_t levelStride,
                         std::uint32_t* unusable) {
    const bool sorted = std::is_sorted(levels.begin(), levels.end());
    std::ptrdiff_t w = 0;
    for (; (w + 1) * kWordBits <= nx; ++w) {
        const T* v = r + w * kWordBits;
        T lo, hi;
        const std::uint32_t nan = Range32(v, lo, hi);
        if (unusable) unusable[w] = nan;
        WordLevels<kOrEqual>(levels, sorted, nan != 0, lo, hi, above + w, levelStride,
                             [&](T level) {
                                 std::uint32_t a;
                                 Word32<kOrEqual>(v, level, a);
                                 return a;
                             });
    }
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

ISOCONTOUR_FOR_EACH_VALUE_TYPE(ISOCONTOUR_ROWS)

} // namespace isocontour::detail
