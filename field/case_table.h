// The marching-squares case table: a cell's four corners classified against a threshold give
// an index 0..15, whose entry lists the edges the contour crosses, paired into segments.
//
// Corners run (x, y), (x+1, y), (x+1, y+1), (x, y+1); edge e joins corner e to corner
// (e + 1) mod 4 and is always walked in that direction.
#pragma once

#include <cstdint>
#include <optional>

struct GridCell {
    float corner0, corner1, corner2, corner3;

    constexpr GridCell(float c0, float c1, float c2, float c3)
        : corner0(c0), corner1(c1), corner2(c2), corner3(c3) {}

    // Bit 3 for corner0 ... bit 0 for corner3, set when the corner is strictly above the
    // threshold: equal is not above, and NaN is never above.
    constexpr std::uint8_t CaseIndex(float threshold) const {
        return std::uint8_t((corner0 > threshold ? 8 : 0) | (corner1 > threshold ? 4 : 0) |
                            (corner2 > threshold ? 2 : 0) | (corner3 > threshold ? 1 : 0));
    }
};

struct EdgeSegment {
    std::int32_t firstEdge = 0;
    std::int32_t secondEdge = 0;

    constexpr EdgeSegment() = default;
    constexpr EdgeSegment(std::int32_t first, std::int32_t second)
        : firstEdge(first), secondEdge(second) {}
};

// One row of the table. Copies share the segment records; destruction releases nothing, so
// the records allocated for the table live until the process ends.
class CaseEntry {
  public:
    EdgeSegment* firstSegment = nullptr;
    EdgeSegment* secondSegment = nullptr;

    CaseEntry() = default;
    // Allocates a record for each segment given.
    CaseEntry(std::optional<EdgeSegment> first, std::optional<EdgeSegment> second);
    CaseEntry(const CaseEntry&) = default;
    CaseEntry& operator=(const CaseEntry&) = default;
    ~CaseEntry() = default;
};

extern CaseEntry caseTable[16];

// Fills all 16 rows of caseTable; 16 segment records are allocated and never released.
void BuildCaseTable();

namespace field {

// The table as plain data, for the extraction's inner loop: up to two segments per case.
struct CaseSegments {
    std::uint8_t count[16];
    EdgeSegment segment[16][2];
};

// The rows every caller of the contour core uses unless it passes its own. Cases 5 and 10,
// the saddles, join the region above the threshold across the cell's centre.
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

// The plain-data view of a table of entries (empty references give fewer segments).
CaseSegments CompactCaseTable(const CaseEntry (&table)[16]);

} // namespace field
