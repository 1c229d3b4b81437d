// TavGFX on every platform: construction and its errors, the drawing calls that only touch
// surface memory, and presentation (the platform's window, or headless). The platform part
// (gfx/platform_part.h) supplies the surface, the text and the window presenter.
#include "gfx/tavgfx.h"

#include <optional>
#include <string>

#include "gfx/construction.h"
#include "gfx/headless_presenter.h"
#include "gfx/platform_part.h"
#include "gfx/surface.h"
#include "gfx/surface_ops.h"

struct TavGFX::Impl {
    std::string error;
    gfx::PlatformPartPtr part;
    std::optional<gfx::HeadlessPresenter> headless;
};

namespace {

// The surface whose memory starts at bits, when that is the back surface; pixel calls take
// only the memory address, so this is how they learn the bounds they must stay within.
const Surface* SurfaceOfBits(const Surface* back, const std::uint8_t* bits) {
    if (back == nullptr || bits == nullptr) return nullptr;
    if (reinterpret_cast<const std::uint8_t*>(back->pixels) != bits) return nullptr;
    return back;
}

} // namespace

const char* gfx::ConstructionError(std::uint16_t screenX, std::uint16_t screenY, std::uint8_t bpp,
                                   std::uint16_t pages) {
    if (bpp != 32) return "TavGFX: only 32 bits per pixel are supported";
    if (screenX == 0 || screenY == 0) return "TavGFX: the screen size must not be zero";
    if (pages < 2) return "TavGFX: a flip chain needs at least 2 pages";
    return nullptr;
}

TavGFX::TavGFX(std::uint16_t screenX, std::uint16_t screenY, std::uint8_t bpp, std::uint16_t pages,
               std::uint8_t mode)
    : screenX_(screenX), screenY_(screenY), bpp_(bpp), impl_(new Impl) {
    Impl& m = *impl_;
    if (const char* why = gfx::ConstructionError(screenX, screenY, bpp, pages)) {
        m.error = why;
        return;
    }
    std::string why;
    m.part = gfx::MakePlatformPart(screenX, screenY, mode, why);
    if (!m.part) {
        m.error = "TavGFX: " + why;
        return;
    }
    if (!gfx::HasWindow(*m.part)) m.headless.emplace(screenX, screenY);
    backSurface = gfx::BackSurface(*m.part);
}

TavGFX::~TavGFX() {
    backSurface = nullptr;
    lockedBits = nullptr;
    delete impl_;
}

void TavGFX::WindowMoved() {
    if (impl_->part && gfx::HasWindow(*impl_->part)) gfx::WindowMoved(*impl_->part);
}

void TavGFX::TxtOutGDI(int x, int y, const char* text, std::uint32_t colour, Surface* surface) {
    if (surface == nullptr || !impl_->part) return;
    gfx::DrawTextOn(*impl_->part, *surface, x, y, text, colour);
}

void TavGFX::Flip() {
    if (backSurface == nullptr) return;
    if (impl_->headless)
        impl_->headless->Present(*backSurface);
    else
        gfx::PresentInWindow(*impl_->part, *backSurface);
}

const char* TavGFX::Error() const { return impl_->error.empty() ? nullptr : impl_->error.c_str(); }

FrameView TavGFX::LastFrame() const {
    if (impl_->headless) return impl_->headless->Frame();
    if (impl_->part) return gfx::WindowFrame(*impl_->part);
    return FrameView{};
}

bool TavGFX::HasWindow() const { return impl_->part && gfx::HasWindow(*impl_->part); }

void TavGFX::ClearSurf(std::uint32_t colour, Surface* surface) {
    if (surface == nullptr) return;
    gfx::SurfaceFill(*surface, colour);
}

void TavGFX::Lock(Surface* surface) {
    if (surface == nullptr || !gfx::SurfaceUsable(*surface)) return;
    lockedBits = reinterpret_cast<std::uint8_t*>(surface->pixels);
    lockedPitch = surface->pitch;
}

void TavGFX::PutPixel(std::uint16_t x, std::uint16_t y, std::uint32_t colour, std::uint8_t* bits) {
    const Surface* s = SurfaceOfBits(backSurface, bits);
    if (s == nullptr) return;
    gfx::SurfacePutPixel(*s, x, y, colour);
}

void TavGFX::Line(std::uint16_t x1, std::uint16_t y1, std::uint16_t x2, std::uint16_t y2,
                  std::uint32_t colour, std::uint8_t* bits, std::int32_t pitch) {
    const Surface* s = SurfaceOfBits(backSurface, bits);
    // A pitch other than the surface's would walk rows the surface does not have.
    if (s == nullptr || pitch != s->pitch) return;
    gfx::SurfaceLine(*s, x1, y1, x2, y2, colour);
}

void TavGFX::UnLock(Surface* surface) {
    if (surface == nullptr) return;
    if (lockedBits == reinterpret_cast<std::uint8_t*>(surface->pixels)) {
        lockedBits = nullptr;
        lockedPitch = 0;
    }
}
