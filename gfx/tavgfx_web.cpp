// TavGFX in a web page: a software back surface, text from the glyph table built in at build
// time (the font's FreeType glyphs, as on Linux), and the page's canvas as the window.
#include <optional>
#include <string>
#include <vector>

#include "gfx/builtin_glyphs.h"
#include "gfx/canvas_presenter_web.h"
#include "gfx/construction.h"
#include "gfx/headless_presenter.h"
#include "gfx/surface.h"
#include "gfx/tavgfx.h"
#include "gfx/text.h"

struct TavGFX::Impl {
    std::string error;
    std::vector<std::uint32_t> pixels;
    Surface surface;
    gfx::TextRenderer text;
    std::optional<gfx::CanvasPresenter> canvas; // empty when headless
    std::optional<gfx::HeadlessPresenter> headless;
};

TavGFX::TavGFX(std::uint16_t screenX, std::uint16_t screenY, std::uint8_t bpp, std::uint16_t pages,
               std::uint8_t mode)
    : screenX_(screenX), screenY_(screenY), bpp_(bpp), impl_(new Impl) {
    Impl& m = *impl_;
    if (const char* why = gfx::ConstructionError(screenX, screenY, bpp, pages)) {
        m.error = why;
        return;
    }
    m.text.Use(gfx::kBuiltInGlyphs);
    // The canvas is the page's one window; Flip waits for nothing (the message loop is paced
    // by the browser's animation frames), so both window modes show at once.
    if (mode != kModeHeadless)
        m.canvas.emplace(screenX, screenY);
    else
        m.headless.emplace(screenX, screenY);
    m.pixels.assign(static_cast<std::size_t>(screenX) * screenY, 0u);
    m.surface = Surface{m.pixels.data(), screenX, screenY, screenX * 4};
    backSurface = &m.surface;
}

TavGFX::~TavGFX() {
    backSurface = nullptr;
    lockedBits = nullptr;
    delete impl_;
}

void TavGFX::WindowMoved() {}

void TavGFX::TxtOutGDI(int x, int y, const char* text, std::uint32_t colour, Surface* surface) {
    if (surface == nullptr) return;
    impl_->text.Draw(*surface, x, y, text, colour);
}

void TavGFX::Flip() {
    if (backSurface == nullptr) return;
    if (impl_->canvas)
        impl_->canvas->Present(*backSurface);
    else if (impl_->headless)
        impl_->headless->Present(*backSurface);
}

const char* TavGFX::Error() const { return impl_->error.empty() ? nullptr : impl_->error.c_str(); }

FrameView TavGFX::LastFrame() const {
    if (impl_->canvas) return impl_->canvas->Frame();
    if (impl_->headless) return impl_->headless->Frame();
    return FrameView{};
}

bool TavGFX::HasWindow() const { return impl_->canvas.has_value(); }
