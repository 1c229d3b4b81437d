// TavGFX's platform part on Windows: the back surface is a DIB section, text goes through GDI,
// and the window of class "TavWin", when there is one, shows the picture scaled to its client
// area.
#include <memory>

#include "gfx/dib_surface_win32.h"
#include "gfx/platform_part.h"
#include "gfx/surface.h"
#include "gfx/window_presenter_win32.h"
#include "platform/win32.h"

namespace gfx {

struct PlatformPart {
    DibSurface dib;
    std::unique_ptr<WindowPresenter> window;
};

void PlatformPartDeleter::operator()(PlatformPart* part) const { delete part; }

PlatformPartPtr MakePlatformPart(std::uint16_t width, std::uint16_t height, std::uint8_t mode,
                                 std::string& error) {
    PlatformPartPtr part(new PlatformPart);
    if (!part->dib.Create(width, height, error)) return nullptr;
    // The window is created before the graphics object and is found by its class. GDI has no
    // wait for the refresh, so the two window modes present alike.
    const HWND hwnd = mode != TavGFX::kModeHeadless ? FindWindowA("TavWin", nullptr) : nullptr;
    if (hwnd != nullptr) part->window = std::make_unique<WindowPresenter>(hwnd, width, height);
    return part;
}

Surface* BackSurface(PlatformPart& part) { return part.dib.View(); }

void DrawTextOn(PlatformPart& part, Surface& surface, int x, int y, const char* text,
                std::uint32_t colour) {
    // GDI draws through the DIB's device context, so only the back surface can take text.
    if (&surface != part.dib.View()) return;
    part.dib.Text(x, y, text, colour);
}

bool HasWindow(const PlatformPart& part) { return part.window != nullptr; }
void WindowMoved(PlatformPart& part) { part.window->WindowMoved(); }
void PresentInWindow(PlatformPart& part, const Surface& back) {
    part.window->Present(back, part.dib.Dc());
}
FrameView WindowFrame(const PlatformPart& part) { return part.window->Frame(); }

} // namespace gfx
