// The presenter for a real window: Flip keeps a copy of the frame (as the headless presenter
// does) and shows it 1:1 in the window's drawable area through an SDL renderer and a streaming
// texture in the surface's own layout (SDL_PIXELFORMAT_RGB888 is 0x00RRGGBB).
#pragma once

#include <string>

#include "gfx/headless_presenter.h"

struct SDL_Window;
struct SDL_Renderer;
struct SDL_Texture;

namespace gfx {

class SdlPresenter {
  public:
    SdlPresenter(int width, int height);
    ~SdlPresenter();
    SdlPresenter(const SdlPresenter&) = delete;
    SdlPresenter& operator=(const SdlPresenter&) = delete;

    // Creates the renderer and the texture on window; vsync makes Present wait for the
    // display's refresh. Returns false with one line in error when either cannot be made.
    bool Open(SDL_Window* window, bool vsync, std::string& error);
    void Present(const Surface& surface);
    // Resets the viewport to the window's current drawable area (after a move to another
    // display, say), so the picture stays 1:1 at its top-left corner.
    void WindowMoved();
    FrameView Frame() const { return frame_.Frame(); }

  private:
    HeadlessPresenter frame_;
    int width_;
    int height_;
    SDL_Renderer* renderer_ = nullptr;
    SDL_Texture* texture_ = nullptr;
};

} // namespace gfx
