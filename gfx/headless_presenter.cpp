// Front-frame copy of the headless presenter (see headless_presenter.h).
#include "gfx/headless_presenter.h"

#include <algorithm>
#include <cstring>

#include "gfx/surface_ops.h"

namespace gfx {

HeadlessPresenter::HeadlessPresenter(int width, int height)
    : frame_(static_cast<std::size_t>(std::max(width, 0)) * std::max(height, 0), 0u),
      width_(std::max(width, 0)), height_(std::max(height, 0)) {}

void HeadlessPresenter::Present(const Surface& s) {
    if (!SurfaceUsable(s)) return;
    const int w = std::min(width_, s.width);
    const int h = std::min(height_, s.height);
    const auto* src = reinterpret_cast<const std::uint8_t*>(s.pixels);
    for (int y = 0; y < h; ++y)
        std::memcpy(&frame_[static_cast<std::size_t>(y) * width_],
                    src + static_cast<std::ptrdiff_t>(y) * s.pitch,
                    static_cast<std::size_t>(w) * 4);
}

FrameView HeadlessPresenter::Frame() const {
    return FrameView{frame_.data(), width_, height_, width_};
}

} // namespace gfx
