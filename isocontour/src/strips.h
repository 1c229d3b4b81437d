// The thread split: cell rows cut into consecutive bands, one per thread, each worked on alone.
#pragma once

#include <algorithm>
#include <cstddef>
#include <vector>

#include "threads.h"

namespace isocontour::detail {

struct RowBand {
    std::ptrdiff_t y0, y1; // cell rows y0 .. y1 - 1
};

// Bands of about equal height over cellRows rows: as many as threads asks for (at most one per
// row), or with 0 one per core, but none under 2^16 nodes (a thread costs more than that).
inline std::vector<RowBand> SplitRows(std::ptrdiff_t cellRows, std::ptrdiff_t nx, int threads) {
    std::ptrdiff_t n = threads;
    if (threads == 0) {
        const std::ptrdiff_t minRows =
            std::max<std::ptrdiff_t>(1, (1 << 16) / std::max<std::ptrdiff_t>(nx, 1));
        n = std::min<std::ptrdiff_t>(CoreCount(), cellRows / minRows);
    }
    n = std::clamp<std::ptrdiff_t>(n, 1, std::max<std::ptrdiff_t>(cellRows, 1));
    std::vector<RowBand> bands;
    for (std::ptrdiff_t b = 0; b < n; ++b)
        bands.push_back({cellRows * b / n, cellRows * (b + 1) / n});
    return bands;
}

} // namespace isocontour::detail
