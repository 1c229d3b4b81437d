// TavGFX on Linux: a software back surface, FreeType text, and a presenter chosen at
// construction (the SDL window the shell created, or headless).
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "gfx/construction.h"
#include "gfx/headless_presenter.h"
#include "gfx/sdl_presenter.h"
#include "gfx/surface.h"
#include "gfx/tavgfx.h"
#include "gfx/text.h"
#include "platform/linux/sdl_window.h"
#include "platform/win32.h"

struct TavGFX::Impl {
    std::string error;
    std::vector<std::uint32_t> pixels;
    Surface surface;
    gfx::TextRenderer text;
    std::optional<gfx::HeadlessPresenter> headless;
    std::unique_ptr<gfx::SdlPresenter> window;
};

TavGFX::TavGFX(std::uint16_t screenX, std::uint16_t screenY, std::uint8_t bpp, std::uint16_t pages,
               std::uint8_t mode)
    : screenX_(screenX), screenY_(screenY), bpp_(bpp), impl_(new Impl) {
    Impl& m = *impl_;
    if (const char* why = gfx::ConstructionError(screenX, screenY, bpp, pages)) {
        m.error = why;
        return;
    }
    const char* fontPath = std::getenv(gfx::kFontPathVariable);
    if (fontPath == nullptr || fontPath[0] == '\0') fontPath = gfx::kDefaultFontPath;
    std::string textError;
    if (!m.text.Load(fontPath, gfx::kFontPixelSize, textError)) {
        m.error = "TavGFX: " + textError;
        return;
    }

    SDL_Window* sdlWindow = nullptr;
    if (mode != kModeHeadless) sdlWindow = platform::SdlWindowOf(FindWindowA("TavWin", nullptr));
    if (sdlWindow != nullptr) {
        m.window = std::make_unique<gfx::SdlPresenter>(screenX, screenY);
        std::string presenterError;
        if (!m.window->Open(sdlWindow, mode == kModeVsync, presenterError)) {
            m.window.reset();
            m.error = "TavGFX: " + presenterError;
            return;
        }
    } else {
        m.headless.emplace(screenX, screenY);
    }

    m.pixels.assign(static_cast<std::size_t>(screenX) * screenY, 0u);
    m.surface = Surface{m.pixels.data(), screenX, screenY, screenX * 4};
    backSurface = &m.surface;
}

TavGFX::~TavGFX() {
    backSurface = nullptr;
    lockedBits = nullptr;
    delete impl_;
}

void TavGFX::WindowMoved() {
    if (impl_->window) impl_->window->WindowMoved();
}

void TavGFX::TxtOutGDI(int x, int y, const char* text, std::uint32_t colour, Surface* surface) {
    if (surface == nullptr) return;
    impl_->text.Draw(*surface, x, y, text, colour);
}

void TavGFX::Flip() {
    if (backSurface == nullptr) return;
    if (impl_->window)
        impl_->window->Present(*backSurface);
    else if (impl_->headless)
        impl_->headless->Present(*backSurface);
}

const char* TavGFX::Error() const { return impl_->error.empty() ? nullptr : impl_->error.c_str(); }

FrameView TavGFX::LastFrame() const {
    if (impl_->window) return impl_->window->Frame();
    if (impl_->headless) return impl_->headless->Frame();
    return FrameView{};
}

bool TavGFX::HasWindow() const { return impl_->window != nullptr; }
