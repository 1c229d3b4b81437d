// Lines of the windows of a grid: whole lines written as the whole grid's call writes them, and
// pieces joined across the windows' borders by the crossings they share, whose numbers in the
// grid's order both windows know (each has a halo of the other's nodes).
#include "line_pieces.h"

#include <algorithm>
#include <numeric>
#include <string>
#include <tuple>
#include <unordered_map>
#include <vector>

#include "checks.h"
#include "pages.h"
#include "value_types.h"

namespace isocontour {
namespace detail {
namespace {

constexpr std::uint64_t Number(std::uint64_t key) { return key & ~Frame::kMarks; }

// Appends the whole line through crossings [0, n) as WriteLines does: from the lowest-numbered
// crossing when closed, without a crossing that may repeat and equals the last one kept, with
// the first point again at the end of a closed line, and not at all when fewer than two points
// are left.
template <class T>
void AppendWhole(const Point<T>* p, const Point<T>* nrm, const std::uint64_t* key, std::size_t n,
                 bool closed, std::uint32_t level, LinePieces<T>& out) {
    if (n == 0) return;
    std::size_t start = 0;
    if (closed)
        for (std::size_t i = 1; i < n; ++i)
            if (Number(key[i]) < Number(key[start])) start = i;
    const auto same = [&](std::size_t i, std::size_t j) {
        return (key[i] & key[j] & Frame::kMayRepeat) && p[i] == p[j];
    };
    const std::size_t first = out.points.size();
    const auto put = [&](std::size_t i) {
        out.points.push_back(p[i]);
        if (nrm) out.normals.push_back(nrm[i]);
    };
    put(start);
    std::size_t last = start;
    for (std::size_t step = 1; step < n; ++step) {
        const std::size_t i = closed ? (start + step) % n : step;
        if (same(i, last)) continue;
        put(i);
        last = i;
    }
    if (closed && !same(last, start)) put(start);
    if (out.points.size() - first < 2) {
        out.points.resize(first);
        if (nrm) out.normals.resize(first);
        return;
    }
    out.offsets.push_back(std::int64_t(out.points.size()));
    out.closed.push_back(closed ? 1 : 0);
    out.level.push_back(level);
    out.order.push_back(Number(key[start]));
}

template <class T>
void AppendPiece(const LineCrossings<T>& line, std::uint32_t level, LinePieces<T>& out) {
    out.piecePoints.insert(out.piecePoints.end(), line.points.begin(), line.points.end());
    out.pieceNormals.insert(out.pieceNormals.end(), line.normals.begin(), line.normals.end());
    out.pieceKeys.insert(out.pieceKeys.end(), line.keys.begin(), line.keys.end());
    out.pieceOffsets.push_back(std::int64_t(out.pieceKeys.size()));
    out.pieceLevel.push_back(level);
}

} // namespace

Frame FrameOf(const Window& w, std::ptrdiff_t nx, std::ptrdiff_t ny) {
    const auto refuse = [](const std::string& what) { throw Error("window: " + what); };
    if (w.gridNx < 0 || w.gridNy < 0) refuse("the grid's extents are negative");
    if (w.x0 < 0 || w.y0 < 0 || w.x0 + nx > w.gridNx || w.y0 + ny > w.gridNy)
        refuse("the view's nodes (" + std::to_string(w.x0) + ", " + std::to_string(w.y0) + ") + " +
               std::to_string(nx) + " x " + std::to_string(ny) + " are not all in the grid of " +
               std::to_string(w.gridNx) + " x " + std::to_string(w.gridNy));
    if (w.cellX0 < 0 || w.cellY0 < 0 || w.cellX0 > w.cellX1 || w.cellY0 > w.cellY1 ||
        w.cellX1 > std::max<std::ptrdiff_t>(w.gridNx - 1, 0) ||
        w.cellY1 > std::max<std::ptrdiff_t>(w.gridNy - 1, 0))
        refuse("its cells are not a range of the grid's cells");
    Frame f;
    f.below = w.cellY0 > 0;
    f.left = w.cellX0 > 0;
    f.above = w.cellY1 < w.gridNy - 1;
    f.right = w.cellX1 < w.gridNx - 1;
    if (w.cellX1 > w.cellX0 && w.cellY1 > w.cellY0 &&
        (w.cellX0 - f.left < w.x0 || w.cellY0 - f.below < w.y0 ||
         w.cellX1 + f.right > w.x0 + nx - 1 || w.cellY1 + f.above > w.y0 + ny - 1))
        refuse("the view must hold the cells' nodes and one more on each side where the grid "
               "goes on");
    f.cx0 = w.cellX0 - w.x0;
    f.cx1 = w.cellX1 - w.x0;
    f.cy0 = w.cellY0 - w.y0;
    f.cy1 = w.cellY1 - w.y0;
    f.gx = w.x0;
    f.gy = w.y0;
    f.gridCellsX = std::max<std::ptrdiff_t>(w.gridNx - 1, 1);
    return f;
}

template <class T>
void AddLine(const LineCrossings<T>& line, bool closed, std::uint32_t level, LinePieces<T>& out) {
    const bool goesOn = (line.keys.front() | line.keys.back()) & Frame::kGoesOn;
    ISOCONTOUR_CHECK(!closed || !goesOn, "a line closed in a window stays in it");
    if (goesOn)
        AppendPiece(line, level, out);
    else
        AppendWhole(line.points.data(), line.normals.empty() ? nullptr : line.normals.data(),
                    line.keys.data(), line.keys.size(), closed, level, out);
}

} // namespace detail

template <class T> LinePieces<T> JoinLines(std::span<const LinePieces<T>* const> parts) {
    using namespace detail;
    LinePieces<T> out;
    if (parts.empty()) return out;
    out.levels = parts[0]->levels;
    bool normals = false;
    // Room, on large pages before anything is written, for every point the parts hold in the
    // whole lines, and for every piece's point in the pieces still open.
    std::size_t whole = 0, open = 0;
    for (const LinePieces<T>* q : parts) {
        whole += q->points.size();
        open += q->piecePoints.size();
        normals = normals || !q->normals.empty() || !q->pieceNormals.empty();
    }
    ReserveLarge(out.points, whole + open);
    ReserveLarge(out.piecePoints, open);
    ReserveLarge(out.pieceKeys, open);
    if (normals) {
        ReserveLarge(out.normals, whole + open);
        ReserveLarge(out.pieceNormals, open);
    }
    for (const LinePieces<T>* q : parts) {
        const LinePieces<T>& p = *q;
        if (p.levels != out.levels) throw Error("lines of different level counts cannot be joined");
        const std::int64_t base = std::int64_t(out.points.size());
        out.points.insert(out.points.end(), p.points.begin(), p.points.end());
        out.normals.insert(out.normals.end(), p.normals.begin(), p.normals.end());
        for (std::size_t k = 1; k < p.offsets.size(); ++k)
            out.offsets.push_back(p.offsets[k] + base);
        out.closed.insert(out.closed.end(), p.closed.begin(), p.closed.end());
        out.level.insert(out.level.end(), p.level.begin(), p.level.end());
        out.order.insert(out.order.end(), p.order.begin(), p.order.end());
    }
    // Every piece, by part and index; where each begins and ends when it goes on there.
    struct Ref {
        const LinePieces<T>* part;
        std::size_t piece;
        std::int64_t Begin() const { return part->pieceOffsets[piece]; }
        std::int64_t End() const { return part->pieceOffsets[piece + 1]; }
        std::uint64_t Key(std::int64_t i) const { return part->pieceKeys[std::size_t(i)]; }
        std::uint32_t Level() const { return part->pieceLevel[piece]; }
    };
    std::vector<Ref> pieces;
    for (const LinePieces<T>* p : parts)
        for (std::size_t k = 0; k < p->PieceCount(); ++k)
            pieces.push_back({p, k});
    const auto at = [](std::uint32_t level, std::uint64_t key) {
        return std::pair<std::uint64_t, std::uint64_t>(level, Number(key));
    };
    struct Hash {
        std::size_t operator()(const std::pair<std::uint64_t, std::uint64_t>& k) const {
            return std::hash<std::uint64_t>()(k.second * 0x9E3779B97F4A7C15ull ^ k.first);
        }
    };
    std::unordered_map<std::pair<std::uint64_t, std::uint64_t>, std::size_t, Hash> beginsAt;
    for (std::size_t r = 0; r < pieces.size(); ++r) {
        const std::uint64_t first = pieces[r].Key(pieces[r].Begin());
        if ((first & Frame::kGoesOn) && !beginsAt.emplace(at(pieces[r].Level(), first), r).second)
            throw Error("two pieces begin at one crossing: a window's lines joined twice");
    }
    // next[r]: the piece that carries on where piece r goes on, if it is here.
    std::vector<std::int64_t> next(pieces.size(), -1), prev(pieces.size(), -1);
    for (std::size_t r = 0; r < pieces.size(); ++r) {
        const std::uint64_t last = pieces[r].Key(pieces[r].End() - 1);
        if (!(last & Frame::kGoesOn)) continue;
        const auto it = beginsAt.find(at(pieces[r].Level(), last));
        if (it == beginsAt.end()) continue;
        next[r] = std::int64_t(it->second);
        prev[it->second] = std::int64_t(r);
    }
    // Chains from each piece nothing leads to; then the cycles left.
    LineCrossings<T> line;
    std::vector<std::uint8_t> used(pieces.size(), 0);
    const auto chain = [&](std::size_t r0, bool cycle) {
        line.Clear();
        std::size_t r = r0;
        do {
            used[r] = 1;
            const Ref& p = pieces[r];
            // The crossing the previous piece ended on begins this one: taken once.
            for (std::int64_t i = p.Begin() + (r == r0 ? 0 : 1); i < p.End(); ++i) {
                line.points.push_back(p.part->piecePoints[std::size_t(i)]);
                if (normals) line.normals.push_back(p.part->pieceNormals[std::size_t(i)]);
                line.keys.push_back(p.part->pieceKeys[std::size_t(i)]);
            }
            r = next[r] >= 0 ? std::size_t(next[r]) : r0;
        } while (r != r0 && !used[r]);
        const std::uint32_t level = pieces[r0].Level();
        if (cycle) { // the first crossing came again at the end
            line.points.pop_back();
            if (normals) line.normals.pop_back();
            line.keys.pop_back();
            AppendWhole(line.points.data(), normals ? line.normals.data() : nullptr,
                        line.keys.data(), line.keys.size(), true, level, out);
        } else if ((line.keys.front() | line.keys.back()) & Frame::kGoesOn) {
            AppendPiece(line, level, out);
        } else {
            AppendWhole(line.points.data(), normals ? line.normals.data() : nullptr,
                        line.keys.data(), line.keys.size(), false, level, out);
        }
    };
    for (std::size_t r = 0; r < pieces.size(); ++r)
        if (prev[r] < 0) chain(r, false);
    for (std::size_t r = 0; r < pieces.size(); ++r)
        if (!used[r]) chain(r, true);
    return out;
}

template <class T> LinePieces<T> JoinLines(std::span<const LinePieces<T>> parts) {
    std::vector<const LinePieces<T>*> at;
    for (const LinePieces<T>& p : parts)
        at.push_back(&p);
    return JoinLines(std::span<const LinePieces<T>* const>(at));
}

template <class T> Lines<T> FinishLines(const LinePieces<T>& joined) {
    if (joined.PieceCount() > 0)
        throw Error(std::to_string(joined.PieceCount()) +
                    " pieces of lines are not joined: join the lines of every window of the grid "
                    "before finishing");
    // Level by level, open lines then closed ones, each in the grid's order.
    std::vector<std::size_t> rank(joined.LineCount());
    std::iota(rank.begin(), rank.end(), std::size_t(0));
    std::sort(rank.begin(), rank.end(), [&](std::size_t a, std::size_t b) {
        return std::tie(joined.level[a], joined.closed[a], joined.order[a]) <
               std::tie(joined.level[b], joined.closed[b], joined.order[b]);
    });
    Lines<T> out;
    detail::ReserveLarge(out.points, joined.points.size());
    if (!joined.normals.empty()) detail::ReserveLarge(out.normals, joined.normals.size());
    std::size_t k = 0;
    for (std::uint32_t l = 0; l < joined.levels; ++l) {
        for (; k < rank.size() && joined.level[rank[k]] == l; ++k) {
            const std::size_t line = rank[k];
            const auto a = joined.offsets[line], b = joined.offsets[line + 1];
            out.points.insert(out.points.end(), joined.points.begin() + a,
                              joined.points.begin() + b);
            if (!joined.normals.empty())
                out.normals.insert(out.normals.end(), joined.normals.begin() + a,
                                   joined.normals.begin() + b);
            out.offsets.push_back(std::int64_t(out.points.size()));
            out.closed.push_back(joined.closed[line]);
        }
        out.levelOffsets.push_back(std::int64_t(out.closed.size()));
    }
    ISOCONTOUR_CHECK(k == rank.size(), "every line's level is one of the call's");
    return out;
}

#define ISOCONTOUR_LINE_PIECES(T)                                                                  \
    template LinePieces<T> JoinLines(std::span<const LinePieces<T>>);                              \
    template LinePieces<T> JoinLines(std::span<const LinePieces<T>* const>);                       \
    template Lines<T> FinishLines(const LinePieces<T>&);                                           \
    namespace detail {                                                                             \
    template void AddLine(const LineCrossings<T>&, bool, std::uint32_t, LinePieces<T>&);           \
    }
ISOCONTOUR_FOR_EACH_VALUE_TYPE(ISOCONTOUR_LINE_PIECES)
#undef ISOCONTOUR_LINE_PIECES

} // namespace isocontour
