// Which of many ascending levels may cross each word of a row of cells, so that a row's scan
// visits, per level, only those words rather than every word of the row. Shared by the lines' and
// the bands' scans.
//
// With levels in ascending order, a word of nodes lies wholly above the levels below some first
// level and wholly below those from some end level on (its bits only fall as the level rises). A
// word of cells can then cross only the levels from the least first to the greatest end of the
// words of nodes its corners are in.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "classify.h"

namespace isocontour::detail {

// The first m in 0 .. n at which holds(m) is false (holds is true up to some m, then false),
// searched outward from guess in steps that double, then by bisection.
template <class Holds>
std::ptrdiff_t Boundary(std::ptrdiff_t n, std::ptrdiff_t guess, const Holds& holds) {
    std::ptrdiff_t lo, hi; // holds(lo - 1) or lo == 0; !holds(hi) or hi == n
    if (guess < n && holds(guess)) {
        lo = guess + 1;
        std::ptrdiff_t step = 1;
        for (hi = std::min(n, lo + step); hi < n && holds(hi); hi = std::min(n, lo + step))
            lo = hi + 1, step *= 2;
    } else {
        hi = guess;
        std::ptrdiff_t step = 1;
        for (lo = std::max<std::ptrdiff_t>(0, hi - step); lo > 0 && !holds(lo - 1);
             lo = std::max<std::ptrdiff_t>(0, hi - step))
            hi = lo - 1, step *= 2;
    }
    while (lo < hi) {
        const std::ptrdiff_t mid = lo + (hi - lo) / 2;
        if (holds(mid))
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

// A scan's node rows' level ranges, kept per row of its buffer of bits, and the current cell
// row's words by level.
struct LevelRanges {
    std::vector<std::uint32_t> ranges;    // per buffered node row: each word's first and end level
    std::vector<std::ptrdiff_t> rangesOf; // the node row each buffered row's ranges are of, or -1
    std::vector<std::uint32_t> first, end, start, words;

    // Forgets every buffered row's ranges (for new levels), for `rows` buffered rows of g's grid.
    void Reset(std::ptrdiff_t rows, const BitGrid& g) {
        ranges.resize(std::size_t(rows * 2 * g.words));
        rangesOf.assign(std::size_t(rows), -1);
    }

    // Node row y's ranges, held in buffered row `slot` (bitsOf(m): the row's bits at level m,
    // nl levels), found unless they were for y already. Each word's search starts from its left
    // neighbour's answer, which on a smooth field is a step or two away.
    template <class BitsOf>
    const std::uint32_t* Of(std::ptrdiff_t slot, std::ptrdiff_t y, const BitGrid& g,
                            std::ptrdiff_t nl, const BitsOf& bitsOf) {
        std::uint32_t* r = &ranges[std::size_t(slot * 2 * g.words)];
        if (rangesOf[std::size_t(slot)] == y) return r;
        rangesOf[std::size_t(slot)] = y;
        std::ptrdiff_t a = 0, b = 0;
        for (std::ptrdiff_t w = 0; w < g.words; ++w) {
            const std::ptrdiff_t nodes = std::min<std::ptrdiff_t>(g.nx - w * kWordBits, kWordBits);
            if (nodes <= 0) { // the zero word past the row: no node, no level
                r[2 * w] = std::uint32_t(nl), r[2 * w + 1] = 0;
                continue;
            }
            const std::uint32_t in = nodes == kWordBits ? ~0u : (1u << nodes) - 1;
            a = Boundary(nl, a, [&](std::ptrdiff_t m) { return (bitsOf(m)[w] & in) == in; });
            b = Boundary(nl, std::max(a, b),
                         [&](std::ptrdiff_t m) { return (bitsOf(m)[w] & in) != 0; });
            r[2 * w] = std::uint32_t(a), r[2 * w + 1] = std::uint32_t(std::max(a, b));
        }
        return r;
    }

    // The words of cells from firstWord to lastWord (cells(w): the bits of word w's cells that
    // are scanned) by list: lists 0 .. n - 1 for the levels (or bands) base .. base + n - 1, a
    // word in list k when k + base lies in its range of levels widened by `widen` above, or in
    // every list when all(w). From the ranges of the row's two node rows; each list in the row's
    // order, list k at words[start[k] .. start[k + 1]).
    template <class Cells, class All>
    void ByLevel(std::ptrdiff_t firstWord, std::ptrdiff_t lastWord, const std::uint32_t* lower,
                 const std::uint32_t* upper, std::ptrdiff_t base, std::size_t n,
                 std::uint32_t widen, const Cells& cells, const All& all) {
        first.resize(std::size_t(lastWord + 1));
        end.resize(std::size_t(lastWord + 1));
        start.assign(n + 1, 0u);
        const auto clamp = [&](std::int64_t k) {
            return std::uint32_t(std::clamp<std::int64_t>(k - base, 0, std::int64_t(n)));
        };
        for (std::ptrdiff_t w = firstWord; w <= lastWord; ++w) {
            // The cells' corners: the two words of nodes, and the next two where the word's
            // last cell is scanned.
            std::uint32_t a = std::min(lower[2 * w], upper[2 * w]);
            std::uint32_t b = std::max(lower[2 * w + 1], upper[2 * w + 1]);
            if (cells(w) >> 31) {
                a = std::min({a, lower[2 * w + 2], upper[2 * w + 2]});
                b = std::max({b, lower[2 * w + 3], upper[2 * w + 3]});
            }
            const bool every = all(w);
            first[std::size_t(w)] = every ? 0u : clamp(a);
            end[std::size_t(w)] =
                every ? std::uint32_t(n) : std::max(clamp(a), clamp(std::int64_t(b) + widen));
            for (std::size_t k = first[std::size_t(w)]; k < end[std::size_t(w)]; ++k)
                ++start[k + 1];
        }
        for (std::size_t k = 0; k < n; ++k)
            start[k + 1] += start[k];
        words.resize(start[n]);
        for (std::ptrdiff_t w = firstWord; w <= lastWord; ++w)
            for (std::size_t k = first[std::size_t(w)]; k < end[std::size_t(w)]; ++k)
                words[start[k]++] = std::uint32_t(w);
        for (std::size_t k = n; k > 0; --k) // each list's start, moved on by its fill, back
            start[k] = start[k - 1];
        start[0] = 0;
    }
};

} // namespace isocontour::detail
