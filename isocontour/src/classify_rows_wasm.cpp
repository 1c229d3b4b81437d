// The rows' classification with WebAssembly's SIMD: a word's 32 comparisons narrowed to bytes and
// gathered by one bitmask instruction a half, where the portable vector types leave a shift and
// an or per lane. The same bits as the portable version (classify_rows.h).
#include <wasm_simd128.h>

#include "classify.h"
#include "classify_rows_loops.h"
#include "value_types.h"

namespace isocontour::detail {
namespace {

template <bool kOrEqual> [[gnu::always_inline]] inline v128_t Above32(v128_t x, v128_t level) {
    if constexpr (kOrEqual)
        return wasm_f32x4_ge(x, level);
    else
        return wasm_f32x4_gt(x, level);
}
template <bool kOrEqual> [[gnu::always_inline]] inline v128_t Above64(v128_t x, v128_t level) {
    if constexpr (kOrEqual)
        return wasm_f64x2_ge(x, level);
    else
        return wasm_f64x2_gt(x, level);
}

// Four masks of four 32-bit lanes as 16 bits (the narrowing saturates: -1 stays -1, 0 stays 0).
[[gnu::always_inline]] inline std::uint32_t Bits16(const v128_t (&m)[4]) {
    return wasm_i8x16_bitmask(wasm_i8x16_narrow_i16x8(wasm_i16x8_narrow_i32x4(m[0], m[1]),
                                                      wasm_i16x8_narrow_i32x4(m[2], m[3])));
}

// Two masks of two 64-bit lanes as one of four 32-bit lanes.
[[gnu::always_inline]] inline v128_t Halves(v128_t a, v128_t b) {
    return wasm_i32x4_shuffle(a, b, 0, 2, 4, 6);
}

} // namespace

// A word of 32 values, 16 a half (classify_rows_loops.h).
template <class> struct RowWord {
    template <bool kOrEqual, class T>
    [[gnu::always_inline]] static std::uint32_t Of(const T* v, T level, std::uint32_t& above) {
        std::uint32_t a = 0, n = 0;
        for (int h = 0; h < 2; ++h) {
            v128_t up[4], nan[4];
            for (int q = 0; q < 4; ++q) {
                const T* at = v + 16 * h + 4 * q;
                if constexpr (sizeof(T) == 4) {
                    const v128_t x = wasm_v128_load(at);
                    up[q] = Above32<kOrEqual>(x, wasm_f32x4_splat(level));
                    nan[q] = wasm_f32x4_ne(x, x);
                } else {
                    const v128_t x0 = wasm_v128_load(at), x1 = wasm_v128_load(at + 2);
                    const v128_t l = wasm_f64x2_splat(level);
                    up[q] = Halves(Above64<kOrEqual>(x0, l), Above64<kOrEqual>(x1, l));
                    nan[q] = Halves(wasm_f64x2_ne(x0, x0), wasm_f64x2_ne(x1, x1));
                }
            }
            a |= Bits16(up) << (16 * h);
            n |= Bits16(nan) << (16 * h);
        }
        above = a;
        return n;
    }

    // pmin and pmax are the portable version's x < lo ? x : lo and x > hi ? x : hi.
    template <class T> [[gnu::always_inline]] static std::uint32_t Range(const T* v, T& lo, T& hi) {
        v128_t mn = wasm_v128_load(v), mx = mn;
        std::uint32_t nan = 0;
        for (int h = 0; h < 2; ++h) {
            v128_t un[4];
            for (int q = 0; q < 4; ++q) {
                const T* at = v + 16 * h + 4 * q;
                if constexpr (sizeof(T) == 4) {
                    const v128_t x = wasm_v128_load(at);
                    mn = wasm_f32x4_pmin(mn, x), mx = wasm_f32x4_pmax(mx, x);
                    un[q] = wasm_f32x4_ne(x, x);
                } else {
                    const v128_t x0 = wasm_v128_load(at), x1 = wasm_v128_load(at + 2);
                    mn = wasm_f64x2_pmin(wasm_f64x2_pmin(mn, x0), x1);
                    mx = wasm_f64x2_pmax(wasm_f64x2_pmax(mx, x0), x1);
                    un[q] = Halves(wasm_f64x2_ne(x0, x0), wasm_f64x2_ne(x1, x1));
                }
            }
            nan |= Bits16(un) << (16 * h);
        }
        constexpr int kLanes = 16 / sizeof(T);
        T l[kLanes], u[kLanes];
        wasm_v128_store(l, mn);
        wasm_v128_store(u, mx);
        lo = l[0], hi = u[0];
        for (int k = 1; k < kLanes; ++k) {
            lo = l[k] < lo ? l[k] : lo;
            hi = u[k] > hi ? u[k] : hi;
        }
        return nan;
    }
};

ISOCONTOUR_FOR_EACH_VALUE_TYPE(ISOCONTOUR_ROWS)

} // namespace isocontour::detail
