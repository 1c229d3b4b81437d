// Levels grouped by their estimated crossings.
#include "level_groups.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "value_types.h"

namespace isocontour::detail {

template <class T>
void EstimateCrossings(View<T> v, std::span<const T> levels, std::vector<double>& out) {
    const std::ptrdiff_t n = std::ptrdiff_t(levels.size());
    // An edge between nodes with counts a < b crosses levels a .. b - 1: +1 at a, -1 at b (in
    // out itself, so that a kept workspace's call allocates nothing).
    out.assign(levels.size() + 1, 0.0);
    const bool alongX = std::abs(v.strideX) <= std::abs(v.strideY);
    const std::ptrdiff_t length = alongX ? v.nx : v.ny, lines = alongX ? v.ny : v.nx;
    if (n == 0 || length < 2 || lines < 1) return out.resize(levels.size());
    // 64 lines or so: a sixty-fourth of a large grid's values, read in their memory order.
    const std::ptrdiff_t step = std::max<std::ptrdiff_t>(1, lines / 64);
    // Levels below x; a node's count is its neighbour's when no level lies between them, as
    // it mostly does.
    const auto below = [&](T x, std::ptrdiff_t near) {
        if ((near == 0 || levels[std::size_t(near - 1)] < x) &&
            (near == n || !(levels[std::size_t(near)] < x)))
            return near;
        return std::ptrdiff_t(std::lower_bound(levels.begin(), levels.end(), x) - levels.begin());
    };
    for (std::ptrdiff_t l = step / 2; l < lines; l += step) {
        std::ptrdiff_t last = -1; // the previous node's count, -1 for NaN
        for (std::ptrdiff_t k = 0; k < length; ++k) {
            const T x = alongX ? v(k, l) : v(l, k);
            if (std::isnan(x)) {
                last = -1;
                continue;
            }
            const std::ptrdiff_t c = below(x, std::max<std::ptrdiff_t>(last, 0));
            if (last >= 0 && c != last) {
                out[std::size_t(std::min(c, last))] += 1;
                out[std::size_t(std::max(c, last))] -= 1;
            }
            last = c;
        }
    }
    // The sample stands for step lines along this axis and as many edges across it.
    double run = 0;
    for (std::size_t m = 0; m < levels.size(); ++m) {
        run += out[m];
        out[m] = run * double(2 * step);
    }
    out.resize(levels.size());
}

void GroupByWeight(std::span<const double> weights, double budget, std::size_t least,
                   std::vector<std::size_t>& ends) {
    ends.clear();
    double sum = 0;
    std::size_t first = 0;
    for (std::size_t k = 0; k < weights.size(); ++k) {
        if (k - first >= std::max<std::size_t>(least, 1) && sum + weights[k] > budget) {
            ends.push_back(k);
            first = k;
            sum = 0;
        }
        sum += weights[k];
    }
    if (!weights.empty()) ends.push_back(weights.size());
}

#define ISOCONTOUR_ESTIMATE(T)                                                                     \
    template void EstimateCrossings(View<T>, std::span<const T>, std::vector<double>&);
ISOCONTOUR_FOR_EACH_VALUE_TYPE(ISOCONTOUR_ESTIMATE)
#undef ISOCONTOUR_ESTIMATE

} // namespace isocontour::detail
