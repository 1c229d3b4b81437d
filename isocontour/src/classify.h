// Nodes as bits: one bit per node, 32 nodes of a row per word, rows of words one after the other,
// with a zero word after each row's last so that any two neighbouring bits read as one load.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "isocontour/isocontour.h"

namespace isocontour::detail {

inline constexpr int kWordBits = 32;
// The most node rows one ClassifyStripe call takes when the values are contiguous along y: it
// gathers their bits in two buffers of this many words on the stack (33 KiB). Long stripes make
// long runs of each column for the prefetcher; 4096 rows and one word more.
inline constexpr std::ptrdiff_t kMaxStripeRows = 129 * kWordBits;

// The scans classify values contiguous along y a stripe of rows at a time. A tall stripe reads
// each column in one long run, the fastest read; but by the time its cells are scanned, its
// values have left the cache, and each crossing reads its two values from memory again. So
// after a stripe of `cells` cells in which `made` crossings (or band pieces) were made, the next
// stripe is short if there was one in kDenseCells cells or more, and tall otherwise.
inline constexpr std::ptrdiff_t kTallStripe = 32 * kWordBits, kShortStripe = 4 * kWordBits;
inline constexpr std::ptrdiff_t kDenseCells = 128;
inline std::ptrdiff_t NextStripe(std::size_t made, std::ptrdiff_t cells) {
    return std::ptrdiff_t(made) * kDenseCells >= cells ? kShortStripe : kTallStripe;
}

struct BitGrid {
    std::ptrdiff_t nx = 0, ny = 0;
    std::ptrdiff_t words = 0; // per row, the zero word included

    static BitGrid Of(std::ptrdiff_t nx, std::ptrdiff_t ny) {
        return {nx, ny, nx > 0 ? (nx - 1) / kWordBits + 2 : 0};
    }
    std::size_t Size() const { return std::size_t(words) * std::size_t(ny); }
    std::size_t At(std::ptrdiff_t i, std::ptrdiff_t j) const {
        return std::size_t(j * words + (i >> 5));
    }
};

// Bits i and i + 1 of row j (bit 0 is node i).
inline std::uint32_t Pair(const std::uint32_t* bits, const BitGrid& g, std::ptrdiff_t i,
                          std::ptrdiff_t j) {
    const std::uint32_t* w = bits + g.At(i, j);
    const std::uint64_t both = std::uint64_t(w[0]) | std::uint64_t(w[1]) << 32;
    return std::uint32_t(both >> (i & 31)) & 3u;
}

// The 32 cells of word w in cell row j as corner words (from the rows of their lower and upper
// corners, lo and up, or from rows j and j + 1 of a whole grid's bits): bit k of c0 is corner 0 of
// cell x = 32 w + k at (x, j), c1 at (x + 1, j), c2 at (x + 1, j + 1), c3 at (x, j + 1).
struct CellCorners {
    std::uint32_t c0, c1, c2, c3;
    std::uint32_t Mixed() const { return (c0 ^ c1) | (c0 ^ c2) | (c0 ^ c3); }
    std::uint32_t Any() const { return c0 | c1 | c2 | c3; }
    std::uint32_t TwoOrMore() const { return (c0 & (c1 | c2 | c3)) | (c1 & (c2 | c3)) | (c2 & c3); }
};
inline CellCorners CornersOf(const std::uint32_t* lo, const std::uint32_t* up, std::ptrdiff_t w) {
    return {lo[w], (lo[w] >> 1) | (lo[w + 1] << 31), (up[w] >> 1) | (up[w + 1] << 31), up[w]};
}
inline CellCorners CornersOf(const std::uint32_t* bits, const BitGrid& g, std::ptrdiff_t w,
                             std::ptrdiff_t j) {
    const std::uint32_t* lo = bits + std::size_t(j * g.words);
    return CornersOf(lo, lo + g.words, w);
}

// The bits of word w's cells that exist (cell x exists for x <= nx - 2).
inline std::uint32_t ExistingCells(const BitGrid& g, std::ptrdiff_t w) {
    const std::ptrdiff_t cells = g.nx - 1 - kWordBits * w;
    return cells >= kWordBits ? ~std::uint32_t(0)
           : cells <= 0       ? 0u
                              : (std::uint32_t(1) << cells) - 1;
}

// Node rows j0 .. j0 + count - 1 (count <= rowStride) of the values against each level: row r's
// words for level m go to above + (m * rowStride + r) * g.words (every word of the row, the zero
// word included), with bit i set exactly when value (i, j0 + r) is > level (>= level with
// AtLevel::Above); unusable + r * g.words
// gets the NaN nodes and, with a mask, the masked ones (unusable may be null without a mask).
// Values contiguous along x are read row by row; values contiguous along y eight columns of the
// stripe at a time (count <= kMaxStripeRows).
template <class T>
void ClassifyStripe(View<T> values, View<std::uint8_t> mask, std::span<const T> levels,
                    AtLevel atLevel, const BitGrid& g, std::ptrdiff_t j0, std::ptrdiff_t count,
                    std::ptrdiff_t rowStride, std::uint32_t* above, std::uint32_t* unusable);

} // namespace isocontour::detail
