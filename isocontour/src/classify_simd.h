// The rows' classification in x86 registers, shared by the SSE2 and AVX2 builds of it
// (classify_rows_x86.cpp, classify_rows_avx2.cpp): a word of 32 values compared straight into
// bits (movemask), NaN looked for in a register first. Everything here has internal linkage, so
// that each build keeps its own instructions: the AVX2 one, compiled for AVX2, must not lend a
// function to code that runs where AVX2 is missing.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>

#include <immintrin.h>

#include "classify_rows.h"

namespace isocontour::detail {
namespace {

constexpr int kSimdWordBits = 32;

template <bool kOrEqual, class T> inline bool Compare(T x, T level) {
    if constexpr (kOrEqual)
        return x >= level;
    else
        return x > level;
}
template <class T> inline T Least(T a, T b) { return b < a ? b : a; }
template <class T> inline T Most(T a, T b) { return a < b ? b : a; }

// The instructions for one value type and width: N values per register (specialised by each
// build for its width).
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
        return Least(_mm_cvtsd_f64(x), _mm_cvtsd_f64(_mm_unpackhi_pd(x, x)));
    }
    static double Highest(V x) {
        return Most(_mm_cvtsd_f64(x), _mm_cvtsd_f64(_mm_unpackhi_pd(x, x)));
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
        return Least(Least(f[0], f[1]), Least(f[2], f[3]));
    }
    static float Highest(V x) {
        alignas(16) float f[4];
        _mm_store_ps(f, x);
        return Most(Most(f[0], f[1]), Most(f[2], f[3]));
    }
};

// The values of a row past its last whole word, one by one, and the zero word.
template <bool kOrEqual, class T>
void Tail(const T* r, std::ptrdiff_t w, std::ptrdiff_t nx, T level, std::uint32_t* above,
          std::uint32_t* unordered) {
    if (w * kSimdWordBits < nx) {
        std::uint32_t a = 0, n = 0;
        for (std::ptrdiff_t i = w * kSimdWordBits; i < nx; ++i) {
            a |= std::uint32_t(Compare<kOrEqual>(r[i], level)) << (i - w * kSimdWordBits);
            n |= std::uint32_t(r[i] != r[i]) << (i - w * kSimdWordBits);
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
    static constexpr int kRegs = kSimdWordBits / S::N;

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
        for (; (w + 1) * kSimdWordBits <= nx; ++w)
            above[w] = W::template AboveAndNaN<kOrEqual>(r + w * kSimdWordBits, l, unordered[w]);
    else
        for (; (w + 1) * kSimdWordBits <= nx; ++w)
            above[w] = W::template Above<kOrEqual>(r + w * kSimdWordBits, l);
    Tail<kOrEqual>(r, w, nx, level, above, unordered);
}

// Levels outside a word's range give words of all or no bits; the others compare the registers.
template <bool kOrEqual, bool kWide, class T>
[[gnu::always_inline]] inline void LevelsBody(const T* r, std::ptrdiff_t nx,
                                              std::span<const T> levels, std::uint32_t* above,
                                              std::ptrdiff_t levelStride, std::uint32_t* unusable) {
    using S = Simd<T, kWide>;
    using W = Word<T, kWide>;
    const std::ptrdiff_t w = nx / kSimdWordBits;
    WordsLevels<kOrEqual>(
        levels, w, above, levelStride, unusable,
        [&](std::ptrdiff_t k, T& lo, T& hi) {
            const T* v = r + k * kSimdWordBits;
            W::Range(v, lo, hi);
            return W::AnyNaN(v) ? W::NaN(v) : 0u;
        },
        [&](std::ptrdiff_t k, T level) {
            return W::template Above<kOrEqual>(r + k * kSimdWordBits, S::Set(level));
        });
    for (std::size_t m = 0; m < levels.size(); ++m)
        Tail<kOrEqual>(r, w, nx, levels[m], above + std::ptrdiff_t(m) * levelStride,
                       m == 0 ? unusable : nullptr);
}

} // namespace
} // namespace isocontour::detail
