#include "cli/raster_levels.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "cli/options.h"

namespace {

std::string Shortest(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.10g", v);
    return text;
}

std::string TooMany(const char* what, double count, double lo, double hi) {
    return std::string(what) + " gives " +
           (std::isfinite(count) ? Shortest(std::floor(count)) : "endless") +
           " levels over the raster's values " + Shortest(lo) + " to " + Shortest(hi) +
           "; at most " + std::to_string(kMaxLevels);
}

} // namespace

std::string LineLevels(const RasterToolOptions& o, double lo, double hi, std::vector<double>& out) {
    out.clear();
    if (!(lo <= hi)) return {};
    using Kind = RasterToolOptions::LevelKind;
    if (o.levelKind == Kind::Fixed) {
        for (double l : o.fixed)
            if (l >= lo && l <= hi) out.push_back(l);
        std::sort(out.begin(), out.end());
        out.erase(std::unique(out.begin(), out.end()), out.end());
        return {};
    }
    if (o.levelKind == Kind::Exponential) {
        if (hi < 1) return {};
        // base^k <= hi: k up to log(hi) / log(base), checked before any level is made.
        const double last = std::floor(std::log(hi) / std::log(o.base)) + 1;
        if (!(last <= kMaxLevels)) return TooMany("-e", last + 1, lo, hi);
        for (int k = 0; k <= int(last); ++k)
            if (const double l = std::pow(o.base, k); l >= lo && l <= hi) out.push_back(l);
        return {};
    }
    // -i: k from the first multiple at or above lo to the last at or below hi (one more on each
    // side, which the range test drops, so that rounding in the division loses no level).
    const double first = std::ceil((lo - o.offset) / o.interval) - 1;
    const double last = std::floor((hi - o.offset) / o.interval) + 1;
    if (!(last - first <= kMaxLevels + 2.0)) return TooMany("-i", last - first - 1, lo, hi);
    for (double k = first; k <= last; ++k)
        if (const double l = k * o.interval + o.offset; l >= lo && l <= hi)
            if (out.empty() || l > out.back()) out.push_back(l);
    return {};
}

std::string BandBounds(const RasterToolOptions& o, double lo, double hi, std::vector<double>& out) {
    std::vector<double> levels;
    if (std::string error = LineLevels(o, lo, hi, levels); !error.empty()) return error;
    constexpr double inf = std::numeric_limits<double>::infinity();
    out.assign(1, -inf);
    for (double l : levels)
        if (l > lo && l < hi) out.push_back(l);
    out.push_back(inf);
    return {};
}
