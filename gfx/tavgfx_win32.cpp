// TavGFX on Windows: the back surface is a DIB section, text goes through GDI, and a presenter
// is chosen at construction (the window of class "TavWin", scaled to its client area, or
// headless).
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>

#include "gfx/dib_surface_win32.h"
#include "gfx/construction.h"
#include "gfx/headless_presenter.h"
#include "gfx/surface.h"
#include "gfx/tavgfx.h"
#include "gfx/window_presenter_win32.h"
#include "platform/win32.h"

struct TavGFX::Impl {
    std::string error;
    gfx::DibSurface dib;
    std::optional<gfx::HeadlessPresenter> headless;
    std::unique_ptr<gfx::WindowPresenter> window;
};

TavGFX::TavGFX(std::uint16_t screenX, std::uint16_t screenY, std::uint8_t bpp, std::uint16_t pages,
               std::uint8_t mode)
    : screenX_(screenX), screenY_(screenY), bpp_(bpp), impl_(new Impl) {
    Impl& m = *impl_;
    if (const char* why = gfx::ConstructionError(screenX, screenY, bpp, pages)) {
        m.error = why;
        return;
    }
    // As on Linux, GRADIENT_FONT names a font file; here it joins the faces GDI chooses from.
    const char* fontFile = std::getenv("GRADIENT_FONT");
    if (fontFile != nullptr && fontFile[0] == '\0') fontFile = nullptr;
    std::string surfaceError;
    if (!m.dib.Create(screenX, screenY, surfaceError, fontFile)) {
        m.error = "TavGFX: " + surfaceError;
        return;
    }
    // The window is created before the graphics object and is found by its class. GDI has no
    // wait for the refresh, so the two window modes present alike.
    HWND hwnd = mode != kModeHeadless ? FindWindowA("TavWin", nullptr) : nullptr;
    if (hwnd != nullptr)
        m.window = std::make_unique<gfx::WindowPresenter>(hwnd, screenX, screenY);
    else
        m.headless.emplace(screenX, screenY);
    backSurface = m.dib.View();
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
    // GDI draws through the DIB's device context, so only the back surface can take text.
    if (surface == nullptr || surface != backSurface) return;
    impl_->dib.Text(x, y, text, colour);
}

void TavGFX::Flip() {
    if (backSurface == nullptr) return;
    if (impl_->window)
        impl_->window->Present(*backSurface, impl_->dib.Dc());
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
