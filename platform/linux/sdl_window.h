// The SDL window behind a window handle, for the graphics class's window presenter.
#pragma once

#include "platform/linux/win32_window.h"

struct SDL_Window;

namespace platform {

// The SDL window of a live window, or null (no such window, or a headless one).
SDL_Window* SdlWindowOf(HWND window);

} // namespace platform
