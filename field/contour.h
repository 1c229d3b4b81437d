// Iso-contour extraction by marching squares: a size-generic core over explicit inputs, and the
// demo's ExtractContour over the 80 x 80 globals.
//
// Cells are walked row by row: y outer, x inner, cell (x, y) having (x, y) as its lowest node.
// A crossing on edge e runs from corner A = e to corner B = (e + 1) mod 4:
//   s      = (t - cA) / (cB - cA)                       rounded to float
//   point  = PA + (PB - PA) * s                         only the coordinate along the edge moves
//   normal = -Normalized(GA + (GB - GA) * s)            away from the region above t
// Each segment contributes its first edge's crossing, then its second's; in a saddle cell the
// first segment's two come before the second's. An infinite corner A makes s NaN; a zero
// interpolated gradient (every edge on the outer ring) makes the normal (NaN, NaN).
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "field/case_table.h"
#include "field/grid.h"
#include "math/vector2.h"

namespace field {

// Replaces the contents of points and normals with the contour of field at threshold t and
// returns the number of end points (always even, at most 4 * g.CellCount()). gradient holds one
// vector per node in the same layout as field.
int ExtractContourLines(std::span<const float> field, std::span<const Vector2> gradient, GridSize g,
                        float t, const CaseSegments& table, std::vector<Vector2>& points,
                        std::vector<Vector2>& normals);

// Scratch memory for repeated extractions: sized on first use, kept between calls.
struct ContourWorkspace {
    std::vector<std::uint32_t> above; // every node's side of the threshold, as bit planes
    std::vector<std::uint32_t> index; // where in each cell row the mixed cells lie
};

// The same contour, reusing work's memory. The cells are classified in one pass over field;
// only cells with corners on both sides of t are visited after that (unless the table gives
// cases 0 or 15 segments, when every cell is).
int ExtractContourLines(std::span<const float> field, std::span<const Vector2> gradient, GridSize g,
                        float t, const CaseSegments& table, std::vector<Vector2>& points,
                        std::vector<Vector2>& normals, ContourWorkspace& work);

} // namespace field

// The iso-value of the demo's contour: 0.6 at start; the window procedure is its only writer.
extern float threshold;

// The contour of fieldGrid at threshold, using gradientGrid and caseTable. Both out-parameters
// always receive a new[]-allocated array (also for a count of 0) that the caller delete[]s.
std::int32_t ExtractContour(Vector2** endPoints, Vector2** normals);
