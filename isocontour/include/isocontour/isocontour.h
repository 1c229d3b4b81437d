// isocontour: contour lines and filled bands of a 2-D array of values. The library's one
// public header.
//
// Conventions
//   Values     A View<T> of float or double, read in place: value (i, j) is
//              data[i * strideX + j * strideY], i = 0 .. nx-1 along x, j = 0 .. ny-1 along y,
//              strides in elements. A numpy array z of shape (rows, cols) in C order is
//              View{z, cols, rows, 1, cols}; in Fortran order View{z, cols, rows, rows, 1}.
//   Above      A node is above level L when its value > L. A value equal to L, or NaN, is not
//              (Options::atLevel = AtLevel::Above counts a value equal to L as above it).
//   Points     In grid units (node (i, j) at (i, j)) unless x and y coordinates are given: then
//              every crossing is interpolated along its edge between the two nodes' coordinates.
//   Crossing   On the edge from node A to node B, A the node with the smaller index (i, or j):
//              s = (L - vA) / (vB - vA) in T, and the point is PA + (PB - PA) * s. An infinite
//              node counts as a very high or very low value: the crossing lands on the finite
//              node (between two infinite ones, halfway), never at NaN. An s within half a unit
//              in the last place of 1 from 0 or 1 is 0 or 1: the crossing is the node. With
//              Interpolation::Log the same rule is applied to the logarithms of L, vA and vB.
//   Lines      Higher values lie on the LEFT of every line's direction of travel (x right, y up),
//              so a closed line around a maximum runs counter-clockwise. Open lines begin and end
//              on the grid's border or beside a masked or NaN cell. Closed lines repeat their
//              first point at the end. No line has two equal consecutive points.
//   Order      Crossings are numbered in the order of the cells that first meet them: cell rows
//              from y = 0 up, each from x = 0, and in a cell its bottom, left, right, then top
//              edge. Open lines come first, in the order of their starts' numbers, then closed
//              lines, each starting at its lowest-numbered crossing, in the order of those
//              numbers; several levels come level by level.
//   Bands      The region lower < value <= upper as polygons: an outer ring, counter-clockwise,
//              then its holes, clockwise (the GeoJSON rule), valid as geometry libraries judge
//              them. Rings are closed, simple, and have no two equal consecutive points. A band's
//              boundary is made of the lines of its levels, but where a crossing lies closer to
//              a node than four units in the last place of the coordinates there: then it is the
//              node.
//   Masks      A nonzero mask entry removes its node: every cell touching it, or touching a NaN
//              value, yields nothing (with Options::cornerMask, a cell missing exactly one corner
//              yields the triangle of the other three).
//   Threads    Any thread count gives the same output, point for point and in order.
//   Errors     Bad arguments throw isocontour::Error with a one-line message; nothing is read
//              outside the views (a view that states its size is checked against it). A grid
//              smaller than 2 x 2 gives an empty result.
// The library keeps no state between calls: calls on different threads never interact.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <stdexcept>
#include <vector>

namespace isocontour {

/// Every refusal of the library (bad levels, shapes, strides or pointers), and the report of a
/// state its invariants rule out, should one ever be met: never a silent loss of data.
class Error : public std::invalid_argument {
  public:
    using std::invalid_argument::invalid_argument;
};

/// A strided 2-D array read in place (see Values above). A view with null data is "absent".
template <class T> struct View {
    const T* data = nullptr;
    std::ptrdiff_t nx = 0, ny = 0;           // extents along x and y
    std::ptrdiff_t strideX = 0, strideY = 0; // elements between neighbours along x and y
    // Elements readable from data on, when known: then every node must lie in [0, size). 0 means
    // unknown, and only offsets that overflow are refused.
    std::size_t size = 0;

    const T& operator()(std::ptrdiff_t i, std::ptrdiff_t j) const {
        return data[i * strideX + j * strideY];
    }
    bool Present() const { return data != nullptr; }
};

/// numpy's layouts: z[row][col] holds the value at x = col, y = row.
template <class T> View<T> RowMajor(const T* z, std::ptrdiff_t rows, std::ptrdiff_t cols) {
    return {z, cols, rows, 1, cols, std::size_t(rows > 0 && cols > 0 ? rows * cols : 0)};
}
template <class T> View<T> ColumnMajor(const T* z, std::ptrdiff_t rows, std::ptrdiff_t cols) {
    return {z, cols, rows, rows, 1, std::size_t(rows > 0 && cols > 0 ? rows * cols : 0)};
}

/// Which pairs of a saddle cell's crossings are joined (docs/saddles.md has the pictures).
enum class Saddle : std::uint8_t {
    Above,  // the two above corners are joined through the cell (the default)
    Below,  // the two corners not above are joined
    Centre, // the mean of the four corners decides, as a fifth node would
    // Corners (i, j) and (i + 1, j + 1) are joined, whichever side they are on: one fixed
    // diagonal, gdal_contour's choice for a raster whose rows are read as j
    Diagonal,
};

/// Which side of a level a value exactly at it lies on.
enum class AtLevel : std::uint8_t {
    Below, // a value equal to the level is not above it: bands are lower < value <= upper
    Above, // a value equal to the level is above it: bands are lower <= value < upper
};

/// How a crossing's place along its edge is found.
enum class Interpolation : std::uint8_t {
    Linear, // linearly in the values
    Log,    // linearly in their logarithms; every usable value and every level must be > 0
            // (std::log's last bit may differ between platforms' math libraries)
};

/// How to contour: coordinates, mask, saddle rule, side of a level, interpolation, corner mask,
/// normals, open bands, threads.
template <class T> struct Options {
    // Absent: grid units. Rectilinear: x has extents (nx, 1) and y (ny, 1), one coordinate per
    // column and row. Curvilinear: both have the values' extents.
    View<T> x, y;
    View<std::uint8_t> mask; // absent, or the values' extents; nonzero = masked
    Saddle saddle = Saddle::Above;
    AtLevel atLevel = AtLevel::Below;
    Interpolation interpolation = Interpolation::Linear; // Log: the centre rule takes the
                                                         // geometric mean
    // A cell with exactly one unusable (masked or NaN) corner is contoured as the triangle of its
    // other three corners, the diagonal between them a border, instead of being left out.
    bool cornerMask = false;
    bool normals = false;   // lines only: a unit normal per point, towards lower values
    bool openBands = false; // filled, many levels: add (-inf, l0] and (l_last, +inf]
    int threads = 1;        // 0: one per core
};

/// A point in grid units or in the given coordinates.
template <class T> struct Point {
    T x, y;
    friend bool operator==(const Point&, const Point&) = default;
};

/// Lines of one or more levels as flat arrays: line k is points[offsets[k] .. offsets[k+1]),
/// and level m owns lines levelOffsets[m] .. levelOffsets[m+1].
template <class T> struct Lines {
    std::vector<Point<T>> points;
    std::vector<Point<T>> normals; // one per point with Options::normals, else empty
    std::vector<std::int64_t> offsets{0};
    std::vector<std::uint8_t> closed; // one per line: 1 when its last point repeats its first
    std::vector<std::int64_t> levelOffsets{0};

    std::size_t LineCount() const { return closed.size(); }
    std::span<const Point<T>> Line(std::size_t k) const {
        return std::span(points).subspan(std::size_t(offsets[k]),
                                         std::size_t(offsets[k + 1] - offsets[k]));
    }
};

/// Filled bands as flat arrays: ring r is points[ringOffsets[r] .. ringOffsets[r+1]); polygon p
/// is rings polygonOffsets[p] .. polygonOffsets[p+1], its outer ring first; band b is polygons
/// bandOffsets[b] .. bandOffsets[b+1], between lower[b] and upper[b] (infinite for open bands).
template <class T> struct Bands {
    std::vector<Point<T>> points;
    std::vector<std::int64_t> ringOffsets{0};
    std::vector<std::int64_t> polygonOffsets{0};
    std::vector<std::int64_t> bandOffsets{0};
    std::vector<T> lower, upper;

    std::size_t PolygonCount() const { return polygonOffsets.size() - 1; }
};

/// Working memory that calls may keep between them. A call given a workspace takes what earlier
/// calls left in it; once the workspace has grown to the job, a call on one thread allocates
/// nothing but what its output needs (an output reused from an earlier call of the same size
/// needs nothing either). Calls without one make a workspace of their own. One workspace serves
/// one call at a time; it holds no results, only scratch memory.
class Workspace {
  public:
    Workspace();
    ~Workspace();
    Workspace(Workspace&&) noexcept;
    Workspace& operator=(Workspace&&) noexcept;

    struct Memory; // the library's own
    Memory& Own() { return *memory_; }

  private:
    std::unique_ptr<Memory> memory_;
};

/// The lines at one level. Throws Error for a NaN level and for bad views or options.
template <class T> Lines<T> ContourLines(View<T> values, T level, const Options<T>& options = {});
/// The lines at each level, in the order given (any order, repeats allowed), level by level.
template <class T>
Lines<T> ContourLines(View<T> values, std::span<const T> levels, const Options<T>& options = {});
/// The same into out, whose memory is reused (its contents are replaced).
template <class T>
void ContourLines(View<T> values, T level, const Options<T>& options, Lines<T>& out);
template <class T>
void ContourLines(View<T> values, std::span<const T> levels, const Options<T>& options,
                  Lines<T>& out);
/// The same with working memory kept in work between calls: in a loop over fields of one size,
/// no call after the first allocates.
template <class T>
void ContourLines(View<T> values, T level, const Options<T>& options, Lines<T>& out,
                  Workspace& work);
template <class T>
void ContourLines(View<T> values, std::span<const T> levels, const Options<T>& options,
                  Lines<T>& out, Workspace& work);

/// The band lower < value <= upper. Throws Error unless lower < upper (neither NaN).
template <class T>
Bands<T> FilledContours(View<T> values, T lower, T upper, const Options<T>& options = {});
/// Every band between consecutive levels (strictly increasing, at least two), plus the open
/// bands below the first and above the last with Options::openBands.
template <class T>
Bands<T> FilledContours(View<T> values, std::span<const T> levels, const Options<T>& options = {});
/// The same into out, whose memory is reused, with working memory kept in work between calls.
template <class T>
void FilledContours(View<T> values, T lower, T upper, const Options<T>& options, Bands<T>& out,
                    Workspace& work);
template <class T>
void FilledContours(View<T> values, std::span<const T> levels, const Options<T>& options,
                    Bands<T>& out, Workspace& work);

/// Conveniences: one vector per line, and per polygon one vector per ring.
template <class T> std::vector<std::vector<Point<T>>> SplitLines(const Lines<T>& lines);
template <class T>
std::vector<std::vector<std::vector<Point<T>>>> SplitPolygons(const Bands<T>& bands);

/// A window of a larger grid, for contouring the grid piece by piece: a raster read in strips, an
/// array held in chunks on many machines. The call's values view holds nodes (x0, y0) ..
/// (x0 + nx - 1, y0 + ny - 1) of a grid of gridNx x gridNy nodes, and the call contours the
/// grid's cells [cellX0, cellX1) x [cellY0, cellY1), which must lie in the view. Where the grid
/// goes on past a side of the window, the view must hold one more row or column of nodes there
/// (a halo): the call then numbers every crossing as the whole grid's call would, and knows which
/// lines go on into the neighbouring windows. Coordinates and mask are views like the values'.
struct Window {
    std::ptrdiff_t x0 = 0, y0 = 0;         // the view's first node, in the grid
    std::ptrdiff_t gridNx = 0, gridNy = 0; // the grid's extents
    std::ptrdiff_t cellX0 = 0, cellY0 = 0, cellX1 = 0, cellY1 = 0; // the cells, in the grid
};

/// The lines of one or more windows of a grid. Whole lines (both ends in the windows, or closed)
/// are final: line k is points[offsets[k] .. offsets[k+1]) of level index level[k], with its
/// place in the grid's order, order[k]. Pieces are lines that go on across the windows' border:
/// piece p is crossings pieceOffsets[p] .. pieceOffsets[p+1), each with its number in the grid's
/// order (pieceKeys; the top bit set on a first or last crossing where the piece goes on), kept
/// crossing by crossing until JoinLines meets the rest of the line.
template <class T> struct LinePieces {
    std::size_t levels = 0; // the call's level count
    std::vector<Point<T>> points, normals;
    std::vector<std::int64_t> offsets{0};
    std::vector<std::uint8_t> closed;
    std::vector<std::uint32_t> level;
    std::vector<std::uint64_t> order;
    std::vector<Point<T>> piecePoints, pieceNormals;
    std::vector<std::uint64_t> pieceKeys;
    std::vector<std::int64_t> pieceOffsets{0};
    std::vector<std::uint32_t> pieceLevel;

    std::size_t LineCount() const { return closed.size(); }
    std::size_t PieceCount() const { return pieceLevel.size(); }
};

/// The lines at each level of the cells of a window (see Window): whole lines, and pieces for
/// JoinLines. Throws Error for a window outside the grid or the view, a missing halo, and
/// whatever ContourLines refuses.
template <class T>
LinePieces<T> ContourLines(View<T> values, const Window& window, std::span<const T> levels,
                           const Options<T>& options = {});
/// The lines of several windows (of one grid, levels and options) together: pieces that meet
/// are joined, and a line whose pieces are all there becomes whole. Parts may be joined in any
/// grouping and order (a tree of joins, windows one after another).
template <class T> LinePieces<T> JoinLines(std::span<const LinePieces<T>> parts);
/// The same for parts held apart (a binding's objects): each is read in place, none copied.
template <class T> LinePieces<T> JoinLines(std::span<const LinePieces<T>* const> parts);
/// The lines of a whole grid from the joined lines of all its windows: exactly what ContourLines
/// gives on the whole grid, point for point and in order. Throws Error while pieces remain (a
/// window not joined) or the parts disagree on the level count.
template <class T> Lines<T> FinishLines(const LinePieces<T>& joined);

/// The filled bands of one or more windows of a grid. Rings found whole are final: ring r, of
/// band ringBand[r], is written as points[ringOffsets[r] .. ringOffsets[r+1]) (no points when
/// it came to fewer than three), with what FinishPolygons needs to make polygons of it: its
/// boundary's pieces in grid units (ringGrid[gridOffsets[r] ..]), its signed area in grid units,
/// its place in the band's order (ringOrder, then ringSplit) and, when the window already knows,
/// the ring it is a hole of (ringOwner, an index here, else -1). Pieces of boundary that go on
/// into other windows are kept one by one (piece*) with their open ends: a regular crossing on a
/// window's side (seam*: the grid's edge number, the band's lower (0) or upper (1) level, the
/// piece, whether it begins there) and a vertex other windows share (vertex*). cover lists the
/// windows' cells, four numbers each (cellX0, cellY0, cellX1, cellY1).
template <class T> struct PolygonPieces {
    std::ptrdiff_t gridNx = 0, gridNy = 0;
    std::vector<T> lower, upper; // per band
    std::vector<std::ptrdiff_t> cover;
    std::vector<Point<T>> points, ringGrid;
    std::vector<std::int64_t> ringOffsets{0}, gridOffsets{0};
    std::vector<double> ringArea;
    std::vector<std::uint32_t> ringBand, ringSplit;
    std::vector<std::uint64_t> ringOrder;
    std::vector<std::int64_t> ringOwner;
    std::vector<Point<T>> pieceFrom, pieceGrid;
    std::vector<std::uint64_t> pieceKey, pieceVertex;
    std::vector<std::int64_t> pieceNext;
    std::vector<std::uint32_t> pieceBand;
    std::vector<std::uint64_t> seamEdge;
    std::vector<std::int64_t> seamPiece;
    std::vector<std::uint8_t> seamLevel, seamOut;
    std::vector<std::uint64_t> vertexKey;
    std::vector<std::int64_t> vertexPiece;
    std::vector<Point<T>> vertexAt, vertexFar;
    std::vector<std::uint8_t> vertexOut;

    std::size_t RingCount() const { return ringBand.size(); }
    std::size_t PieceCount() const { return pieceBand.size(); }
};

/// The filled bands between consecutive levels (with Options::openBands, also below the first
/// and above the last) of the cells of a window (see Window): whole rings, and pieces for
/// JoinPolygons. Throws Error as FilledContours and ContourLines on a window do.
template <class T>
PolygonPieces<T> FilledContours(View<T> values, const Window& window, std::span<const T> levels,
                                const Options<T>& options = {});
/// The bands of several windows (of one grid, levels and options) together: pieces that meet
/// are joined, and a ring whose pieces are all there becomes whole. Any grouping and order.
template <class T> PolygonPieces<T> JoinPolygons(std::span<const PolygonPieces<T>> parts);
/// The same for parts held apart: each is read in place, none copied.
template <class T> PolygonPieces<T> JoinPolygons(std::span<const PolygonPieces<T>* const> parts);
/// Moves the whole rings of pieces to the end of rings (renumbered), leaving pieces its open
/// pieces alone: a ring found whole is final, so that a caller joining windows one after
/// another joins only what is still open. rings, empty at first, then holds the rings of every
/// window and join it was given, and FinishPolygons(rings) gives the grid's bands once all of
/// them are whole. Throws Error for bands of another grid or other levels than rings holds.
template <class T> void MoveRings(PolygonPieces<T>& pieces, PolygonPieces<T>& rings);
/// The bands of a whole grid from the joined bands of all its windows: exactly what
/// FilledContours gives on the whole grid. Throws Error while pieces remain.
template <class T> Bands<T> FinishPolygons(const PolygonPieces<T>& joined);

/// Words per row of a node classification (ClassifyAbove): 32 nodes a word, then one zero word,
/// so that the four corners of any cell of a row read as whole words.
constexpr std::ptrdiff_t ClassifiedRowWords(std::ptrdiff_t nx) {
    return nx > 0 ? (nx - 1) / 32 + 2 : 0;
}

/// The library's classification of the nodes against one level, for callers that walk the cells
/// themselves: bit i % 32 of above[j * ClassifiedRowWords(values.nx) + i / 32] is set exactly
/// when values(i, j) > level (a value equal to the level, or NaN, is not above; with a NaN level
/// no node is); every other bit, the zero words' included, is clear. Reads every value once, in
/// the view's own layout, and allocates nothing. Throws Error for a bad view or when above holds
/// fewer than values.ny * ClassifiedRowWords(values.nx) words.
template <class T> void ClassifyAbove(View<T> values, T level, std::span<std::uint32_t> above);

} // namespace isocontour
