// The contour walk's first pass: every node of a grid classified against the threshold at once,
// as bit planes that put the nodes of one cell row (equal second index) side by side.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "field/grid.h"

namespace field {

// Nodes per plane word.
inline constexpr int kPlaneBits = 32;

// Words the planes of grid g take: one word per node row b for every 32 values of a.
constexpr std::size_t AbovePlaneWords(GridSize g) {
    return g.nx > 0 && g.ny > 0
               ? std::size_t((g.nx + kPlaneBits - 1) / kPlaneBits) * std::size_t(g.ny)
               : 0;
}

// planes[w * ny + b] gets bit k set exactly when node (32 w + k, b) is strictly above t, the
// comparison of the case index: a value equal to t, or NaN, is not above. Bits for a >= nx are
// clear. field is read once, front to back. planes must hold AbovePlaneWords(g) words.
void ClassifyAbove(std::span<const float> field, GridSize g, float t,
                   std::span<std::uint32_t> planes);

} // namespace field
