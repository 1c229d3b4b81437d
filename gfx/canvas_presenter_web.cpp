#include "gfx/canvas_presenter_web.h"

#include <algorithm>
#include <cstddef>

#include <emscripten.h>

#include "gfx/surface_ops.h"

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

// 0x00RRGGBB and the bytes R, G, B, 255 (0xFFBBGGRR in little-endian memory) into each other:
// both swap the outer bytes; the alpha is set on the way to the canvas and dropped back.
constexpr std::uint32_t SwapRedBlue(std::uint32_t p) {
    return ((p & 0xFFu) << 16) | (p & 0xFF00u) | ((p >> 16) & 0xFFu);
}

} // namespace

CanvasPresenter::CanvasPresenter(int width, int height)
    : rgba_(std::size_t(width) * std::size_t(height), 0u), width_(width), height_(height) {}

void CanvasPresenter::Present(const Surface& surface) {
    if (!SurfaceUsable(surface)) return;
    const int w = std::min(width_, surface.width), h = std::min(height_, surface.height);
    for (int y = 0; y < h; ++y) {
        const auto* src = reinterpret_cast<const std::uint32_t*>(
            reinterpret_cast<const std::uint8_t*>(surface.pixels) + std::size_t(y) * surface.pitch);
        std::uint32_t* dst = &rgba_[std::size_t(y) * std::size_t(width_)];
        for (int x = 0; x < w; ++x)
            dst[x] = 0xFF000000u | SwapRedBlue(src[x]);
    }
    PutOnCanvas(rgba_.data(), width_, height_);
}

FrameView CanvasPresenter::Frame() const {
    frame_.resize(rgba_.size());
    std::transform(rgba_.begin(), rgba_.end(), frame_.begin(), SwapRedBlue);
    return FrameView{frame_.data(), width_, height_, width_};
}

} // namespace gfx
