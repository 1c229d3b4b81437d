// Joined contour lines: the nodes classified as bit planes, the cells with corners on both
// sides found a word at a time, and each line traced from the first of its cells in row order
// (y outer, x inner), computing every crossing once.
//
// The order of the output is fixed by the grid alone: lines come in the order of their first
// cell (a saddle's two lines by entry edge); an open line runs from its start on the border or
// beside an unusable cell to its end; a closed line starts where it enters its first cell.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "contour/cell_cases.h"
#include "contour/checks.h"
#include "contour/contour.h"
#include "contour/crossing.h"
#include "contour/planes.h"

namespace contour {
namespace detail {
namespace {

// The memory one call works in besides its output: a few bits per node.
struct Scratch {
    BitGrid g;
    std::vector<std::uint32_t> above;    // value > level
    std::vector<std::uint32_t> unusable; // NaN or masked, when there are any
    std::vector<std::uint32_t> hvisit;   // H(i, j) crossed by a line already traced
    std::vector<std::uint32_t> vvisit;   // V(i, j) likewise
    bool anyUnusable = false;
};

template <class T, class Coords, bool kNormals> class Tracer {
public:
    Tracer(View<T> v, T level, const Coords& coords, Saddle saddle, Scratch& s, Lines<T>& out)
        : v_(v), level_(level), coords_(coords), saddle_(saddle), g_(s.g), above_(s.above.data()),
          unusable_(s.anyUnusable ? s.unusable.data() : nullptr), hvisit_(s.hvisit.data()),
          vvisit_(s.vvisit.data()), out_(out), normals_{v, coords, unusable_, s.g} {}

    // Every line with its first cell in cell rows y0 .. y1 - 1.
    void Run(std::ptrdiff_t y0, std::ptrdiff_t y1) {
        y0_ = y0;
        y1_ = y1;
        const std::ptrdiff_t lastWord = (g_.nx - 2) / kWordBits;
        for (std::ptrdiff_t y = y0; y < y1; ++y) {
            for (std::ptrdiff_t w = 0; w <= lastWord; ++w) {
                const CellCorners c = CornersOf(above_, g_, w, y);
                std::uint32_t m = c.Mixed() & ExistingCells(g_, w);
                if (m == 0) continue;
                if (unusable_) m &= ~CornersOf(unusable_, g_, w, y).Any();
                for (; m != 0; m &= m - 1) {
                    const int b = __builtin_ctz(m);
                    const std::ptrdiff_t x = w * kWordBits + b;
                    const unsigned k = ((c.c0 >> b) & 1u) | ((c.c1 >> b) & 1u) << 1 |
                                       ((c.c3 >> b) & 1u) << 2 | ((c.c2 >> b) & 1u) << 3;
                    for (unsigned in = kCases.entries[k]; in != 0; in &= in - 1) {
                        const int e = __builtin_ctz(in);
                        if (!Visited(e, x, y)) Trace(x, y, e);
                    }
                }
            }
        }
    }

private:
    unsigned Case(std::ptrdiff_t x, std::ptrdiff_t y) const {
        return Pair(above_, g_, x, y) | Pair(above_, g_, x, y + 1) << 2;
    }
    bool Inside(std::ptrdiff_t x, std::ptrdiff_t y) const {
        if (x < 0 || y < y0_ || x > g_.nx - 2 || y >= y1_) return false;
        return !unusable_ || (Pair(unusable_, g_, x, y) | Pair(unusable_, g_, x, y + 1)) == 0;
    }
    int JoinOf(unsigned k, std::ptrdiff_t x, std::ptrdiff_t y) const {
        if (!IsSaddle(k) || saddle_ == Saddle::Above) return kJoinAbove;
        if (saddle_ == Saddle::Below) return kJoinBelow;
        const T mean = (v_(x, y) + v_(x + 1, y) + v_(x + 1, y + 1) + v_(x, y + 1)) / T(4);
        return mean > level_ ? kJoinAbove : kJoinBelow;
    }
    std::uint32_t* VisitBits(int e) const { return Horizontal(e) ? hvisit_ : vvisit_; }
    bool Visited(int e, std::ptrdiff_t x, std::ptrdiff_t y) const {
        return Bit(VisitBits(e), g_, x + EdgeDx(e), y + EdgeDy(e));
    }
    bool Visit(int e, std::ptrdiff_t x, std::ptrdiff_t y) {
        return TestAndSet(VisitBits(e), g_, x + EdgeDx(e), y + EdgeDy(e));
    }

    // Appends the crossing on edge e of cell (x, y), unless it repeats the point before.
    void Emit(int e, std::ptrdiff_t x, std::ptrdiff_t y) {
        const std::ptrdiff_t i = x + EdgeDx(e), j = y + EdgeDy(e);
        const bool h = Horizontal(e);
        const T a = v_(i, j), b = h ? v_(i + 1, j) : v_(i, j + 1);
        const T s = CrossingFraction(a, b, level_);
        const Point<T> p = h ? coords_.OnH(i, j, s) : coords_.OnV(i, j, s);
        if (p == last_) return;
        last_ = p;
        out_.points.push_back(p);
        if constexpr (kNormals)
            out_.normals.push_back(normals_.At(i, j, h ? 1 : 0, h ? 0 : 1, s, a > level_));
    }

    void Trace(std::ptrdiff_t x0, std::ptrdiff_t y0, int e0) {
        std::vector<Point<T>>& pts = out_.points;
        const std::size_t first = pts.size();
        Visit(e0, x0, y0);
        EmitFirst(e0, x0, y0);
        bool closed = false;
        std::ptrdiff_t x = x0, y = y0;
        int e = e0;
        for (;;) {
            const unsigned k = Case(x, y);
            const int ex = kCases.exit[JoinOf(k, x, y)][k][e];
            if (Visit(ex, x, y)) { // back at the start: the only crossed edge seen before
                closed = true;
                break;
            }
            Emit(ex, x, y);
            x += StepX(ex);
            y += StepY(ex);
            e = (ex + 2) & 3;
            if (!Inside(x, y)) break;
        }
        if (closed) {
            if (!(pts.back() == pts[first])) {
                pts.push_back(pts[first]);
                if constexpr (kNormals) out_.normals.push_back(out_.normals[first]);
            }
        } else {
            TraceBack(x0, y0, e0, first);
        }
        if (pts.size() - first < 2) { // everything fell on one point
            pts.resize(first);
            if constexpr (kNormals) out_.normals.resize(first);
            return;
        }
        out_.offsets.push_back(std::int64_t(pts.size()));
        out_.closed.push_back(closed ? 1 : 0);
    }

    void EmitFirst(int e, std::ptrdiff_t x, std::ptrdiff_t y) {
        const std::ptrdiff_t i = x + EdgeDx(e), j = y + EdgeDy(e);
        const bool h = Horizontal(e);
        const T a = v_(i, j), b = h ? v_(i + 1, j) : v_(i, j + 1);
        const T s = CrossingFraction(a, b, level_);
        last_ = h ? coords_.OnH(i, j, s) : coords_.OnV(i, j, s);
        out_.points.push_back(last_);
        if constexpr (kNormals)
            out_.normals.push_back(normals_.At(i, j, h ? 1 : 0, h ? 0 : 1, s, a > level_));
    }

    // An open line found in its middle: the part before its first cell, walked backwards from
    // that cell's entry and put in front.
    void TraceBack(std::ptrdiff_t x, std::ptrdiff_t y, int e, std::size_t first) {
        std::vector<Point<T>>& pts = out_.points;
        const std::size_t mid = pts.size();
        last_ = pts[first];
        x += StepX(e);
        y += StepY(e);
        int ex = (e + 2) & 3;
        while (Inside(x, y)) {
            const unsigned k = Case(x, y);
            const int en = kCases.entry[JoinOf(k, x, y)][k][ex];
            if (Visit(en, x, y)) break; // cannot happen on a consistent grid; stops regardless
            Emit(en, x, y);
            x += StepX(en);
            y += StepY(en);
            ex = (en + 2) & 3;
        }
        if (pts.size() == mid) return;
        // [forward | backward] becomes [backward reversed | forward].
        const std::ptrdiff_t back = std::ptrdiff_t(pts.size() - mid);
        std::reverse(pts.begin() + std::ptrdiff_t(first), pts.end());
        std::reverse(pts.begin() + std::ptrdiff_t(first) + back, pts.end());
        if constexpr (kNormals) {
            auto& nrm = out_.normals;
            std::reverse(nrm.begin() + std::ptrdiff_t(first), nrm.end());
            std::reverse(nrm.begin() + std::ptrdiff_t(first) + back, nrm.end());
        }
    }

    View<T> v_;
    T level_;
    Coords coords_;
    Saddle saddle_;
    BitGrid g_;
    const std::uint32_t* above_;
    const std::uint32_t* unusable_;
    std::uint32_t* hvisit_;
    std::uint32_t* vvisit_;
    Lines<T>& out_;
    Normals<T, Coords> normals_;
    std::ptrdiff_t y0_ = 0, y1_ = 0;
    Point<T> last_{};
};

template <class T> void Clear(Lines<T>& out) {
    out.points.clear();
    out.normals.clear();
    out.offsets.assign(1, 0);
    out.closed.clear();
    out.levelOffsets.assign(1, 0);
}

template <class T, class Coords>
void RunLevels(View<T> values, std::span<const T> levels, const Options<T>& options,
               const Coords& coords, Lines<T>& out) {
    Scratch s;
    s.g = BitGrid::Of(values.nx, values.ny);
    const std::ptrdiff_t ny = values.ny;
    s.above.resize(s.g.Size());
    s.unusable.resize(s.g.Size());
    s.hvisit.resize(s.g.Size());
    s.vvisit.resize(s.g.Size());
    for (std::size_t m = 0; m < levels.size(); ++m) {
        const T level = levels[m];
        if (m == 0) {
            s.anyUnusable =
                ClassifyRows(values, level, s.g, 0, ny, s.above.data(), s.unusable.data());
            if (options.mask.Present()) {
                MarkMasked(options.mask, s.g, 0, ny, s.unusable.data());
                s.anyUnusable = true;
            }
            if (!s.anyUnusable) std::vector<std::uint32_t>().swap(s.unusable);
        } else {
            ClassifyRows(values, level, s.g, 0, ny, s.above.data(), nullptr);
        }
        std::fill(s.hvisit.begin(), s.hvisit.end(), 0u);
        std::fill(s.vvisit.begin(), s.vvisit.end(), 0u);
        if (options.normals) {
            Tracer<T, Coords, true>(values, level, coords, options.saddle, s, out).Run(0, ny - 1);
        } else {
            Tracer<T, Coords, false>(values, level, coords, options.saddle, s, out).Run(0, ny - 1);
        }
        out.levelOffsets.push_back(std::int64_t(out.closed.size()));
    }
}

} // namespace
} // namespace detail

template <class T>
void ContourLines(View<T> values, std::span<const T> levels, const Options<T>& options,
                  Lines<T>& out) {
    using namespace detail;
    CheckLevels(levels);
    const CoordKind kind = CheckArguments(values, options);
    Clear(out);
    if (!HasCells(values)) {
        out.levelOffsets.assign(levels.size() + 1, 0);
        return;
    }
    switch (kind) {
    case CoordKind::Grid:
        RunLevels(values, levels, options, GridCoords<T>{}, out);
        break;
    case CoordKind::Rectilinear:
        RunLevels(values, levels, options, RectilinearCoords<T>{options.x, options.y}, out);
        break;
    case CoordKind::Curvilinear:
        RunLevels(values, levels, options, CurvilinearCoords<T>{options.x, options.y}, out);
        break;
    }
}

template <class T>
void ContourLines(View<T> values, T level, const Options<T>& options, Lines<T>& out) {
    ContourLines(values, std::span<const T>(&level, 1), options, out);
}

template <class T>
Lines<T> ContourLines(View<T> values, std::span<const T> levels, const Options<T>& options) {
    Lines<T> out;
    ContourLines(values, levels, options, out);
    return out;
}

template <class T> Lines<T> ContourLines(View<T> values, T level, const Options<T>& options) {
    Lines<T> out;
    ContourLines(values, std::span<const T>(&level, 1), options, out);
    return out;
}

template <class T> std::vector<std::vector<Point<T>>> SplitLines(const Lines<T>& lines) {
    std::vector<std::vector<Point<T>>> split(lines.LineCount());
    for (std::size_t k = 0; k < split.size(); ++k) {
        const auto line = lines.Line(k);
        split[k].assign(line.begin(), line.end());
    }
    return split;
}

#define CONTOUR_LINES_FOR(T)                                                                       \
    template Lines<T> ContourLines(View<T>, T, const Options<T>&);                                 \
    template Lines<T> ContourLines(View<T>, std::span<const T>, const Options<T>&);                \
    template void ContourLines(View<T>, T, const Options<T>&, Lines<T>&);                          \
    template void ContourLines(View<T>, std::span<const T>, const Options<T>&, Lines<T>&);         \
    template std::vector<std::vector<Point<T>>> SplitLines(const Lines<T>&);
CONTOUR_LINES_FOR(float)
CONTOUR_LINES_FOR(double)
#undef CONTOUR_LINES_FOR

} // namespace contour
