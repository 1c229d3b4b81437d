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
#include <span>
#include <utility>
#include <vector>

#include "cells.h"
#include "classify.h"
#include "coords.h"
#include "frame.h"
#include "isocontour/isocontour.h"
#include "level_ranges.h"
#include "pages.h"
#include "ray_probe.h"
#include "strips.h"

namespace isocontour::detail {

// Pieces a cell makes at most, for the numbering of pieces in a window.
inline constexpr std::uint64_t kPieceKeys = 16;

template <class T> struct BandPieces {
    Buffer<Point<T>> from;     // the point each piece starts at (output coordinates)
    Buffer<Point<T>> gridFrom; // the same in grid units; empty when they are the output
    Buffer<std::int64_t> next; // the piece that follows, -1 until linked

    // A piece's end at a keyed vertex: key = 8 * node index + (0 node, 1 pinch on the edge to
    // +x, 2 pinch on the edge to +y, 3 and 4 pinch on a triangle's diagonal to (+x, +y) and
    // (-x, +y)). at and far are grid points: the vertex and the piece's
    // other end, for pairing by angle.
    struct KeyedEnd {
        std::uint64_t key;
        std::int64_t piece;
        Point<T> at, far;
        bool out; // the piece starts here (else it ends here)
    };
    Buffer<KeyedEnd> keyed;

    // Regular crossings on a strip's seams, which it saw only one side of: slot 2 * i + m
    // (m = 0 lower level, 1 upper) of horizontal edge i.
    SeamEnds ends;

    // In a window only: each piece's number in the grid's order (kPieceKeys per cell, in the
    // order a whole grid's call makes them), and the pieces that end or begin at a regular
    // crossing on the window's border, where the band goes on into another window.
    Buffer<std::uint64_t> keys;
    struct Seam {
        std::uint64_t edge; // Frame::Edge
        std::int64_t piece;
        std::uint8_t m; // the band's lower level 0, its upper 1
        bool out;       // the piece begins there (else it ends there)
    };
    std::vector<Seam> seams;

    const Point<T>& Grid(std::size_t k) const { return gridFrom.empty() ? from[k] : gridFrom[k]; }
    void Clear() {
        from.clear();
        gridFrom.clear();
        next.clear();
        keyed.clear();
        keys.clear();
        seams.clear();
    }
};

// Where values lie: a grid of nodes with optional coordinates, mask and sorted levels.
template <class T> struct BandInput {
    View<T> values;
    View<std::uint8_t> mask;
    View<T> x, y;
    CoordKind kind = CoordKind::Grid;
    Rules<T> rules;
    bool cornerMask = false;
    Frame frame;               // the cells scanned and the grid they number their pieces in
    bool window = false;       // a window of a larger grid: keys and seams kept
    std::span<const T> levels; // strictly increasing: band k lies between levels[k-1] and levels[k]
    std::span<const T> logs;   // their logarithms, under log interpolation (else empty)

    Level<T> LevelAt(std::size_t k) const { return {levels[k], logs.empty() ? T(0) : logs[k]}; }
};

// A strip's node rows as bits while it scans them: each level's nodes above it, and the NaN or
// masked ones, for the few rows around the cell row being scanned (a ring of rows, node row y at
// y mod count), so that each crossing finds its values still in cache.
struct BandRows {
    std::vector<std::uint32_t> above;    // [level][row of the ring][word]
    std::vector<std::uint32_t> unusable; // [row of the ring][word]
    std::vector<std::uint8_t> any;       // [row of the ring]: an unusable node in it
    LevelRanges ranges;                  // with many levels, the words each may cross
};

// A strip's link slots for one band while it scans: [2 * i + m] for the crossings of level m on
// the row of horizontal edges below the current cell row, above it, and on vertical edge i.
struct BandSlots {
    std::vector<std::int64_t> below, above, across;
};

// The memory AssembleBand works in, one per thread that assembles.
template <class T> struct RingScratch {
    struct Query {
        Wide x, y; // a hole's probe
        std::size_t row, hole;
    };
    Buffer<std::uint64_t> multi;
    Buffer<std::pair<double, std::size_t>> around;
    Buffer<std::uint8_t> used;
    Buffer<std::int32_t> links32; // the walk's copy of the links, marked as it goes
    Buffer<std::int64_t> links64; // the same, for 2^31 pieces and more
    Buffer<std::int64_t> pieces, walk, stack, ringOf, owner, firstHole, nextHole, lastHole, keep,
        walkOf; // walkOf: per ring, the piece its walk began at
    Buffer<std::size_t> start, rowStart;
    Buffer<std::pair<std::size_t, std::int64_t>> splits;
    Buffer<std::pair<std::uint64_t, std::size_t>> open;
    Buffer<Query> queries;
    Buffer<std::pair<std::size_t, std::size_t>> hits;
    Buffer<Point<T>> from, grid;
    Buffer<double> area;
};

// Everything a call of FilledContours works in besides its output.
template <class T> struct FilledScratch {
    std::vector<T> levels, logs;
    std::vector<Strip> strips;
    std::vector<BandRows> rows;                     // [strip]
    std::vector<std::vector<BandPieces<T>>> pieces; // [strip][band]
    std::vector<std::vector<BandSlots>> slots;      // [strip][band]
    std::vector<BandPieces<T>> joined;              // [band], with several strips
    std::vector<BandPieces<T>*> parts;              // one band's strips, while joined
    std::vector<SeamEnds*> ends;
    std::vector<std::int64_t> base;
    std::vector<RingScratch<T>> rings;     // [thread]
    std::vector<Bands<T>> bands;           // [band], with several bands
    std::vector<double> estimate, weights; // crossings by level, pieces by band, when grouped
    std::vector<std::size_t> groups;       // the groups' ends, counted in bands
};

// Checks the arguments and the levels (already in m.levels) and describes the input, whole.
template <class T>
BandInput<T> PrepareBands(View<T> values, const Options<T>& o, FilledScratch<T>& m);

// Scans cell rows [j0, j1) and leaves the pieces of bands kFirst .. kLast (band k being
// levels[k-1] < value <= levels[k], with no lower level for k = 0 and no upper one for
// k = levels.size()) in out[k - kFirst], with local piece numbers. rows and slots are the
// strip's scratch.
template <class T>
void ScanBands(const BandInput<T>& in, int kFirst, int kLast, std::ptrdiff_t j0, std::ptrdiff_t j1,
               std::vector<BandPieces<T>>& out, BandRows& rows, std::vector<BandSlots>& slots);

// Joins one band's pieces of consecutive strips (in order) into all, with global numbers.
template <class T> void JoinStrips(FilledScratch<T>& m, BandPieces<T>& all);

// Turns one band's linked pieces into polygons appended to out (rings, holes, orientation).
template <class T>
void AssembleBand(BandPieces<T>& pieces, std::ptrdiff_t ny, T lower, T upper, Bands<T>& out,
                  RingScratch<T>& r);

} // namespace isocontour::detail
