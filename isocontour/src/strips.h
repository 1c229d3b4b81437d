// The thread split and its seams, for lines and bands alike: cell rows are cut into strips, one
// per thread, each worked on alone; what a strip leaves on the rows of edges it shares with its
// neighbours (its seams) is stitched afterwards, by grid edge, so that any thread count gives the
// same output.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "checks.h"
#include "threads.h"

namespace isocontour::detail {

struct Strip {
    std::ptrdiff_t y0, y1; // cell rows y0 .. y1 - 1
};

// Strips of about equal height over cellRows rows, into out: as many as threads asks for (at
// most one per row), or with 0 one per core, but none under 2^16 nodes (a thread costs more).
inline void SplitRows(std::ptrdiff_t cellRows, std::ptrdiff_t nx, int threads,
                      std::vector<Strip>& out) {
    std::ptrdiff_t n = threads;
    if (threads == 0) {
        const std::ptrdiff_t minRows =
            std::max<std::ptrdiff_t>(1, (1 << 16) / std::max<std::ptrdiff_t>(nx, 1));
        n = std::min<std::ptrdiff_t>(CoreCount(), cellRows / minRows);
    }
    n = std::clamp<std::ptrdiff_t>(n, 1, std::max<std::ptrdiff_t>(cellRows, 1));
    out.clear();
    for (std::ptrdiff_t s = 0; s < n; ++s)
        out.push_back({cellRows * s / n, cellRows * (s + 1) / n});
}

// What one strip leaves on its two seams, by slot (a horizontal edge of the seam, and for bands
// also which of the two levels): -1 for nothing, else 2 * element + 1 where the element begins
// there (what comes before it lies across the seam) and 2 * element where it ends there. On the
// top seam, a crossing the strip made itself for the strip above to use is 2 * element.
struct SeamEnds {
    std::vector<std::int64_t> bottom, top;
};

// Links across every seam: for each slot where strip q's top and strip q + 1's bottom both hold
// an element, link(before, after) with the elements' global numbers (strip s's numbers shifted
// by base[s]), the direction being the one the upper strip recorded.
template <class Ends, class Link>
void StitchSeams(std::span<Ends* const> strips, std::span<const std::int64_t> base, Link&& link) {
    ISOCONTOUR_CHECK(strips.size() == base.size(), "one base per strip");
    for (std::size_t q = 0; q + 1 < strips.size(); ++q) {
        const std::vector<std::int64_t>& top = strips[q]->top;
        const std::vector<std::int64_t>& bottom = strips[q + 1]->bottom;
        ISOCONTOUR_CHECK(top.size() == bottom.size(), "both sides of a seam have its slots");
        for (std::size_t e = 0; e < top.size(); ++e) {
            ISOCONTOUR_CHECK(bottom[e] < 0 || top[e] >= 0,
                             "a strip links to a seam crossing its lower neighbour has not made");
            if (bottom[e] < 0) continue;
            const std::int64_t below = (top[e] >> 1) + base[q];
            const std::int64_t above = (bottom[e] >> 1) + base[q + 1];
            if (bottom[e] & 1)
                link(below, above);
            else
                link(above, below);
        }
    }
}

} // namespace isocontour::detail
