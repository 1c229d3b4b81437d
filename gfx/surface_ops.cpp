// Fill, pixel and line on a memory surface (see surface_ops.h).
#include "gfx/surface_ops.h"

#include <algorithm>
#include <cstring>
#include <cstdlib>

namespace gfx {
namespace {

std::uint32_t* Row(const Surface& s, int y) {
    return reinterpret_cast<std::uint32_t*>(reinterpret_cast<std::uint8_t*>(s.pixels) +
                                            static_cast<std::ptrdiff_t>(y) * s.pitch);
}

bool OnSurface(const Surface& s, int x, int y) {
    return x >= 0 && y >= 0 && x < s.width && y < s.height;
}

} // namespace

bool SurfaceUsable(const Surface& s) {
    return s.pixels != nullptr && s.width > 0 && s.height > 0 &&
           static_cast<long long>(s.pitch) >= static_cast<long long>(s.width) * 4;
}

void SurfaceFill(const Surface& s, std::uint32_t colour) {
    if (!SurfaceUsable(s)) return;
    // A colour of four equal bytes (black, the frame's clear) is one memset, several times
    // faster than the word loop the compiler keeps scalar.
    const bool byteWise = (colour & 0xFFu) * 0x01010101u == colour;
    if (s.pitch == s.width * 4) {
        const std::size_t count = static_cast<std::size_t>(s.width) * s.height;
        if (byteWise) {
            std::memset(s.pixels, int(colour & 0xFFu), count * 4);
        } else {
            std::fill_n(s.pixels, count, colour);
        }
        return;
    }
    for (int y = 0; y < s.height; ++y) {
        if (byteWise) {
            std::memset(Row(s, y), int(colour & 0xFFu), static_cast<std::size_t>(s.width) * 4);
        } else {
            std::fill_n(Row(s, y), s.width, colour);
        }
    }
}

void SurfacePutPixel(const Surface& s, int x, int y, std::uint32_t colour) {
    if (!SurfaceUsable(s) || !OnSurface(s, x, y)) return;
    Row(s, y)[x] = colour;
}

void SurfaceLine(const Surface& s, int x1, int y1, int x2, int y2, std::uint32_t colour) {
    if (!SurfaceUsable(s)) return;
    // A line with both ends beyond the same edge has no pixel on the surface.
    if ((x1 < 0 && x2 < 0) || (y1 < 0 && y2 < 0) || (x1 >= s.width && x2 >= s.width) ||
        (y1 >= s.height && y2 >= s.height))
        return;
    const bool inside = OnSurface(s, x1, y1) && OnSurface(s, x2, y2);

    const int dx = std::abs(x2 - x1);
    const int dy = std::abs(y2 - y1);
    const int sx = x1 < x2 ? 1 : -1;
    const int sy = y1 < y2 ? 1 : -1;
    // Walk the major axis one pixel per step; the error term decides the minor steps. It is
    // kept doubled so that the midpoint test stays in integers.
    const bool xMajor = dx >= dy;
    const int major = xMajor ? dx : dy;
    const int minor = xMajor ? dy : dx;
    int err = 2 * minor - major; // >= 0 means the line has reached the pixel midpoint
    int x = x1;
    int y = y1;
    for (int i = 0; i <= major; ++i) {
        if (inside || OnSurface(s, x, y)) Row(s, y)[x] = colour;
        if (err >= 0) {
            if (xMajor)
                y += sy;
            else
                x += sx;
            err -= 2 * major;
        }
        err += 2 * minor;
        if (xMajor)
            x += sx;
        else
            y += sy;
    }
}

} // namespace gfx
