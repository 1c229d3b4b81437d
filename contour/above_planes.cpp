// Compare-and-mask only: no float arithmetic happens here, so the loops may be vectorised
// (contour/CMakeLists.txt allows it for this file alone) without touching any pinned rounding.
#include "contour/above_planes.h"

#include <algorithm>
#include <cassert>

namespace contour {

void ClassifyAbove(std::span<const float> values, GridSize g, float t,
                   std::span<std::uint32_t> planes) {
    assert(values.size() >= g.NodeCount() && "values smaller than the grid");
    assert(planes.size() >= AbovePlaneWords(g) && "planes smaller than the grid needs");
    if (g.NodeCount() == 0) return;
    const std::size_t ny = std::size_t(g.ny);
    const float* f = values.data();
    for (int a0 = 0; a0 < g.nx; a0 += kPlaneBits) {
        std::uint32_t* plane = planes.data() + std::size_t(a0 / kPlaneBits) * ny;
        const int rows = std::min(kPlaneBits, g.nx - a0);
        // Rows eight at a time, so that each plane word is read and written once per eight
        // rows; every row is one contiguous run of ny values.
        int k = 0;
        for (; k + 8 <= rows; k += 8) {
            const float* r = f + std::size_t(a0 + k) * ny;
            const float *r0 = r, *r1 = r0 + ny, *r2 = r1 + ny, *r3 = r2 + ny, *r4 = r3 + ny,
                        *r5 = r4 + ny, *r6 = r5 + ny, *r7 = r6 + ny;
            const std::uint32_t b0 = std::uint32_t(1) << k;
            auto bits = [&](std::size_t b) {
                return (r0[b] > t ? b0 : 0u) | (r1[b] > t ? b0 << 1 : 0u) |
                       (r2[b] > t ? b0 << 2 : 0u) | (r3[b] > t ? b0 << 3 : 0u) |
                       (r4[b] > t ? b0 << 4 : 0u) | (r5[b] > t ? b0 << 5 : 0u) |
                       (r6[b] > t ? b0 << 6 : 0u) | (r7[b] > t ? b0 << 7 : 0u);
            };
            if (k == 0) {
                for (std::size_t b = 0; b < ny; ++b)
                    plane[b] = bits(b);
            } else {
                for (std::size_t b = 0; b < ny; ++b)
                    plane[b] |= bits(b);
            }
        }
        if (k == 0) std::fill(plane, plane + ny, 0u);
        for (; k < rows; ++k) {
            const float* row = f + std::size_t(a0 + k) * ny;
            const std::uint32_t bit = std::uint32_t(1) << k;
            for (std::size_t b = 0; b < ny; ++b)
                plane[b] |= row[b] > t ? bit : 0u;
        }
    }
}

void IndexMixedCells(std::span<const std::uint32_t> planes, GridSize g,
                     std::span<std::uint32_t> index) {
    assert(planes.size() >= AbovePlaneWords(g) && "planes smaller than the grid needs");
    assert(index.size() >= MixedIndexWords(g) && "index smaller than the grid needs");
    if (MixedIndexWords(g) == 0) return;
    const std::size_t ny = std::size_t(g.ny), rows = ny - 1;
    const int count = PlaneCount(g);
    std::fill(index.begin(), index.begin() + std::ptrdiff_t(MixedIndexWords(g)), 0u);
    // CellsOf over a whole plane at once, cell row by cell row: contiguous words, vectorisable.
    for (int w = 0; w < count; ++w) {
        const std::uint32_t* p = planes.data() + std::size_t(w) * ny;
        const std::uint32_t valid = ExistingCells(g, w);
        const std::uint32_t bit = std::uint32_t(1) << (w % kPlaneBits);
        std::uint32_t* out = index.data() + std::size_t(w / kPlaneBits) * rows;
        if (w + 1 < count) {
            const std::uint32_t* q = p + ny;
            for (std::size_t y = 0; y < rows; ++y) {
                const std::uint32_t c0 = p[y], c3 = p[y + 1];
                const std::uint32_t c1 = (p[y] >> 1) | (q[y] << 31);
                const std::uint32_t c2 = (p[y + 1] >> 1) | (q[y + 1] << 31);
                const std::uint32_t mixed = ((c0 ^ c1) | (c0 ^ c2) | (c0 ^ c3)) & valid;
                out[y] |= mixed != 0 ? bit : 0u;
            }
        } else {
            for (std::size_t y = 0; y < rows; ++y) {
                const std::uint32_t c0 = p[y], c3 = p[y + 1];
                const std::uint32_t c1 = p[y] >> 1, c2 = p[y + 1] >> 1;
                const std::uint32_t mixed = ((c0 ^ c1) | (c0 ^ c2) | (c0 ^ c3)) & valid;
                out[y] |= mixed != 0 ? bit : 0u;
            }
        }
    }
}

} // namespace contour
