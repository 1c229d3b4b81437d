// Which ring a hole lies in: a probe at the middle of one of the hole's pieces, held exactly, and
// whether a piece crosses the ray from it towards -x, for the parity of a ring's crossings.
#pragma once

#include <type_traits>

#include "twofold.h"

namespace isocontour::detail {

// A probe's coordinate: the midpoint of two doubles, exact and strictly between them. In long
// double where it is the processor's own; where long double would be emulated in software
// (WebAssembly, AArch64) at hundreds of instructions an operation, as a Twofold.
template <class W> struct Mid;

template <> struct Mid<long double> {
    static long double Of(double a, double b) { return ((long double)a + (long double)b) / 2; }
    static bool Above(double v, long double m) { return v > m; }
    static long double From(double v) { return v; }
    static double Nearest(long double m) { return double(m); }
};

template <> struct Mid<Twofold> {
    // Halving both parts is exact unless the low part is subnormal (a coordinate within about
    // 1e-290 of 0), and then off by less than that.
    static Twofold Of(double a, double b) {
        const Twofold s = TwoSum(a, b);
        return {s.hi / 2, s.lo / 2};
    }
    // hi is the sum rounded, so its order decides unless v equals it.
    static bool Above(double v, const Twofold& m) { return v > m.hi || (v == m.hi && m.lo < 0); }
    static Twofold From(double v) { return {v, 0}; }
    static double Nearest(const Twofold& m) { return m.hi; }
};

using Wide = std::conditional_t<kNativeLongDouble, long double, Twofold>;

// Whether the piece from (ax, ay) to (bx, by) crosses the ray from (x, y) towards -x: its ends
// lie on either side of y, and where it meets height y lies left of x.
template <class W>
bool CrossesRay(double ax, double ay, double bx, double by, const W& x, const W& y) {
    using M = Mid<W>;
    if (M::Above(ay, y) == M::Above(by, y)) return false;
    if constexpr (std::is_same_v<W, long double>) {
        const W wy = ay, wby = by;
        return W(ax) + (y - wy) * (W(bx) - W(ax)) / (wby - wy) < x;
    } else {
        // ax + (y - ay)(bx - ax) / (by - ay) < x, multiplied out by by - ay, whose sign flips it;
        // the differences of two doubles are exact, and the products to twice a double's
        // precision.
        const Twofold ex = TwoSum(bx, -ax), ey = TwoSum(by, -ay);
        const Twofold left = (M::From(ax) - x) * ey + (y - M::From(ay)) * ex;
        return ey.hi > 0 ? left.hi < 0 : left.hi > 0;
    }
}

} // namespace isocontour::detail
