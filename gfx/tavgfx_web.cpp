// TavGFX's platform part in a web page: a software back surface, text from the glyph table built
// in at build time (the font's FreeType glyphs, as on Linux), and the page's canvas as the
// window. Flip waits for nothing: the message loop is paced by the browser's animation frames.
#include <optional>
#include <vector>

#include "gfx/builtin_glyphs.h"
#include "gfx/canvas_presenter_web.h"
#include "gfx/platform_part.h"
#include "gfx/surface.h"
#include "gfx/text.h"

namespace gfx {

struct PlatformPart {
    std::vector<std::uint32_t> pixels;
    Surface surface;
    TextRenderer text;
    std::optional<CanvasPresenter> canvas;
};

void PlatformPartDeleter::operator()(PlatformPart* part) const { delete part; }

PlatformPartPtr MakePlatformPart(std::uint16_t width, std::uint16_t height, std::uint8_t mode,
                                 std::string&) {
    PlatformPartPtr part(new PlatformPart);
    part->text.Use(kBuiltInGlyphs);
    // The canvas is the page's one window, there whether or not the shell made one.
    if (mode != TavGFX::kModeHeadless) part->canvas.emplace(width, height);
    part->pixels.assign(static_cast<std::size_t>(width) * height, 0u);
    part->surface = Surface{part->pixels.data(), width, height, width * 4};
    return part;
}

Surface* BackSurface(PlatformPart& part) { return &part.surface; }

void DrawTextOn(PlatformPart& part, Surface& surface, int x, int y, const char* text,
                std::uint32_t colour) {
    part.text.Draw(surface, x, y, text, colour);
}

bool HasWindow(const PlatformPart& part) { return part.canvas.has_value(); }
void WindowMoved(PlatformPart&) {}
void PresentInWindow(PlatformPart& part, const Surface& back) { part.canvas->Present(back); }
FrameView WindowFrame(const PlatformPart& part) { return part.canvas->Frame(); }

} // namespace gfx
