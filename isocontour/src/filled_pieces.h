// Filled bands, internal: the directed boundary pieces a scan of the cells leaves behind.
//
// Every piece is a straight step of some band's boundary with the band on its LEFT (in grid
// units, x right, y up): a piece of a level's line inside a cell (the lower level's line as
// the lines run, the upper level's reversed), or a stretch of a cell edge on the grid's border
// or beside a masked cell. A piece ends where the next one begins:
//   - at a regular crossing (strictly inside its edge, apart from the other level's): exactly
//     one piece ends there and one begins, so the scan links them through slots as it goes;
//   - at a keyed vertex: a node (a border or mask corner in the band, or a crossing that landed
//     on its node: a value exactly at a level) or a pinch (both levels' crossings on one edge
//     at the same point). Several band corners may meet there; they are paired afterwards by
//     angle (filled_rings.cpp), and a ring that passes one twice is split there.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "isocontour/isocontour.h"
#include "classify.h"

namespace isocontour::detail {

template <class T> struct BandPieces {
    std::vector<Point<T>> from;     // the point each piece starts at (output coordinates)
    std::vector<Point<T>> gridFrom; // the same in grid units; empty when they are the output
    std::vector<std::int64_t> next; // the piece that follows, -1 until linked

    // A piece's end at a keyed vertex: key = 4 * node index + (0 node, 1 pinch on the edge to
    // +x, 2 pinch on the edge to +y). at and far are grid points: the vertex and the piece's
    // other end, for pairing by angle.
    struct KeyedEnd {
        std::uint64_t key;
        std::int64_t piece;
        Point<T> at, far;
        bool out; // the piece starts here (else it ends here)
    };
    std::vector<KeyedEnd> keyed;

    // Regular crossings on the first and last rows of horizontal edges a block of rows saw
    // only one side of: [2 * i + m] (m = 0 lower, 1 upper) = 2 * piece + (1 if the piece
    // starts there), or -1.
    std::vector<std::int64_t> bottom, top;

    const Point<T>& Grid(std::size_t k) const { return gridFrom.empty() ? from[k] : gridFrom[k]; }
};

// Where values lie: a grid of nodes with optional coordinates, mask and sorted levels.
template <class T> struct BandInput {
    View<T> values;
    View<std::uint8_t> mask;
    View<T> x, y;
    int coords = 0; // 0 grid units, 1 rectilinear, 2 curvilinear
    Saddle saddle = Saddle::Above;
    std::vector<T> levels; // strictly increasing: band k lies between levels[k-1] and levels[k]
};

// Each level's nodes above it, and the NaN or masked ones, as bit planes.
struct BandPlanes {
    BitGrid g;
    // Left uninitialised here: each block of rows clears and fills its own rows on its thread,
    // so that the first touch of the memory is shared out too.
    std::unique_ptr<std::uint32_t[]> above; // one plane per level, one after the other
    std::unique_ptr<std::uint32_t[]> unusable;
    bool anyUnusable = false;
    const std::uint32_t* Plane(std::size_t level) const { return above.get() + level * g.Size(); }
};

// Fills node rows [j0, j1) of the planes (sized by the caller); anyUnusable says whether
// those rows hold a NaN or masked node.
template <class T>
void ClassifyBands(const BandInput<T>& in, BandPlanes& planes, std::ptrdiff_t j0, std::ptrdiff_t j1,
                   bool& anyUnusable);

// Scans cell rows [j0, j1) and leaves the pieces of bands kFirst .. kLast (band k being
// levels[k-1] < value <= levels[k], with no lower level for k = 0 and no upper one for
// k = levels.size()) in out[k - kFirst], with local piece numbers.
template <class T>
void ScanBands(const BandInput<T>& in, const BandPlanes& planes, int kFirst, int kLast,
               std::ptrdiff_t j0, std::ptrdiff_t j1, std::vector<BandPieces<T>>& out);

// Joins blocks of consecutive rows (in order) into one set of pieces with global numbers.
template <class T> BandPieces<T> JoinBlocks(std::vector<BandPieces<T>>& blocks);

// Turns one band's linked pieces into polygons appended to out (rings, holes, orientation).
template <class T>
void AssembleBand(BandPieces<T>& pieces, std::ptrdiff_t ny, T lower, T upper, Bands<T>& out);

} // namespace isocontour::detail
