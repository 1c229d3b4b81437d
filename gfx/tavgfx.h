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
    // Presentation modes, the constructor's last argument.
    static constexpr std::uint8_t kModeHeadless = 0;  // never looks for a window
    static constexpr std::uint8_t kModeImmediate = 1; // in the window, Flip shows at once
    static constexpr std::uint8_t kModeVsync = 2;     // in the window, Flip waits for the refresh

    // The demo passes (800, 600, 32, 2, 2). screenX x screenY is the size of the back surface
    // and of the picture; bpp must be 32. pages counts the pages of the flip chain, front page
    // included: there is always one back surface (backSurface) and one front page (the
    // presenter's copy, LastFrame), so it must be at least 2 and more behave as 2. mode picks
    // the presentation (kMode*): with 1 or 2 the picture goes to the window of class "TavWin"
    // when there is one, otherwise (and with 0) to the headless presenter.
    // Failure (bpp, a zero size, too few pages, the font, the window's renderer) leaves
    // backSurface null and Error() set. The font is DejaVu Sans Mono, or the file named by the
    // environment variable GRADIENT_FONT. (On Windows the text is drawn by GDI in the faces of
    // dib_surface_win32.h; a file named there is added to the faces GDI has, and one it cannot
    // load is a failure as on Linux.)
    TavGFX(std::uint16_t screenX, std::uint16_t screenY, std::uint8_t bpp, std::uint16_t pages,
           std::uint8_t mode);
    ~TavGFX();
    TavGFX(const TavGFX&) = delete;
    TavGFX& operator=(const TavGFX&) = delete;

    // Lets the window presenter re-read what it knows of the window.
    void WindowMoved();
    // Fills the whole surface with colour.
    void ClearSurf(std::uint32_t colour, Surface* surface);
    // Sets lockedBits and lockedPitch to the surface's memory and row pitch in bytes.
    void Lock(Surface* surface);
    // Sets one pixel. bits must be the locked back surface's memory (anything else draws
    // nothing); a pixel off the surface is skipped.
    void PutPixel(std::uint16_t x, std::uint16_t y, std::uint32_t colour, std::uint8_t* bits);
    // Integer Bresenham from (x1, y1) to (x2, y2), both end points included. bits and pitch
    // must be the locked back surface's (anything else draws nothing); pixels off the surface
    // are skipped.
    void Line(std::uint16_t x1, std::uint16_t y1, std::uint16_t x2, std::uint16_t y2,
              std::uint32_t colour, std::uint8_t* bits, std::int32_t pitch);
    // Clears lockedBits and lockedPitch when they belong to this surface.
    void UnLock(Surface* surface);
    // Draws text with the top-left corner of its box at (x, y), about 15 px high, in colour
    // over what is there (antialiased, the background shows through), clipped to the surface.
    void TxtOutGDI(int x, int y, const char* text, std::uint32_t colour, Surface* surface);
    // Hands the back surface to the presenter; the back surface keeps its contents.
    void Flip();

    GFX_EXPORT std::uint16_t GetScreenX() { return screenX_; }
    GFX_EXPORT std::uint16_t GetScreenY() { return screenY_; }
    GFX_EXPORT std::uint32_t GetBpp() { return bpp_; }

    // Null when construction succeeded; otherwise one line naming what is missing, and
    // backSurface is null.
    const char* Error() const;
    // The frame as it stood at the last Flip (all zero before the first).
    FrameView LastFrame() const;
    // True when the picture goes to a window, false when headless.
    bool HasWindow() const;

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
