// d3-contour's polygons, computed with the library's filled bands: the same rings, points, winding,
// hole owners and order as d3.contours() gives for a threshold, as flat arrays.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "isocontour/isocontour.h"

namespace isocontour::js {

/// d3's MultiPolygons of one or more thresholds, flat: ring r is points[2 * ringOffsets[r] ..
/// 2 * ringOffsets[r+1]) (x, y interleaved, d3's coordinates: value i + j * dx at the centre of
/// pixel (i, j)); polygon p is rings polygonOffsets[p] .. polygonOffsets[p+1], its exterior first;
/// threshold t owns polygons thresholdOffsets[t] .. thresholdOffsets[t+1].
struct D3Polygons {
    std::vector<double> points;
    std::vector<std::uint32_t> ringOffsets{0};
    std::vector<std::uint32_t> polygonOffsets{0};
    std::vector<std::uint32_t> thresholdOffsets{0};

    void Clear();
};

/// Memory that D3Contour keeps between calls: once grown, a call of the same size allocates only
/// what its output needs.
struct D3Scratch {
    std::vector<float> inside; // the thresholded values with a frame of zeros around them
    Bands<float> bands;
    Workspace work;
    struct Ring {
        std::uint32_t first, end; // in points
        std::uint64_t key;        // when d3 closes it: its last cell and segment in d3's scan
        std::int32_t outer;       // the engine's outer ring of a hole, or -1
        std::uint32_t engine;     // its ring in the engine's bands
        std::uint32_t start;      // where d3 starts it, once asked for (else 0xFFFFFFFF)
        bool exterior;            // d3's test: its area is positive
    };
    std::vector<Ring> rings;
    std::vector<std::uint32_t> order, polygons, owner, holeStart, holes;
    std::vector<double> moved, unsmoothed;
    std::vector<std::pair<std::uint64_t, std::uint32_t>> segments; // a ring's, in scan order
    std::vector<std::uint32_t> byStart, byEnd, starts, ends;       // d3's fragments' ends
};

/// Appends to out the polygons d3.contours().size([dx, dy]).smooth(smooth).contour(values,
/// threshold) gives, with d3's rules: inside where value >= threshold (NaN never, so a missing
/// value is below every finite threshold), everything outside the grid below, rings joined around
/// the inside corners of a saddle, points moved along their edges by d3's linear smoothing, rings
/// with a positive d3 area exteriors and the others holes of the first exterior in d3's order that
/// contains them. values holds dx * dy values, value (i, j) at values[i + j * dx]. Throws Error
/// for a NaN threshold.
template <class T>
void D3Contour(const T* values, std::ptrdiff_t dx, std::ptrdiff_t dy, double threshold, bool smooth,
               D3Scratch& scratch, D3Polygons& out);

} // namespace isocontour::js
