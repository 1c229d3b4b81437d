// TavGFX: the graphics class the demo draws through. An 800 x 600, 32-bit surface (colour
// layout 0x00RRGGBB, so 0xFF0000 is pure red), pixels and Bresenham lines that never write
// outside it, text, and a presenter chosen at construction (a window, or headless).
#pragma once

#include <cstdint>

#include "gfx/export.h"

// The drawing surface: a software buffer on Linux, a DIB section on Windows (gfx/surface.h).
struct Surface;

// The last flipped frame, top-down rows of 0x00RRGGBB pixels.
struct FrameView {
    const std::uint32_t* pixels = nullptr;
    int width = 0;
    int height = 0;
    int pitch = 0; // in pixels
};

class TavGFX {
  public:
    // The demo passes (800, 600, 32, 2, 2): screen size, bits per pixel, the number of pages in
    // the flip chain, and the presentation mode (see gfx/README or the implementation).
    TavGFX(std::uint16_t screenX, std::uint16_t screenY, std::uint8_t bpp, std::uint16_t pages,
           std::uint8_t mode);
    ~TavGFX();
    TavGFX(const TavGFX&) = delete;
    TavGFX& operator=(const TavGFX&) = delete;

    void WindowMoved();
    void ClearSurf(std::uint32_t colour, Surface* surface);
    void Lock(Surface* surface);
    void PutPixel(std::uint16_t x, std::uint16_t y, std::uint32_t colour, std::uint8_t* bits);
    void Line(std::uint16_t x1, std::uint16_t y1, std::uint16_t x2, std::uint16_t y2,
              std::uint32_t colour, std::uint8_t* bits, std::int32_t pitch);
    void UnLock(Surface* surface);
    void TxtOutGDI(int x, int y, const char* text, std::uint32_t colour, Surface* surface);
    void Flip();

    GFX_EXPORT std::uint16_t GetScreenX() { return screenX_; }
    GFX_EXPORT std::uint16_t GetScreenY() { return screenY_; }
    GFX_EXPORT std::uint32_t GetBpp() { return bpp_; }

    // Null when construction succeeded; otherwise one line naming what is missing, and
    // backSurface is null.
    const char* Error() const;
    // The frame as it stood at the last Flip (all zero before the first).
    FrameView LastFrame() const;

    Surface* backSurface = nullptr;
    std::uint8_t* lockedBits = nullptr;
    std::int32_t lockedPitch = 0;

  private:
    std::uint16_t screenX_;
    std::uint16_t screenY_;
    std::uint8_t bpp_;
    struct Impl;
    Impl* impl_ = nullptr;
};
