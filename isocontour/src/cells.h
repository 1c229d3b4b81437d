// One cell of marching squares, the unit every pass of the library shares: its corners and
// edges, which edges a level's line crosses and in which direction, how a saddle's crossings pair
// up, and where on an edge the crossing lies.
//
// Words used throughout the library:
//   cell     the square between nodes (x, y) and (x + 1, y + 1); cell rows run along x
//   level    a value a line is drawn at; a node is above it when its value is greater
//   band     a value range between two levels (filled contours); never a group of rows
//   strip    consecutive cell rows that one thread works on (strips.h); its seams are the rows
//            of horizontal edges it shares with the strips below and above
//   chunk    a fixed block of memory that crossings are stored in and never move from (chunks.h)
//   stripe   node rows classified together, 32 or more at a time (classify.h)
//   plane    one level's classification of every node as bits (the filled bands keep one a level)
//
// Corners 0 .. 3 of cell (x, y) are (x, y), (x + 1, y), (x + 1, y + 1), (x, y + 1); edge e runs
// from corner e to corner e + 1 (mod 4): 0 bottom, 1 right, 2 top, 3 left. An edge's first node
// A is its end with the lower index (corner 0 for edges 0 and 3, corner 1 for edge 1, corner 3
// for edge 2), and every crossing is computed from A to B, whichever cell asks. A case packs the
// corners' sides as two bit pairs read straight from the classification: bit 0 corner 0, bit 1
// corner 1, bit 2 corner 3, bit 3 corner 2. Lines keep the higher values on their left, so a
// line enters a cell across an edge whose first corner is above and leaves across one whose
// second is.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>

#include "coords.h"
#include "isocontour/isocontour.h"

namespace isocontour::detail {

// Corner q of cell (x, y) is node (x + kCornerX[q], y + kCornerY[q]).
inline constexpr int kCornerX[4] = {0, 1, 1, 0};
inline constexpr int kCornerY[4] = {0, 0, 1, 1};

// Edge e of cell (x, y) is the horizontal edge from node (x, y) or (x, y + 1) to the node after
// it along x, or the vertical edge from node (x + 1, y) or (x, y) to the node after it along y:
// its node A is (x + EdgeDx(e), y + EdgeDy(e)).
constexpr bool Horizontal(int e) { return (e & 1) == 0; }
constexpr int EdgeDx(int e) { return e == 1 ? 1 : 0; }
constexpr int EdgeDy(int e) { return e == 2 ? 1 : 0; }

constexpr bool CornerAbove(unsigned k, int corner) {
    constexpr int kBit[4] = {0, 1, 3, 2};
    return (k >> kBit[corner]) & 1u;
}

// The case of four corner sides given corner by corner.
constexpr unsigned CaseOf(bool c0, bool c1, bool c2, bool c3) {
    return unsigned(c0) | unsigned(c1) << 1 | unsigned(c3) << 2 | unsigned(c2) << 3;
}

// The saddles: corners 0 and 2 above, or 1 and 3.
constexpr bool IsSaddle(unsigned k) { return k == 0b1001u || k == 0b0110u; }

// How a saddle pairs its crossings: joining its two above corners through the cell (each line
// turns to cut off a corner not above), or its two corners not above.
enum Join : int { kJoinAbove = 0, kJoinBelow = 1 };

struct CaseTable {
    // exit[join][k][e]: the edge a line entering across e leaves by, or -1.
    std::int8_t exit[2][16][4];
    std::uint8_t entries[16]; // bit e set when a line enters across edge e
    std::uint8_t crossed[16]; // bit e set when edge e's corners lie on opposite sides
};

constexpr CaseTable MakeCaseTable() {
    CaseTable t{};
    for (int join = 0; join < 2; ++join)
        for (unsigned k = 0; k < 16; ++k)
            for (int e = 0; e < 4; ++e)
                t.exit[join][k][e] = -1;
    for (unsigned k = 0; k < 16; ++k) {
        int in[2] = {-1, -1}, out[2] = {-1, -1}, nin = 0, nout = 0;
        t.entries[k] = t.crossed[k] = 0;
        for (int e = 0; e < 4; ++e) {
            const bool a = CornerAbove(k, e), b = CornerAbove(k, (e + 1) & 3);
            if (a && !b) {
                in[nin++] = e;
                t.entries[k] |= std::uint8_t(1u << e);
            }
            if (!a && b) out[nout++] = e;
            if (a != b) t.crossed[k] |= std::uint8_t(1u << e);
        }
        for (int join = 0; join < 2; ++join) {
            for (int n = 0; n < nin; ++n) {
                const int e = in[n];
                // A saddle's line turns left (joining above) or right; otherwise the one exit.
                const int x =
                    IsSaddle(k) ? (join == kJoinAbove ? (e + 1) & 3 : (e + 3) & 3) : out[0];
                t.exit[join][k][e] = std::int8_t(x);
            }
        }
        (void)nout;
    }
    return t;
}

inline constexpr CaseTable kCases = MakeCaseTable();

// A call's rules for every level: how a saddle pairs its crossings, which side of a level a
// value exactly at it lies on, and whether crossings are interpolated in the logarithms.
template <class T> struct Rules {
    Saddle saddle = Saddle::Above;
    AtLevel atLevel = AtLevel::Below;
    bool log = false;

    static Rules Of(const Options<T>& o) {
        return {o.saddle, o.atLevel, o.interpolation == Interpolation::Log};
    }
    bool Above(T v, T level) const { return atLevel == AtLevel::Above ? v >= level : v > level; }
};

// One level as the crossings need it: its value, and its logarithm under log interpolation.
template <class T> struct Level {
    T value{}, log{};
    static Level Of(T value, const Rules<T>& rules) {
        return {value, rules.log ? std::log(value) : T(0)};
    }
};

// The saddle rule: how cell (x, y) of case k pairs its crossings of level. Only a saddle under
// the centre rule reads the values: the mean of the four corners, summed corner 0 to 3 (under
// log interpolation the geometric mean), decides as a fifth node at the centre would.
template <class T>
int JoinOf(const Rules<T>& rules, unsigned k, View<T> v, std::ptrdiff_t x, std::ptrdiff_t y,
           const Level<T>& level) {
    if (!IsSaddle(k) || rules.saddle == Saddle::Above) return kJoinAbove;
    if (rules.saddle == Saddle::Below) return kJoinBelow;
    if (rules.saddle == Saddle::Diagonal) return k == 0b1001u ? kJoinAbove : kJoinBelow;
    const T a = v(x, y), b = v(x + 1, y), c = v(x + 1, y + 1), d = v(x, y + 1);
    const T mean = rules.log
                       ? std::exp(T(0.25) * (std::log(a) + std::log(b) + std::log(c) + std::log(d)))
                       : (a + b + c + d) / T(4);
    return rules.Above(mean, level.value) ? kJoinAbove : kJoinBelow;
}

// The fraction s of the way from a to b at which level lies, for a and b on opposite sides of
// it: (level - a) / (b - a), or on the finite node when the other is infinite (halfway between
// two infinite ones), and never NaN. A fraction within half an ulp of 1 of either end is that
// end: the crossing is the node, as rounding makes it on every edge but those at coordinate 0,
// so that no crossing lies closer to a node than the arithmetic of the output can resolve (a
// ring through such a point and the node would touch itself in a geometry library's eyes).
template <class T> inline constexpr T kNodeSnap = std::numeric_limits<T>::epsilon() / 2;
template <class T> [[gnu::noinline]] T CrossingFractionAtEnds(T a, T b, T level, T s);
template <class T> inline T CrossingFraction(T a, T b, T level) {
    const T s = (level - a) / (b - a);
    if (s > kNodeSnap<T> && s < T(1) - kNodeSnap<T>) [[likely]]
        return s;
    return CrossingFractionAtEnds(a, b, level, s);
}
// Infinite nodes, differences beyond the range, and fractions at or next to a node.
template <class T> T CrossingFractionAtEnds(T a, T b, T level, T s) {
    if (std::isinf(a)) return std::isinf(b) ? T(0.5) : T(1);
    if (std::isinf(b)) return T(0);
    if (std::isinf(b - a)) // a difference beyond the range: the same fraction from halves
        s = (level / 2 - a / 2) / (b / 2 - a / 2);
    return s <= kNodeSnap<T> ? T(0) : s >= T(1) - kNodeSnap<T> ? T(1) : s;
}

// A level's crossing of an edge: the edge's node A = (i, j) and the step (di, dj) to its node B,
// the values at A and B, the fraction s from A to B, and the point in the output's coordinates.
template <class T> struct EdgeCrossing {
    std::ptrdiff_t i, j, di, dj;
    bool horizontal;
    T a, b, s;
    Point<T> at;
};

template <class T> T FractionOf(T a, T b, const Level<T>& level, bool log) {
    return log ? CrossingFraction(std::log(a), std::log(b), level.log)
               : CrossingFraction(a, b, level.value);
}

// The crossing on edge e of cell (x, y).
template <class T, class Coords>
[[gnu::always_inline]] inline EdgeCrossing<T> CrossEdge(View<T> v, const Coords& coords,
                                                        std::ptrdiff_t x, std::ptrdiff_t y, int e,
                                                        const Level<T>& level, bool log) {
    EdgeCrossing<T> c;
    c.i = x + EdgeDx(e);
    c.j = y + EdgeDy(e);
    c.horizontal = Horizontal(e);
    c.di = c.horizontal ? 1 : 0;
    c.dj = c.horizontal ? 0 : 1;
    c.a = v(c.i, c.j);
    c.b = c.horizontal ? v(c.i + 1, c.j) : v(c.i, c.j + 1);
    c.s = FractionOf(c.a, c.b, level, log);
    c.at = c.horizontal ? coords.OnH(c.i, c.j, c.s) : coords.OnV(c.i, c.j, c.s);
    return c;
}

// A triangle: cell (x, y) missing corner q (a corner mask's cell with one unusable corner). Its
// edges, counter-clockwise from corner q + 1, are cell edges q + 1 and q + 2 and the diagonal
// from corner q + 3 back to corner q + 1. The diagonal's node A is its lower one: (x, y) when it
// joins corners 0 and 2 (q odd), else (x + 1, y).
constexpr int kDiagonal = 4; // the diagonal's number beside the cell edges 0 .. 3
constexpr std::ptrdiff_t DiagonalDx(int q) { return (q & 1) ? 0 : 1; }
constexpr std::ptrdiff_t DiagonalStep(int q) { return (q & 1) ? 1 : -1; } // B.x - A.x

template <class T, class Coords>
EdgeCrossing<T> CrossDiagonal(View<T> v, const Coords& coords, std::ptrdiff_t x, std::ptrdiff_t y,
                              int q, const Level<T>& level, bool log) {
    EdgeCrossing<T> c;
    c.i = x + DiagonalDx(q);
    c.j = y;
    c.di = DiagonalStep(q);
    c.dj = 1;
    c.horizontal = false;
    c.a = v(c.i, c.j);
    c.b = v(c.i + c.di, c.j + 1);
    c.s = FractionOf(c.a, c.b, level, log);
    c.at = coords.OnD(c.i, c.j, c.di, c.s);
    return c;
}

} // namespace isocontour::detail
