// The presenter for a web page: Flip converts the back surface's 0x00RRGGBB pixels into the
// canvas's R, G, B, A bytes, which are the front page, and puts them on the page's canvas with
// putImageData straight from the module's memory.
#pragma once

#include <cstdint>
#include <vector>

#include "gfx/surface.h"
#include "gfx/tavgfx.h"

namespace gfx {

class CanvasPresenter {
  public:
    // A front page of width x height pixels, all zero until the first Present.
    CanvasPresenter(int width, int height);

    // Converts the surface (the part both have in common) and shows it.
    void Present(const Surface& surface);
    // The front page in 0x00RRGGBB again, converted back when asked (tests and tools ask;
    // the frame loop does not).
    FrameView Frame() const;

  private:
    std::vector<std::uint32_t> rgba_; // four bytes to a pixel, as the canvas takes them
    mutable std::vector<std::uint32_t> frame_;
    int width_;
    int height_;
};

} // namespace gfx
