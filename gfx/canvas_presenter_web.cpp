#include "gfx/canvas_presenter_web.h"

#include <cstddef>

#include <emscripten.h>

namespace gfx {
namespace {

// The page's canvas (Module.canvas) shows width x height pixels from the bytes at rgba. The
// image data is a view on the module's memory, made afresh each time because the memory's
// buffer may have been replaced. The page counts the frames it is shown.
EM_JS(void, PutOnCanvas, (const void* rgba, int width, int height), {
    const canvas = Module['canvas'];
    if (!canvas) return;
    const context = canvas.getContext('2d');
    const bytes = new Uint8ClampedArray(HEAPU8.buffer, rgba, width * height * 4);
    context.putImageData(new ImageData(bytes, width, height), 0, 0);
    Module['framesShown'] = (Module['framesShown'] || 0) + 1;
});

} // namespace

CanvasPresenter::CanvasPresenter(int width, int height)
    : frame_(width, height), rgba_(std::size_t(width) * std::size_t(height), 0u), width_(width),
      height_(height) {}

void CanvasPresenter::Present(const Surface& surface) {
    frame_.Present(surface);
    const FrameView f = frame_.Frame();
    // 0x00RRGGBB to the bytes R, G, B, 255: in the little-endian memory that is 0xFFBBGGRR.
    for (int y = 0; y < f.height; ++y) {
        const std::uint32_t* src = f.pixels + std::size_t(y) * std::size_t(f.pitch);
        std::uint32_t* dst = &rgba_[std::size_t(y) * std::size_t(width_)];
        for (int x = 0; x < f.width; ++x) {
            const std::uint32_t p = src[x];
            dst[x] = 0xFF000000u | ((p & 0xFFu) << 16) | (p & 0xFF00u) | ((p >> 16) & 0xFFu);
        }
    }
    PutOnCanvas(rgba_.data(), width_, height_);
}

} // namespace gfx
