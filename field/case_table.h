// The marching-squares case table: a cell's four corners classified against a threshold give
// an index 0..15, whose entry lists the edges the contour crosses, paired into segments.
//
// Corners run (x, y), (x+1, y), (x+1, y+1), (x, y+1); edge e joins corner e to corner
// (e + 1) mod 4 and is always walked in that direction.
#pragma once

#include <cstdint>
#include <optional>

#include "field/cases.h"

struct GridCell {
    float corner0, corner1, corner2, corner3;

    constexpr GridCell(float c0, float c1, float c2, float c3)
        : corner0(c0), corner1(c1), corner2(c2), corner3(c3) {}

    // Bit 3 for corner0 ... bit 0 for corner3, set when the corner is strictly above the
    // threshold: equal is not above, and NaN is never above.
    constexpr std::uint8_t CaseIndex(float threshold) const {
        return std::uint8_t(field::CaseIndex(corner0, corner1, corner2, corner3, threshold));
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

namespace field {

// The plain-data view of a table of entries (empty references give fewer segments).
field::CaseSegments CompactCaseTable(const CaseEntry (&table)[16]);

} // namespace field
