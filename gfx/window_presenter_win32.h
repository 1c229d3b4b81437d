// The presenter for the "TavWin" window on Windows: Flip keeps a copy of the frame (as the
// headless presenter does) and stretches the whole DIB onto the window's client area. The
// window's fixed outer size of 800 x 600 leaves a smaller client area, so the picture is scaled
// to fit rather than cut, in a stretch mode that keeps every lit pixel: every dot and the text
// stay in view.
#pragma once

#include "gfx/headless_presenter.h"
#include "gfx/surface.h"
#include "platform/win32.h"

namespace gfx {

class WindowPresenter {
  public:
    WindowPresenter(HWND window, int width, int height);

    // Copies the surface into the kept frame, then draws dc's width x height picture (the
    // surface's DIB) scaled to the cached client rectangle.
    void Present(const Surface& surface, HDC dc);
    // Re-reads the client rectangle; forgets the window once it is gone.
    void WindowMoved();
    FrameView Frame() const { return frame_.Frame(); }

  private:
    HeadlessPresenter frame_;
    HWND window_;
    int width_;
    int height_;
    int clientWidth_ = 0;
    int clientHeight_ = 0;
};

} // namespace gfx
