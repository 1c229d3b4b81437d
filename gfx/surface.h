// The drawing surface of the graphics class: 32-bit pixels in the layout 0x00RRGGBB, rows top
// down. The memory belongs to whoever made the surface (a buffer on Linux, a DIB section on
// Windows); the surface only describes it.
#pragma once

#include <cstdint>

struct Surface {
    std::uint32_t* pixels = nullptr; // first pixel of the top row
    int width = 0;                   // in pixels
    int height = 0;                  // in rows
    int pitch = 0;                   // bytes from one row to the next, at least width * 4
};
