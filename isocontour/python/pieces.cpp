#include "python/pieces.h"

#include "python/numpy_output.h"
#include "python/results.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

namespace isocontour::python {

namespace {

// Every vector of the library's structs, by the name it has in a pickle. One list serves the
// pickle, the load, the size and the splits, so that a field added to the library is added once.
template <class P, class F> void LineFields(P& p, F&& f) {
    f("points", p.points);
    f("normals", p.normals);
    f("offsets", p.offsets);
    f("closed", p.closed);
    f("level", p.level);
    f("order", p.order);
    f("piece_points", p.piecePoints);
    f("piece_normals", p.pieceNormals);
    f("piece_keys", p.pieceKeys);
    f("piece_offsets", p.pieceOffsets);
    f("piece_level", p.pieceLevel);
}

template <class P, class F> void PolygonFields(P& p, F&& f) {
    f("lower", p.lower);
    f("upper", p.upper);
    f("cover", p.cover);
    f("points", p.points);
    f("ring_grid", p.ringGrid);
    f("ring_offsets", p.ringOffsets);
    f("grid_offsets", p.gridOffsets);
    f("ring_area", p.ringArea);
    f("ring_band", p.ringBand);
    f("ring_split", p.ringSplit);
    f("ring_order", p.ringOrder);
    f("ring_owner", p.ringOwner);
    f("piece_from", p.pieceFrom);
    f("piece_grid", p.pieceGrid);
    f("piece_key", p.pieceKey);
    f("piece_vertex", p.pieceVertex);
    f("piece_next", p.pieceNext);
    f("piece_band", p.pieceBand);
    f("seam_edge", p.seamEdge);
    f("seam_piece", p.seamPiece);
    f("seam_level", p.seamLevel);
    f("seam_out", p.seamOut);
    f("vertex_key", p.vertexKey);
    f("vertex_piece", p.vertexPiece);
    f("vertex_at", p.vertexAt);
    f("vertex_far", p.vertexFar);
    f("vertex_out", p.vertexOut);
}

template <class E> struct Element {
    using Scalar = E;
    static constexpr int kColumns = 1;
};
template <class T> struct Element<Point<T>> {
    using Scalar = T;
    static constexpr int kColumns = 2;
};

template <class E> py::array ArrayOf(const std::vector<E>& v) {
    if constexpr (Element<E>::kColumns == 2) {
        return AdoptPoints(std::vector<E>(v));
    } else {
        return AdoptVector(std::vector<E>(v));
    }
}

[[noreturn]] void NotPieces(const std::string& what) {
    throw py::value_error("not pieces of isocontour windows: " + what);
}

// A vector from a pickled array of exactly its element's kind and width (shape (n, 2) for
// points): the pickle is the library's own, so anything else is refused, never converted.
template <class E> void Load(const py::dict& state, const char* name, std::vector<E>& v) {
    using S = typename Element<E>::Scalar;
    if (!state.contains(name)) NotPieces(std::string("no ") + name);
    const py::array a = py::array::ensure(state[name], py::array::c_style);
    const py::dtype want = py::dtype::of<S>();
    if (!a || a.dtype().kind() != want.kind() || a.itemsize() != want.itemsize() ||
        a.ndim() != (Element<E>::kColumns == 2 ? 2 : 1) ||
        (Element<E>::kColumns == 2 && a.shape(1) != 2)) {
        PyErr_Clear();
        NotPieces(std::string(name) + " is not an array of the pieces' layout");
    }
    const auto n = std::size_t(a.shape(0));
    v.resize(n);
    if (n > 0) std::memcpy(static_cast<void*>(v.data()), a.data(), n * sizeof(E));
}

template <class E> std::size_t BytesOf(const std::vector<E>& v) { return v.size() * sizeof(E); }

// Offsets into `count` items: `entries` + 1 of them from 0 to count, never falling (rising at
// every step when `strictly`).
template <class I>
void CheckOffsets(const std::vector<I>& o, std::size_t entries, std::size_t count, const char* name,
                  bool strictly = false) {
    bool ok = o.size() == entries + 1 && o.front() == 0 && std::size_t(o.back()) == count;
    for (std::size_t k = 1; ok && k < o.size(); ++k)
        ok = strictly ? o[k] > o[k - 1] : o[k] >= o[k - 1];
    if (!ok) NotPieces(std::string(name) + " are not offsets into their items");
}

template <class I>
void CheckIndices(const std::vector<I>& v, std::int64_t first, std::size_t end, const char* name) {
    for (const I i : v)
        if (std::int64_t(i) < first || (std::int64_t(i) >= 0 && std::size_t(i) >= end))
            NotPieces(std::string(name) + " has an index out of range");
}

void CheckSize(std::size_t size, std::size_t want, const char* name) {
    if (size != want) NotPieces(std::string(name) + " has the wrong length");
}

// Everything the joins and the finish index is in range, so that pieces from a pickle never
// make the library read outside their vectors.
template <class T> void Check(const LinePieces<T>& p) {
    const std::size_t lines = p.closed.size(), pieces = p.pieceLevel.size();
    CheckOffsets(p.offsets, lines, p.points.size(), "offsets");
    if (!p.normals.empty()) CheckSize(p.normals.size(), p.points.size(), "normals");
    CheckSize(p.level.size(), lines, "level");
    CheckSize(p.order.size(), lines, "order");
    CheckIndices(p.level, 0, p.levels, "level");
    CheckOffsets(p.pieceOffsets, pieces, p.pieceKeys.size(), "piece_offsets", true);
    CheckSize(p.piecePoints.size(), p.pieceKeys.size(), "piece_points");
    if (!p.pieceNormals.empty()) CheckSize(p.pieceNormals.size(), p.pieceKeys.size(), "normals");
    CheckIndices(p.pieceLevel, 0, p.levels, "piece_level");
}

template <class T> void Check(const PolygonPieces<T>& p) {
    const std::size_t bands = p.lower.size(), rings = p.ringBand.size(),
                      pieces = p.pieceBand.size();
    if (p.gridNx < 0 || p.gridNy < 0) NotPieces("negative grid extents");
    CheckSize(p.upper.size(), bands, "upper");
    if (p.cover.size() % 4 != 0) NotPieces("cover is not four numbers per window");
    CheckOffsets(p.ringOffsets, rings, p.points.size(), "ring_offsets");
    CheckOffsets(p.gridOffsets, rings, p.ringGrid.size(), "grid_offsets");
    CheckSize(p.ringSplit.size(), rings, "ring_split");
    CheckSize(p.ringArea.size(), rings, "ring_area");
    CheckSize(p.ringOrder.size(), rings, "ring_order");
    CheckSize(p.ringOwner.size(), rings, "ring_owner");
    CheckIndices(p.ringBand, 0, bands, "ring_band");
    CheckIndices(p.ringOwner, -1, rings, "ring_owner");
    CheckSize(p.pieceFrom.size(), pieces, "piece_from");
    CheckSize(p.pieceGrid.size(), pieces, "piece_grid");
    CheckSize(p.pieceKey.size(), pieces, "piece_key");
    CheckSize(p.pieceVertex.size(), pieces, "piece_vertex");
    CheckSize(p.pieceNext.size(), pieces, "piece_next");
    CheckIndices(p.pieceNext, -1, pieces, "piece_next");
    CheckIndices(p.pieceBand, 0, bands, "piece_band");
    const std::size_t seams = p.seamEdge.size(), vertices = p.vertexKey.size();
    CheckSize(p.seamPiece.size(), seams, "seam_piece");
    CheckSize(p.seamLevel.size(), seams, "seam_level");
    CheckSize(p.seamOut.size(), seams, "seam_out");
    CheckIndices(p.seamPiece, 0, pieces, "seam_piece");
    CheckSize(p.vertexPiece.size(), vertices, "vertex_piece");
    CheckSize(p.vertexAt.size(), vertices, "vertex_at");
    CheckSize(p.vertexFar.size(), vertices, "vertex_far");
    CheckSize(p.vertexOut.size(), vertices, "vertex_out");
    CheckIndices(p.vertexPiece, 0, pieces, "vertex_piece");
}

template <class T> const char* TypeName() {
    return std::is_same_v<T, float> ? "float32" : "float64";
}

// The pickle's header: which library wrote it, and in which value type. Pieces are an exchange
// between the processes of one computation, so another version's pieces are refused whole
// rather than read field by field.
template <class T> py::dict Header(const char* kind) {
    py::dict d;
    d["kind"] = kind;
    d["version"] = ISOCONTOUR_VERSION;
    d["type"] = TypeName<T>();
    return d;
}

// Runs `load(T{})` in the value type the pickle `state` of `kind` names.
template <class Load> auto FromHeader(const py::dict& state, const char* kind, Load&& load) {
    const auto text = [&](const char* key) {
        return state.contains(key) ? std::string(py::str(state[key])) : std::string();
    };
    if (text("kind") != kind) NotPieces(std::string("not a pickled isocontour.") + kind);
    if (text("version") != ISOCONTOUR_VERSION)
        NotPieces("pickled by isocontour " + text("version") + ", read by " + ISOCONTOUR_VERSION +
                  ": every process must run the same version");
    const std::string type = text("type");
    if (type == "float32") return load(float{});
    if (type == "float64") return load(double{});
    NotPieces("unknown value type '" + type + "'");
}

template <class T> bool SameValues(const py::array& a, const py::array& b) {
    if (a.ndim() != 1 || b.ndim() != 1 || a.shape(0) != b.shape(0)) return false;
    const auto* x = static_cast<const T*>(a.data());
    const auto* y = static_cast<const T*>(b.data());
    for (py::ssize_t k = 0; k < a.shape(0); ++k)
        if (!(x[k] == y[k])) return false;
    return true;
}

template <class T> bool SameValues(const std::vector<T>& a, const std::vector<T>& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t k = 0; k < a.size(); ++k)
        if (!(a[k] == b[k]) && !(a[k] != a[k] && b[k] != b[k])) return false;
    return true;
}

// The parts of a join as the one type they must share, each held for the length of the join.
template <class R> std::vector<py::object> Parts(const py::sequence& parts, const char* what) {
    std::vector<py::object> held;
    for (py::handle part : parts) {
        if (!py::isinstance<R>(part))
            throw py::type_error(std::string("can only join isocontour.") + what + ", not " +
                                 std::string(py::str(py::type::handle_of(part).attr("__name__"))));
        held.push_back(py::reinterpret_borrow<py::object>(part));
    }
    if (held.empty())
        throw isocontour::Error(std::string("nothing to join: give the ") + what +
                                " of at least one window");
    for (const py::object& part : held)
        if (part.cast<const R&>().pieces.index() != held[0].cast<const R&>().pieces.index())
            throw isocontour::Error("float32 and float64 pieces cannot be joined");
    return held;
}

} // namespace

std::size_t LinePiecesResult::LineCount() const {
    return std::visit([](const auto& p) { return p.LineCount(); }, pieces);
}

std::size_t LinePiecesResult::PieceCount() const {
    return std::visit([](const auto& p) { return p.PieceCount(); }, pieces);
}

std::size_t LinePiecesResult::Bytes() const {
    std::size_t bytes = std::size_t(levels.nbytes());
    std::visit(
        [&](const auto& p) {
            LineFields(p, [&](const char*, const auto& v) { bytes += BytesOf(v); });
        },
        pieces);
    return bytes;
}

LinePiecesResult LinePiecesResult::Whole() const {
    return {std::visit(
                [](const auto& p) -> decltype(pieces) {
                    std::decay_t<decltype(p)> whole;
                    whole.levels = p.levels;
                    whole.points = p.points;
                    whole.normals = p.normals;
                    whole.offsets = p.offsets;
                    whole.closed = p.closed;
                    whole.level = p.level;
                    whole.order = p.order;
                    return whole;
                },
                pieces),
            levels, normals};
}

LinePiecesResult LinePiecesResult::Pieces() const {
    return {std::visit(
                [](const auto& p) -> decltype(pieces) {
                    std::decay_t<decltype(p)> open;
                    open.levels = p.levels;
                    open.piecePoints = p.piecePoints;
                    open.pieceNormals = p.pieceNormals;
                    open.pieceKeys = p.pieceKeys;
                    open.pieceOffsets = p.pieceOffsets;
                    open.pieceLevel = p.pieceLevel;
                    return open;
                },
                pieces),
            levels, normals};
}

py::dict LinePiecesResult::State() const {
    return std::visit(
        [&](const auto& p) {
            using T = decltype(p.points[0].x);
            py::dict d = Header<T>("LinePieces");
            d["levels"] = levels;
            d["with_normals"] = normals;
            LineFields(p, [&](const char* name, const auto& v) { d[name] = ArrayOf(v); });
            return d;
        },
        pieces);
}

LinePiecesResult LinePiecesResult::FromState(const py::dict& state) {
    return FromHeader(state, "LinePieces", [&](auto type) {
        using T = decltype(type);
        LinePiecesResult r;
        LinePieces<T> p;
        LineFields(p, [&](const char* name, auto& v) { Load(state, name, v); });
        std::vector<T> levels;
        Load(state, "levels", levels);
        p.levels = levels.size();
        if (!state.contains("with_normals")) NotPieces("no with_normals");
        r.normals = state["with_normals"].cast<bool>();
        Check(p);
        r.levels = AdoptVector(std::move(levels));
        r.pieces = std::move(p);
        return r;
    });
}

std::size_t PolygonPiecesResult::RingCount() const {
    return std::visit([](const auto& p) { return p.RingCount(); }, pieces);
}

std::size_t PolygonPiecesResult::PieceCount() const {
    return std::visit([](const auto& p) { return p.PieceCount(); }, pieces);
}

std::size_t PolygonPiecesResult::Bytes() const {
    std::size_t bytes = 0;
    std::visit(
        [&](const auto& p) {
            PolygonFields(p, [&](const char*, const auto& v) { bytes += BytesOf(v); });
        },
        pieces);
    return bytes;
}

PolygonPiecesResult PolygonPiecesResult::Whole() const {
    return {std::visit(
        [](const auto& p) -> decltype(pieces) {
            std::decay_t<decltype(p)> whole;
            whole.gridNx = p.gridNx, whole.gridNy = p.gridNy;
            whole.lower = p.lower;
            whole.upper = p.upper;
            whole.points = p.points;
            whole.ringGrid = p.ringGrid;
            whole.ringOffsets = p.ringOffsets;
            whole.gridOffsets = p.gridOffsets;
            whole.ringArea = p.ringArea;
            whole.ringBand = p.ringBand;
            whole.ringSplit = p.ringSplit;
            whole.ringOrder = p.ringOrder;
            whole.ringOwner = p.ringOwner;
            return whole;
        },
        pieces)};
}

PolygonPiecesResult PolygonPiecesResult::Pieces() const {
    return {std::visit(
        [](const auto& p) -> decltype(pieces) {
            std::decay_t<decltype(p)> open;
            open.gridNx = p.gridNx, open.gridNy = p.gridNy;
            open.lower = p.lower;
            open.upper = p.upper;
            // The windows' cells go with the pieces: a join links the pieces at a vertex once
            // every cell around it is among the joined windows.
            open.cover = p.cover;
            open.pieceFrom = p.pieceFrom;
            open.pieceGrid = p.pieceGrid;
            open.pieceKey = p.pieceKey;
            open.pieceVertex = p.pieceVertex;
            open.pieceNext = p.pieceNext;
            open.pieceBand = p.pieceBand;
            open.seamEdge = p.seamEdge;
            open.seamPiece = p.seamPiece;
            open.seamLevel = p.seamLevel;
            open.seamOut = p.seamOut;
            open.vertexKey = p.vertexKey;
            open.vertexPiece = p.vertexPiece;
            open.vertexAt = p.vertexAt;
            open.vertexFar = p.vertexFar;
            open.vertexOut = p.vertexOut;
            return open;
        },
        pieces)};
}

py::dict PolygonPiecesResult::State() const {
    return std::visit(
        [&](const auto& p) {
            using T = decltype(p.points[0].x);
            py::dict d = Header<T>("PolygonPieces");
            d["grid"] = py::make_tuple(p.gridNx, p.gridNy);
            PolygonFields(p, [&](const char* name, const auto& v) { d[name] = ArrayOf(v); });
            return d;
        },
        pieces);
}

PolygonPiecesResult PolygonPiecesResult::FromState(const py::dict& state) {
    return FromHeader(state, "PolygonPieces", [&](auto type) {
        using T = decltype(type);
        PolygonPieces<T> p;
        PolygonFields(p, [&](const char* name, auto& v) { Load(state, name, v); });
        if (!state.contains("grid")) NotPieces("no grid");
        const auto grid = state["grid"].cast<std::pair<std::ptrdiff_t, std::ptrdiff_t>>();
        p.gridNx = grid.first, p.gridNy = grid.second;
        Check(p);
        return PolygonPiecesResult{std::move(p)};
    });
}

LinePiecesResult JoinLinePieces(const py::sequence& parts) {
    const std::vector<py::object> held = Parts<LinePiecesResult>(parts, "LinePieces");
    const auto& first = held[0].cast<const LinePiecesResult&>();
    return std::visit(
        [&](const auto& p0) {
            using P = std::decay_t<decltype(p0)>;
            using T = decltype(p0.points[0].x);
            std::vector<const P*> from;
            for (const py::object& part : held) {
                const auto& r = part.cast<const LinePiecesResult&>();
                if (!SameValues<T>(r.levels, first.levels))
                    throw isocontour::Error("lines of different levels cannot be joined");
                if (r.normals != first.normals)
                    throw isocontour::Error(
                        "lines with normals and lines without cannot be joined");
                from.push_back(&std::get<P>(r.pieces));
            }
            LinePiecesResult out{P{}, first.levels, first.normals};
            {
                py::gil_scoped_release unlocked;
                out.pieces = JoinLines(std::span<const P* const>(from));
            }
            return out;
        },
        first.pieces);
}

PolygonPiecesResult JoinPolygonPieces(const py::sequence& parts) {
    const std::vector<py::object> held = Parts<PolygonPiecesResult>(parts, "PolygonPieces");
    const auto& first = held[0].cast<const PolygonPiecesResult&>();
    return std::visit(
        [&](const auto& p0) {
            using P = std::decay_t<decltype(p0)>;
            std::vector<const P*> from;
            for (const py::object& part : held) {
                const P& p = std::get<P>(part.cast<const PolygonPiecesResult&>().pieces);
                if (!SameValues(p.lower, p0.lower) || !SameValues(p.upper, p0.upper))
                    throw isocontour::Error("bands of different levels cannot be joined");
                from.push_back(&p);
            }
            PolygonPiecesResult out{P{}};
            {
                py::gil_scoped_release unlocked;
                out.pieces = JoinPolygons(std::span<const P* const>(from));
            }
            return out;
        },
        first.pieces);
}

LinesResult FinishLinePieces(const LinePiecesResult& joined) {
    return std::visit(
        [&](const auto& p) {
            using T = decltype(p.points[0].x);
            Lines<T> lines;
            {
                py::gil_scoped_release unlocked;
                lines = FinishLines(p);
            }
            // The levels are copied so that the result never aliases the pieces' array.
            const auto* at = static_cast<const T*>(joined.levels.data());
            return Wrap(std::move(lines),
                        AdoptVector(std::vector<T>(at, at + joined.levels.shape(0))),
                        joined.normals);
        },
        joined.pieces);
}

BandsResult FinishPolygonPieces(const PolygonPiecesResult& joined) {
    return std::visit(
        [&](const auto& p) {
            using T = decltype(p.points[0].x);
            Bands<T> bands;
            {
                py::gil_scoped_release unlocked;
                bands = FinishPolygons(p);
            }
            return Wrap(std::move(bands));
        },
        joined.pieces);
}

} // namespace isocontour::python
