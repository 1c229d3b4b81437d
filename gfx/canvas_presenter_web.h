// The presenter for a web page: Flip keeps a copy of the frame (as the headless presenter does)
// and puts it on the page's canvas with putImageData, straight from the module's memory after
// converting 0x00RRGGBB pixels to the canvas's R, G, B, A bytes.
#pragma once

#include <cstdint>
#include <vector>

#include "gfx/headless_presenter.h"

namespace gfx {

class CanvasPresenter {
  public:
    CanvasPresenter(int width, int height);

    void Present(const Surface& surface);
    FrameView Frame() const { return frame_.Frame(); }

  private:
    HeadlessPresenter frame_;
    std::vector<std::uint32_t> rgba_; // the canvas's bytes, four to a pixel
    int width_;
    int height_;
};

} // namespace gfx
