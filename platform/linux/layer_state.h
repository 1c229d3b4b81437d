// Internal state of the Linux window layer, shared by its source files: the registered
// classes, the live windows and the message queue. Not for use outside platform/linux.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/linux/headless.h"
#include "platform/window_table.h"

namespace platform::detail {

// The window table (classes, windows, queue) and what only the Linux layer needs.
struct LayerState : WindowTable {
    bool headless = false;
    EventSource source;
    bool videoUp = false;
    std::vector<MessageBoxRecord> messageBoxes;
};

LayerState& State();

WindowRecord* FindRecordBySdlId(std::uint32_t sdlId);
WindowRecord* FirstWindow();

// Starts SDL video unless it runs already; false when there is no display to show a window.
bool EnsureVideo();

// Gathers SDL's pending events into the queue (platform/linux/sdl_events.cpp).
void PumpSdlEvents();

} // namespace platform::detail
