// TavGFX's platform part on Linux: a software back surface, FreeType text, and the SDL window
// the shell created, when there is one.
#include <cstdlib>
#include <memory>
#include <vector>

#include "gfx/platform_part.h"
#include "gfx/sdl_presenter.h"
#include "gfx/surface.h"
#include "gfx/text.h"
#include "platform/linux/sdl_window.h"
#include "platform/win32.h"

namespace gfx {

struct PlatformPart {
    std::vector<std::uint32_t> pixels;
    Surface surface;
    TextRenderer text;
    std::unique_ptr<SdlPresenter> window;
};

void PlatformPartDeleter::operator()(PlatformPart* part) const { delete part; }

PlatformPartPtr MakePlatformPart(std::uint16_t width, std::uint16_t height, std::uint8_t mode,
                                 std::string& error) {
    PlatformPartPtr part(new PlatformPart);
    const char* fontPath = std::getenv(kFontPathVariable);
    if (fontPath == nullptr || fontPath[0] == '\0') fontPath = kDefaultFontPath;
    if (!part->text.Load(fontPath, kFontPixelSize, error)) return nullptr;

    SDL_Window* sdlWindow = nullptr;
    if (mode != TavGFX::kModeHeadless)
        sdlWindow = platform::SdlWindowOf(FindWindowA("TavWin", nullptr));
    if (sdlWindow != nullptr) {
        part->window = std::make_unique<SdlPresenter>(width, height);
        if (!part->window->Open(sdlWindow, mode == TavGFX::kModeVsync, error)) return nullptr;
    }
    part->pixels.assign(static_cast<std::size_t>(width) * height, 0u);
    part->surface = Surface{part->pixels.data(), width, height, width * 4};
    return part;
}

Surface* BackSurface(PlatformPart& part) { return &part.surface; }

void DrawTextOn(PlatformPart& part, Surface& surface, int x, int y, const char* text,
                std::uint32_t colour) {
    part.text.Draw(surface, x, y, text, colour);
}

bool HasWindow(const PlatformPart& part) { return part.window != nullptr; }
void WindowMoved(PlatformPart& part) { part.window->WindowMoved(); }
void PresentInWindow(PlatformPart& part, const Surface& back) { part.window->Present(back); }
FrameView WindowFrame(const PlatformPart& part) { return part.window->Frame(); }

} // namespace gfx
