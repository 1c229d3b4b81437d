// Window presentation through SDL's renderer (see sdl_presenter.h).
#include "gfx/sdl_presenter.h"

#include <SDL.h>

namespace gfx {

SdlPresenter::SdlPresenter(int width, int height)
    : frame_(width, height), width_(width), height_(height) {}

SdlPresenter::~SdlPresenter() {
    if (texture_ != nullptr) SDL_DestroyTexture(texture_);
    if (renderer_ != nullptr) SDL_DestroyRenderer(renderer_);
}

bool SdlPresenter::Open(SDL_Window* window, bool vsync, std::string& error) {
    renderer_ = SDL_CreateRenderer(window, -1, vsync ? SDL_RENDERER_PRESENTVSYNC : 0);
    // A renderer that cannot wait for the refresh still shows the picture.
    if (renderer_ == nullptr && vsync) renderer_ = SDL_CreateRenderer(window, -1, 0);
    if (renderer_ == nullptr) {
        error = std::string("cannot create an SDL renderer for the window: ") + SDL_GetError();
        return false;
    }
    texture_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING,
                                 width_, height_);
    if (texture_ == nullptr) {
        error = std::string("cannot create an SDL texture: ") + SDL_GetError();
        return false;
    }
    WindowMoved();
    return true;
}

void SdlPresenter::Present(const Surface& surface) {
    frame_.Present(surface);
    if (renderer_ == nullptr || texture_ == nullptr) return;
    const FrameView f = frame_.Frame();
    SDL_UpdateTexture(texture_, nullptr, f.pixels, f.pitch * 4);
    SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
    SDL_RenderClear(renderer_);
    // One surface pixel per drawable pixel, from the top-left corner, whatever the window's
    // real drawable size turns out to be.
    const SDL_Rect dst{0, 0, width_, height_};
    SDL_RenderCopy(renderer_, texture_, nullptr, &dst);
    SDL_RenderPresent(renderer_);
}

void SdlPresenter::WindowMoved() {
    if (renderer_ == nullptr) return;
    SDL_RenderSetViewport(renderer_, nullptr);
}

} // namespace gfx
