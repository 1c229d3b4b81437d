// The demo's sizes, named once: the window, the grid, and where the grid's nodes land on it.
#pragma once

#include <cstddef>

#include "field/grid.h"

namespace demo {

// The window's outer size, which is also the surface's size and the frame's clipping bounds.
inline constexpr int kWindowWidth = 800;
inline constexpr int kWindowHeight = 600;

// The field's grid: 80 x 80 nodes.
inline constexpr int kGridSide = 80;
inline constexpr field::GridSize kGrid{kGridSide, kGridSide};
inline constexpr std::size_t kNodes = std::size_t(kGridSide) * kGridSide;

// Node (a, b) is drawn at pixel (10 + 7a, 10 + 7b).
inline constexpr int kDotOrigin = 10;
inline constexpr int kDotSpacing = 7;

} // namespace demo
