// The drawing calls of TavGFX that only touch surface memory, the same on every platform.
// Construction, text and presentation live in the platform files (tavgfx_linux.cpp and the
// Windows counterpart).
#include "gfx/tavgfx.h"

#include "gfx/construction.h"
#include "gfx/surface.h"
#include "gfx/surface_ops.h"

namespace {

// The surface whose memory starts at bits, when that is the back surface; pixel calls take
// only the memory address, so this is how they learn the bounds they must stay within.
const Surface* SurfaceOfBits(const Surface* back, const std::uint8_t* bits) {
    if (back == nullptr || bits == nullptr) return nullptr;
    if (reinterpret_cast<const std::uint8_t*>(back->pixels) != bits) return nullptr;
    return back;
}

} // namespace

const char* gfx::ConstructionError(std::uint16_t screenX, std::uint16_t screenY, std::uint8_t bpp,
                                   std::uint16_t pages) {
    if (bpp != 32) return "TavGFX: only 32 bits per pixel are supported";
    if (screenX == 0 || screenY == 0) return "TavGFX: the screen size must not be zero";
    if (pages < 2) return "TavGFX: a flip chain needs at least 2 pages";
    return nullptr;
}

void TavGFX::ClearSurf(std::uint32_t colour, Surface* surface) {
    if (surface == nullptr) return;
    gfx::SurfaceFill(*surface, colour);
}

void TavGFX::Lock(Surface* surface) {
    if (surface == nullptr || !gfx::SurfaceUsable(*surface)) return;
    lockedBits = reinterpret_cast<std::uint8_t*>(surface->pixels);
    lockedPitch = surface->pitch;
}

void TavGFX::PutPixel(std::uint16_t x, std::uint16_t y, std::uint32_t colour, std::uint8_t* bits) {
    const Surface* s = SurfaceOfBits(backSurface, bits);
    if (s == nullptr) return;
    gfx::SurfacePutPixel(*s, x, y, colour);
}

void TavGFX::Line(std::uint16_t x1, std::uint16_t y1, std::uint16_t x2, std::uint16_t y2,
                  std::uint32_t colour, std::uint8_t* bits, std::int32_t pitch) {
    const Surface* s = SurfaceOfBits(backSurface, bits);
    // A pitch other than the surface's would walk rows the surface does not have.
    if (s == nullptr || pitch != s->pitch) return;
    gfx::SurfaceLine(*s, x1, y1, x2, y2, colour);
}

void TavGFX::UnLock(Surface* surface) {
    if (surface == nullptr) return;
    if (lockedBits == reinterpret_cast<std::uint8_t*>(surface->pixels)) {
        lockedBits = nullptr;
        lockedPitch = 0;
    }
}
