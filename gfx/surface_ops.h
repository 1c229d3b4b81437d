// Platform-neutral operations on a memory surface: fill, single pixels and integer Bresenham
// lines. Each one clips against the surface, so no coordinate can make it write outside, and
// each does nothing on a surface without memory.
#pragma once

#include <cstdint>

#include "gfx/surface.h"

namespace gfx {

// True when the surface has memory and a sane geometry (positive size, pitch >= width * 4).
bool SurfaceUsable(const Surface& surface);

// Fills every pixel of the surface with colour.
void SurfaceFill(const Surface& surface, std::uint32_t colour);

// Sets pixel (x, y) to colour when it lies on the surface; otherwise does nothing.
void SurfacePutPixel(const Surface& surface, int x, int y, std::uint32_t colour);

// Draws the line from (x1, y1) to (x2, y2) with integer Bresenham, both end points included,
// traced from the first point towards the second (on a tie between two pixels the step goes
// to the farther one, as rounding half up along the direction of travel). Pixels off the
// surface are skipped, so the pixels drawn are exactly those of the unclipped line that lie on
// the surface.
void SurfaceLine(const Surface& surface, int x1, int y1, int x2, int y2, std::uint32_t colour);

} // namespace gfx
