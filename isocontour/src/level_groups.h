// Many levels a few at a time: a call with many levels (or many crossings per level) would hold
// every level's crossings at once. The crossings each level will have are estimated from a sample
// of the values, and consecutive levels are grouped while their estimate fits a budget, so that a
// call holds about one group's at a time. Each group reads the values again, so a call whose
// crossings all fit the budget keeps its one pass.
#pragma once

#include <algorithm>
#include <cstddef>
#include <span>
#include <vector>

#include "isocontour/isocontour.h"

namespace isocontour::detail {

// The crossings a call may hold at once, at `bytes` each: an eighth of the input's bytes, and
// never fewer than 2^20 crossings (below that, reading the values again costs more than the
// memory saved).
inline std::size_t CrossingBudget(std::size_t inputBytes, std::size_t bytes) {
    return std::max<std::size_t>(inputBytes / 8 / bytes, std::size_t(1) << 20);
}

// An estimate of each level's crossings (levels strictly increasing), from the values' edges
// along every so many lines of their contiguous axis; NaN nodes are left out.
template <class T>
void EstimateCrossings(View<T> values, std::span<const T> levels, std::vector<double>& out);

// Splits items 0 .. weights.size() - 1 into consecutive groups of at least `least` items (but
// the last), each as long as its weights' sum stays within budget, as the groups' ends into ends.
void GroupByWeight(std::span<const double> weights, double budget, std::size_t least,
                   std::vector<std::size_t>& ends);

} // namespace isocontour::detail
