// The rows' classification in AVX2 instructions, four doubles or eight floats a register. This
// file alone is built for AVX2 (CMake): it defines nothing another file could call by mistake but
// the two entry points of classify_avx2.h, which classify_rows_x86.cpp calls where AVX2 is there.
#include "classify_avx2.h"

#include "classify_simd.h"
#include "value_types.h"

namespace isocontour::detail {
namespace {

template <> struct Simd<double, true> {
    using V = __m256d;
    static constexpr int N = 4;
    static V Load(const double* p) { return _mm256_loadu_pd(p); }
    static V Set(double v) { return _mm256_set1_pd(v); }
    template <bool kOrEqual> static unsigned Above(V x, V l) {
        return unsigned(
            _mm256_movemask_pd(_mm256_cmp_pd(x, l, kOrEqual ? _CMP_GE_OQ : _CMP_GT_OQ)));
    }
    static unsigned NaN(V x) {
        return unsigned(_mm256_movemask_pd(_mm256_cmp_pd(x, x, _CMP_UNORD_Q)));
    }
    static V Unordered(V x) { return _mm256_cmp_pd(x, x, _CMP_UNORD_Q); }
    static V Or(V a, V b) { return _mm256_or_pd(a, b); }
    static unsigned Bits(V m) { return unsigned(_mm256_movemask_pd(m)); }
    static V Min(V a, V b) { return _mm256_min_pd(a, b); }
    static V Max(V a, V b) { return _mm256_max_pd(a, b); }
    static double Lowest(V x) {
        return Simd<double, false>::Lowest(
            _mm_min_pd(_mm256_castpd256_pd128(x), _mm256_extractf128_pd(x, 1)));
    }
    static double Highest(V x) {
        return Simd<double, false>::Highest(
            _mm_max_pd(_mm256_castpd256_pd128(x), _mm256_extractf128_pd(x, 1)));
    }
};

template <> struct Simd<float, true> {
    using V = __m256;
    static constexpr int N = 8;
    static V Load(const float* p) { return _mm256_loadu_ps(p); }
    static V Set(float v) { return _mm256_set1_ps(v); }
    template <bool kOrEqual> static unsigned Above(V x, V l) {
        return unsigned(
            _mm256_movemask_ps(_mm256_cmp_ps(x, l, kOrEqual ? _CMP_GE_OQ : _CMP_GT_OQ)));
    }
    static unsigned NaN(V x) {
        return unsigned(_mm256_movemask_ps(_mm256_cmp_ps(x, x, _CMP_UNORD_Q)));
    }
    static V Unordered(V x) { return _mm256_cmp_ps(x, x, _CMP_UNORD_Q); }
    static V Or(V a, V b) { return _mm256_or_ps(a, b); }
    static unsigned Bits(V m) { return unsigned(_mm256_movemask_ps(m)); }
    static V Min(V a, V b) { return _mm256_min_ps(a, b); }
    static V Max(V a, V b) { return _mm256_max_ps(a, b); }
    static float Lowest(V x) {
        return Simd<float, false>::Lowest(
            _mm_min_ps(_mm256_castps256_ps128(x), _mm256_extractf128_ps(x, 1)));
    }
    static float Highest(V x) {
        return Simd<float, false>::Highest(
            _mm_max_ps(_mm256_castps256_ps128(x), _mm256_extractf128_ps(x, 1)));
    }
};

} // namespace

namespace avx2 {

template <bool kOrEqual, class T>
[[gnu::flatten]] void Row(const T* r, std::ptrdiff_t nx, T level, std::uint32_t* above,
                          std::uint32_t* unordered) {
    RowBody<kOrEqual, true>(r, nx, level, above, unordered);
}

template <bool kOrEqual, class T>
[[gnu::flatten]] void Levels(const T* r, std::ptrdiff_t nx, std::span<const T> levels,
                             std::uint32_t* above, std::ptrdiff_t levelStride,
                             std::uint32_t* unusable) {
    LevelsBody<kOrEqual, true>(r, nx, levels, above, levelStride, unusable);
}

#define ISOCONTOUR_AVX2_ROWS(T)                                                                    \
    template void Row<false, T>(const T*, std::ptrdiff_t, T, std::uint32_t*, std::uint32_t*);      \
    template void Row<true, T>(const T*, std::ptrdiff_t, T, std::uint32_t*, std::uint32_t*);       \
    template void Levels<false, T>(const T*, std::ptrdiff_t, std::span<const T>, std::uint32_t*,   \
                                   std::ptrdiff_t, std::uint32_t*);                                \
    template void Levels<true, T>(const T*, std::ptrdiff_t, std::span<const T>, std::uint32_t*,    \
                                  std::ptrdiff_t, std::uint32_t*);
ISOCONTOUR_FOR_EACH_VALUE_TYPE(ISOCONTOUR_AVX2_ROWS)
#undef ISOCONTOUR_AVX2_ROWS

} // namespace avx2
} // namespace isocontour::detail
