// The rows' classification on x86-64: AVX2 where the processor has it (chosen once, at the first
// call), else SSE2, which every x86-64 processor has. A word of 32 values is loaded once into
// registers; each comparison's sign bits go straight into the word (movemask), NaN found by the
// unordered comparison. The same bits as the portable version (classify_rows.h).
#include "classify_rows.h"

#include <algorithm>

#include <immintrin.h>

#include "classify.h"
#include "value_types.h"

namespace isocontour::detail {
namespace {

// The instructions for one value type and width: N values per register.
template <class T, bool kWide> struct Simd;

template <> struct Simd<double, false> {
    using V = __m128d;
    static constexpr int N = 2;
    static V Load(const double* p) { return _mm_loadu_pd(p); }
    static V Set(double v) { return _mm_set1_pd(v); }
    template <bool kOrEqual> static unsigned Above(V x, V l) {
        return unsigned(_mm_movemask_pd(kOrEqual ? _mm_cmpge_pd(x, l) : _mm_cmpgt_pd(x, l)));
    }
    static unsigned NaN(V x) { return unsigned(_mm_movemask_pd(_mm_cmpunord_pd(x, x))); }
    static V Unordered(V x) { return _mm_cmpunord_pd(x, x); }
    static V Or(V a, V b) { return _mm_or_pd(a, b); }
    static unsigned Bits(V m) { return unsigned(_mm_movemask_pd(m)); }
    static V Min(V a, V b) { return _mm_min_pd(a, b); }
    static V Max(V a, V b) { return _mm_max_pd(a, b); }
    static double Lowest(V x) {
        return std::min(_mm_cvtsd_f64(x), _mm_cvtsd_f64(_mm_unpackhi_pd(x, x)));
    }
    static double Highest(V x) {
        return std::max(_mm_cvtsd_f64(x), _mm_cvtsd_f64(_mm_unpackhi_pd(x, x)));
    }
};

template <> struct Simd<float, false> {
    using V = __m128;
    static constexpr int N = 4;
    static V Load(const float* p) { return _mm_loadu_ps(p); }
    static V Set(float v) { return _mm_set1_ps(v); }
    template <bool kOrEqual> static unsigned Above(V x, V l) {
        return unsigned(_mm_movemask_ps(kOrEqual ? _mm_cmpge_ps(x, l) : _mm_cmpgt_ps(x, l)));
    }
    static unsigned NaN(V x) { return unsigned(_mm_movemask_ps(_mm_cmpunord_ps(x, x))); }
    static V Unordered(V x) { return _mm_cmpunord_ps(x, x); }
    static V Or(V a, V b) { return _mm_or_ps(a, b); }
    static unsigned Bits(V m) { return unsigned(_mm_movemask_ps(m)); }
    static V Min(V a, V b) { return _mm_min_ps(a, b); }
    static V Max(V a, V b) { return _mm_max_ps(a, b); }
    static float Lowest(V x) {
        alignas(16) float f[4];
        _mm_store_ps(f, x);
        return std::min(std::min(f[0], f[1]), std::min(f[2], f[3]));
    }
    static float Highest(V x) {
        alignas(16) float f[4];
        _mm_store_ps(f, x);
        return std::max(std::max(f[0], f[1]), std::max(f[2], f[3]));
    }
};

#define ISOCONTOUR_AVX2 [[gnu::target("avx2")]]

template <> struct Simd<double, true> {
    using V = __m256d;
    static constexpr int N = 4;
    ISOCONTOUR_AVX2 static V Load(const double* p) { return _mm256_loadu_pd(p); }
    ISOCONTOUR_AVX2 static V Set(double v) { return _mm256_set1_pd(v); }
    template <bool kOrEqual> ISOCONTOUR_AVX2 static unsigned Above(V x, V l) {
        return unsigned(
            _mm256_movemask_pd(_mm256_cmp_pd(x, l, kOrEqual ? _CMP_GE_OQ : _CMP_GT_OQ)));
    }
    ISOCONTOUR_AVX2 static unsigned NaN(V x) {
        return unsigned(_mm256_movemask_pd(_mm256_cmp_pd(x, x, _CMP_UNORD_Q)));
    }
    ISOCONTOUR_AVX2 static V Unordered(V x) { return _mm256_cmp_pd(x, x, _CMP_UNORD_Q); }
    ISOCONTOUR_AVX2 static V Or(V a, V b) { return _mm256_or_pd(a, b); }
    ISOCONTOUR_AVX2 static unsigned Bits(V m) { return unsigned(_mm256_movemask_pd(m)); }
    ISOCONTOUR_AVX2 static V Min(V a, V b) { return _mm256_min_pd(a, b); }
    ISOCONTOUR_AVX2 static V Max(V a, V b) { return _mm256_max_pd(a, b); }
    ISOCONTOUR_AVX2 static double Lowest(V x) {
        return Simd<double, false>::Lowest(
            _mm_min_pd(_mm256_castpd256_pd128(x), _mm256_extractf128_pd(x, 1)));
    }
    ISOCONTOUR_AVX2 static double Highest(V x) {
        return Simd<double, false>::Highest(
            _mm_max_pd(_mm256_castpd256_pd128(x), _mm256_extractf128_pd(x, 1)));
    }
};

template <> struct Simd<float, true> {
    using V = __m256;
    static constexpr int N = 8;
    ISOCONTOUR_AVX2 static V Load(const float* p) { return _mm256_loadu_ps(p); }
    ISOCONTOUR_AVX2 static V Set(float v) { return _mm256_set1_ps(v); }
    template <bool kOrEqual> ISOCONTOUR_AVX2 static unsigned Above(V x, V l) {
        return unsigned(
            _mm256_movemask_ps(_mm256_cmp_ps(x, l, kOrEqual ? _CMP_GE_OQ : _CMP_GT_OQ)));
    }
    ISOCONTOUR_AVX2 static unsigned NaN(V x) {
        return unsigned(_mm256_movemask_ps(_mm256_cmp_ps(x, x, _CMP_UNORD_Q)));
    }
    ISOCONTOUR_AVX2 static V Unordered(V x) { return _mm256_cmp_ps(x, x, _CMP_UNORD_Q); }
    ISOCONTOUR_AVX2 static V Or(V a, V b) { return _mm256_or_ps(a, b); }
    ISOCONTOUR_AVX2 static unsigned Bits(V m) { return unsigned(_mm256_movemask_ps(m)); }
    ISOCONTOUR_AVX2 static V Min(V a, V b) { return _mm256_min_ps(a, b); }
    ISOCONTOUR_AVX2 static V Max(V a, V b) { return _mm256_max_ps(a, b); }
    ISOCONTOUR_AVX2 static float Lowest(V x) {
        return Simd<float, false>::Lowest(
            _mm_min_ps(_mm256_castps256_ps128(x), _mm256_extractf128_ps(x, 1)));
    }
    ISOCONTOUR_AVX2 static float Highest(V x) {
        return Simd<float, false>::Highest(
            _mm_max_ps(_mm256_castps256_ps128(x), _mm256_extractf128_ps(x, 1)));
    }
};

// The values of a row past its last whole word, one by one, and the zero word.
template <bool kOrEqual, class T>
void Tail(const T* r, std::ptrdiff_t w, std::ptrdiff_t nx, T level, std::uint32_t* above,
          std::uint32_t* unordered) {
    if (w * kWordBits < nx) {
        std::uint32_t a = 0, n = 0;
        for (std::ptrdiff_t i = w * kWordBits; i < nx; ++i) {
            a |= std::uint32_t(AboveOf<kOrEqual>(r[i], level)) << (i - w * kWordBits);
            n |= std::uint32_t(r[i] != r[i]) << (i - w * kWordBits);
        }
        above[w] = a;
        if (unordered) unordered[w] = n;
        ++w;
    }
    above[w] = 0;
    if (unordered) unordered[w] = 0;
}

// One word of values (32, from v): its comparisons with a level, its NaN bits, its range. The
// loops are unrolled so that every load, comparison and mask stays in registers.
template <class T, bool kWide> struct Word {
    using S = Simd<T, kWide>;
    static constexpr int kRegs = kWordBits / S::N;

    template <bool kOrEqual>
    [[gnu::always_inline]] static std::uint32_t Above(const T* v, typename S::V l) {
        std::uint32_t a = 0;
#pragma GCC unroll 16
        for (int q = 0; q < kRegs; ++q)
            a |= std::uint32_t(S::template Above<kOrEqual>(S::Load(v + q * S::N), l)) << (q * S::N);
        return a;
    }
    // Above, and the NaN bits into n: the unordered comparisons are gathered in a register and
    // spread into bits only for a word that has a NaN.
    template <bool kOrEqual>
    [[gnu::always_inline]] static std::uint32_t AboveAndNaN(const T* v, typename S::V l,
                                                            std::uint32_t& n) {
        std::uint32_t a = 0;
        typename S::V any = S::Unordered(S::Load(v));
#pragma GCC unroll 16
        for (int q = 0; q < kRegs; ++q) {
            const typename S::V x = S::Load(v + q * S::N);
            a |= std::uint32_t(S::template Above<kOrEqual>(x, l)) << (q * S::N);
            if (q > 0) any = S::Or(any, S::Unordered(x));
        }
        n = S::Bits(any) == 0 ? 0u : NaN(v);
        return a;
    }
    [[gnu::always_inline]] static bool AnyNaN(const T* v) {
        typename S::V any = S::Unordered(S::Load(v));
#pragma GCC unroll 16
        for (int q = 1; q < kRegs; ++q)
            any = S::Or(any, S::Unordered(S::Load(v + q * S::N)));
        return S::Bits(any) != 0;
    }
    [[gnu::always_inline]] static std::uint32_t NaN(const T* v) {
        std::uint32_t n = 0;
#pragma GCC unroll 16
        for (int q = 0; q < kRegs; ++q)
            n |= std::uint32_t(S::NaN(S::Load(v + q * S::N))) << (q * S::N);
        return n;
    }
    [[gnu::always_inline]] static void Range(const T* v, T& lo, T& hi) {
        typename S::V mn = S::Load(v), mx = mn;
#pragma GCC unroll 16
        for (int q = 1; q < kRegs; ++q) {
            const typename S::V x = S::Load(v + q * S::N);
            mn = S::Min(mn, x), mx = S::Max(mx, x);
        }
        lo = S::Lowest(mn);
        hi = S::Highest(mx);
    }
};

// The bodies, compiled once per width: [[gnu::flatten]] puts the register helpers inline, with
// the width's instructions.
template <bool kOrEqual, bool kWide, class T>
[[gnu::always_inline]] inline void RowBody(const T* r, std::ptrdiff_t nx, T level,
                                           std::uint32_t* above, std::uint32_t* unordered) {
    using S = Simd<T, kWide>;
    const typename S::V l = S::Set(level);
    using W = Word<T, kWide>;
    std::ptrdiff_t w = 0;
    if (unordered)
        for (; (w + 1) * kWordBits <= nx; ++w)
            above[w] = W::template AboveAndNaN<kOrEqual>(r + w * kWordBits, l, unordered[w]);
    else
        for (; (w + 1) * kWordBits <= nx; ++w)
            above[w] = W::template Above<kOrEqual>(r + w * kWordBits, l);
    Tail<kOrEqual>(r, w, nx, level, above, unordered);
}

// Levels outside a word's range give words of all or no bits; the others compare the registers.
template <bool kOrEqual, bool kWide, class T>
[[gnu::always_inline]] inline void LevelsBody(const T* r, std::ptrdiff_t nx,
                                              std::span<const T> levels, std::uint32_t* above,
                                              std::ptrdiff_t levelStride, std::uint32_t* unusable) {
    using S = Simd<T, kWide>;
    using W = Word<T, kWide>;
    std::ptrdiff_t w = 0;
    for (; (w + 1) * kWordBits <= nx; ++w) {
        const T* v = r + w * kWordBits;
        const std::uint32_t nan = W::AnyNaN(v) ? W::NaN(v) : 0u;
        if (unusable) unusable[w] = nan;
        T lo, hi;
        W::Range(v, lo, hi);
        for (std::size_t m = 0; m < levels.size(); ++m) {
            const T level = levels[m];
            std::uint32_t& a = above[std::ptrdiff_t(m) * levelStride + w];
            if (nan == 0 && !AboveOf<kOrEqual>(hi, level))
                a = 0;
            else if (nan == 0 && AboveOf<kOrEqual>(lo, level))
                a = ~std::uint32_t(0);
            else
                a = W::template Above<kOrEqual>(v, S::Set(level));
        }
    }
    for (std::size_t m = 0; m < levels.size(); ++m)
        Tail<kOrEqual>(r, w, nx, levels[m], above + std::ptrdiff_t(m) * levelStride,
                       m == 0 ? unusable : nullptr);
}

template <bool kOrEqual, class T>
ISOCONTOUR_AVX2 [[gnu::flatten]] void RowAvx2(const T* r, std::ptrdiff_t nx, T level,
                                              std::uint32_t* above, std::uint32_t* unordered) {
    RowBody<kOrEqual, true>(r, nx, level, above, unordered);
}
template <bool kOrEqual, class T>
[[gnu::flatten]] void RowSse2(const T* r, std::ptrdiff_t nx, T level, std::uint32_t* above,
                              std::uint32_t* unordered) {
    RowBody<kOrEqual, false>(r, nx, level, above, unordered);
}
template <bool kOrEqual, class T>
ISOCONTOUR_AVX2 [[gnu::flatten]] void
LevelsAvx2(const T* r, std::ptrdiff_t nx, std::span<const T> levels, std::uint32_t* above,
           std::ptrdiff_t levelStride, std::uint32_t* unusable) {
    LevelsBody<kOrEqual, true>(r, nx, levels, above, levelStride, unusable);
}
template <bool kOrEqual, class T>
[[gnu::flatten]] void LevelsSse2(const T* r, std::ptrdiff_t nx, std::span<const T> levels,
                                 std::uint32_t* above, std::ptrdiff_t levelStride,
                                 std::uint32_t* unusable) {
    LevelsBody<kOrEqual, false>(r, nx, levels, above, levelStride, unusable);
}

// Whether this processor has AVX2 (and the system saves its registers), asked once.
bool HasAvx2() {
    static const bool has = __builtin_cpu_supports("avx2");
    return has;
}

} // namespace

template <bool kOrEqual, class T>
void ContiguousRow(const T* r, std::ptrdiff_t nx, T level, std::uint32_t* above,
                   std::uint32_t* unordered) {
    if (HasAvx2())
        RowAvx2<kOrEqual>(r, nx, level, above, unordered);
    else
        RowSse2<kOrEqual>(r, nx, level, above, unordered);
}

template <bool kOrEqual, class T>
void ContiguousRowLevels(const T* r, std::ptrdiff_t nx, std::span<const T> levels,
                         std::uint32_t* above, std::ptrdiff_t levelStride,
                         std::uint32_t* unusable) {
    if (HasAvx2())
        LevelsAvx2<kOrEqual>(r, nx, levels, above, levelStride, unusable);
    else
        LevelsSse2<kOrEqual>(r, nx, levels, above, levelStride, unusable);
}

template <bool kOrEqual, class T>
void ContiguousRowNarrow(const T* r, std::ptrdiff_t nx, T level, std::uint32_t* above,
                         std::uint32_t* unordered) {
    RowSse2<kOrEqual>(r, nx, level, above, unordered);
}

template <bool kOrEqual, class T>
void ContiguousRowLevelsNarrow(const T* r, std::ptrdiff_t nx, std::span<const T> levels,
                               std::uint32_t* above, std::ptrdiff_t levelStride,
                               std::uint32_t* unusable) {
    LevelsSse2<kOrEqual>(r, nx, levels, above, levelStride, unusable);
}

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
ISOCONTOUR_FOR_EACH_VALUE_TYPE(ISOCONTOUR_ROWS)
#undef ISOCONTOUR_ROWS

} // namespace isocontour::detail
