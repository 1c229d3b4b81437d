// The rows' classification in the compiler's portable vector types, 16 bytes at a time: for
// machines without a version of their own (classify_rows.h).
#include "classify_rows_loops.h"

#include <cstring>

#include "classify.h"
#include "value_types.h"

namespace isocontour::detail {
namespace {

// 16 bytes of values and of their comparisons' masks in the compiler's portable vector types.
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

} // namespace

// A word of 32 values compared 16 bytes at a time (classify_rows_loops.h).
template <class> struct RowWord {
    template <bool kOrEqual, class T>
    [[gnu::always_inline]] static std::uint32_t Of(const T* v, T level, std::uint32_t& above) {
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

    template <class T> [[gnu::always_inline]] static std::uint32_t Range(const T* v, T& lo, T& hi) {
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
};

ISOCONTOUR_FOR_EACH_VALUE_TYPE(ISOCONTOUR_ROWS)

} // namespace isocontour::detail
