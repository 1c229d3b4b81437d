// The presenter without a window: Flip copies the back surface into a front frame that tests
// and the headless renderer read back. The window presenter keeps one too.
#pragma once

#include <cstdint>
#include <vector>

#include "gfx/surface.h"
#include "gfx/tavgfx.h"

namespace gfx {

class HeadlessPresenter {
  public:
    // A front frame of width x height pixels, all zero until the first Present.
    HeadlessPresenter(int width, int height);

    // Copies the surface into the front frame (the part both have in common).
    void Present(const Surface& surface);
    FrameView Frame() const;

  private:
    std::vector<std::uint32_t> frame_;
    int width_;
    int height_;
};

} // namespace gfx
