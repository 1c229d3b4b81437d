// The marching-squares cases as plain data: for each of the 16 ways a cell's corners can lie
// against the threshold, up to two segments, each from a crossed edge to a crossed edge.
//
// Corners run (x, y), (x+1, y), (x+1, y+1), (x, y+1); the case index has bit 3 for corner 0 ...
// bit 0 for corner 3, set when the corner is strictly above the threshold. Edge e joins corner e
// to corner (e + 1) mod 4 and is always walked in that direction.
#pragma once

#include <cstdint>

namespace field {

// A segment through a cell: from the crossing on firstEdge to the crossing on secondEdge.
struct EdgePair {
    std::int32_t firstEdge = 0;
    std::int32_t secondEdge = 0;
};

struct CaseSegments {
    std::uint8_t count[16];
    EdgePair segment[16][2];
};

// The cases every caller uses unless it passes its own. The saddles, 5 and 10, join the region
// above the threshold across the cell's centre.
inline constexpr CaseSegments kCaseSegments = {
    {0, 1, 1, 1, 1, 2, 1, 1, 1, 1, 2, 1, 1, 1, 1, 0},
    {{{0, 0}, {0, 0}},
     {{2, 3}, {0, 0}},
     {{1, 2}, {0, 0}},
     {{1, 3}, {0, 0}},
     {{0, 1}, {0, 0}},
     {{1, 2}, {3, 0}},
     {{0, 2}, {0, 0}},
     {{3, 0}, {0, 0}},
     {{3, 0}, {0, 0}},
     {{0, 2}, {0, 0}},
     {{0, 1}, {2, 3}},
     {{0, 1}, {0, 0}},
     {{1, 3}, {0, 0}},
     {{1, 2}, {0, 0}},
     {{2, 3}, {0, 0}},
     {{0, 0}, {0, 0}}},
};

// Strictly above: a value equal to t, or NaN, is not above.
constexpr int CaseIndex(float c0, float c1, float c2, float c3, float t) {
    return (c0 > t ? 8 : 0) | (c1 > t ? 4 : 0) | (c2 > t ? 2 : 0) | (c3 > t ? 1 : 0);
}

// Cells whose corners all lie on one side give nothing in tables that leave cases 0 and 15
// empty, which lets a walk skip them unseen.
constexpr bool SkipsUniformCells(const CaseSegments& table) {
    return table.count[0] == 0 && table.count[15] == 0;
}

} // namespace field
