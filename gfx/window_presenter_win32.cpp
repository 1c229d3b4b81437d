// Scaled presentation into the window's client area (see window_presenter_win32.h).
#include "gfx/window_presenter_win32.h"

namespace gfx {

WindowPresenter::WindowPresenter(HWND window, int width, int height)
    : frame_(width, height), window_(window), width_(width), height_(height) {
    WindowMoved();
}

void WindowPresenter::Present(const Surface& surface, HDC dc) {
    frame_.Present(surface);
    // Minimised when last read (a zero client area): read again, in case it was restored
    // without a move reaching us.
    if (clientWidth_ <= 0 || clientHeight_ <= 0) WindowMoved();
    // Gone, or still minimised: the kept frame is all there is to show.
    if (window_ == nullptr || clientWidth_ <= 0 || clientHeight_ <= 0) return;
    HDC target = GetDC(window_);
    if (target == nullptr) return;
    // Shrinking drops rows and columns. COLORONCOLOR would delete them, and with them three
    // rows and three columns of dots and at times a one-pixel stroke of the text; WHITEONBLACK
    // ORs each dropped line into the one kept, so on the black background every lit pixel
    // stays, in its own pure colour (only where a dot meets a line do the two mix).
    SetStretchBltMode(target, WHITEONBLACK);
    StretchBlt(target, 0, 0, clientWidth_, clientHeight_, dc, 0, 0, width_, height_, SRCCOPY);
    ReleaseDC(window_, target);
}

void WindowPresenter::WindowMoved() {
    if (window_ != nullptr && !IsWindow(window_)) window_ = nullptr;
    RECT client{};
    if (window_ != nullptr && GetClientRect(window_, &client)) {
        clientWidth_ = client.right - client.left;
        clientHeight_ = client.bottom - client.top;
    } else {
        clientWidth_ = clientHeight_ = 0;
    }
}

} // namespace gfx
