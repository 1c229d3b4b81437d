// Twice a double's precision from doubles alone (a value as the unevaluated sum hi + lo, Dekker's
// and Knuth's exact products and sums): for the few sums that need more than a double where long
// double is quadruple precision emulated in software (WebAssembly, AArch64), hundreds of
// instructions an operation. Exact only without contraction into fused multiply-adds, which the
// library's build turns off.
#pragma once

#include <limits>

namespace isocontour::detail {

// Whether long double is the processor's own wider type (x87's 64-bit significand), as fast as a
// double, rather than an emulated one.
inline constexpr bool kNativeLongDouble = std::numeric_limits<long double>::digits <= 64;

struct Twofold {
    double hi = 0, lo = 0;
};

// a + b exactly.
inline Twofold TwoSum(double a, double b) {
    const double s = a + b, v = s - a;
    return {s, (a - (s - v)) + (b - v)};
}

// a * b exactly (for |a|, |b| below 2^996, where splitting cannot overflow).
inline Twofold TwoProduct(double a, double b) {
    const auto split = [](double x) {
        const double c = 134217729.0 * x; // 2^27 + 1
        const double hi = c - (c - x);
        return Twofold{hi, x - hi};
    };
    const Twofold sa = split(a), sb = split(b);
    const double p = a * b;
    return {p, ((sa.hi * sb.hi - p) + sa.hi * sb.lo + sa.lo * sb.hi) + sa.lo * sb.lo};
}

// hi + lo renormalised, for |hi| >= |lo|.
inline Twofold Renormalised(double hi, double lo) {
    const double s = hi + lo;
    return {s, lo - (s - hi)};
}

inline Twofold operator+(const Twofold& a, const Twofold& b) {
    const Twofold s = TwoSum(a.hi, b.hi);
    return Renormalised(s.hi, s.lo + a.lo + b.lo);
}

inline Twofold operator-(const Twofold& a, const Twofold& b) { return a + Twofold{-b.hi, -b.lo}; }

inline Twofold operator*(const Twofold& a, const Twofold& b) {
    const Twofold p = TwoProduct(a.hi, b.hi);
    return Renormalised(p.hi, p.lo + (a.hi * b.lo + a.lo * b.hi));
}

} // namespace isocontour::detail
