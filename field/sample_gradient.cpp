// SampleGradient on its own, a node row at a time: like SampleField, compiled for vector
// registers (see field/CMakeLists.txt) and kept apart so that the flags touch nothing else.
#include <cassert>

#include "field/charge_field.h"

namespace field {

void SampleGradient(std::span<const float> field, GridSize g, float step, std::span<Vector2> out) {
    assert(field.size() >= g.NodeCount() && "field smaller than the grid");
    assert(out.size() >= g.NodeCount() && "gradient output smaller than the grid");
    if (g.NodeCount() == 0) return;
    const std::size_t ny = std::size_t(g.ny);
    for (int a = 0; a < g.nx; ++a) {
        Vector2* row = out.data() + g.Index(a, 0);
        // The outer ring, where NodeGradient gives the zero vector: the first and last rows
        // whole, and the first and last node of every other row.
        if (a == 0 || a == g.nx - 1 || g.ny < 3) {
            for (std::size_t b = 0; b < ny; ++b)
                row[b] = Vector2(0.0f, 0.0f);
            continue;
        }
        const float* left = field.data() + g.Index(a - 1, 0);
        const float* mid = field.data() + g.Index(a, 0);
        const float* right = field.data() + g.Index(a + 1, 0);
        row[0] = Vector2(0.0f, 0.0f);
        // Each component with NodeGradient's operations: a difference, then a true division.
        for (std::size_t b = 1; b + 1 < ny; ++b)
            row[b] = Vector2((right[b] - left[b]) / step, (mid[b + 1] - mid[b - 1]) / step);
        row[ny - 1] = Vector2(0.0f, 0.0f);
    }
}

} // namespace field
