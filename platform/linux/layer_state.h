// Internal state of the Linux window layer, shared by its source files: the registered
// classes, the live windows and the message queue. Not for use outside platform/linux.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "platform/linux/headless.h"

struct SDL_Window;

namespace platform::detail {

struct ClassRecord {
    std::string name;
    WNDPROC proc = nullptr;
};

struct WindowRecord {
    std::uintptr_t id = 0; // the handle's value; never reused
    std::string className;
    std::string title;
    WNDPROC proc = nullptr;
    SDL_Window* sdl = nullptr; // null for a headless window
    std::uint32_t sdlId = 0;   // SDL's window id, to route its events
    bool minimised = false;    // the WM_ACTIVATE high word
    bool destroying = false;   // inside DestroyWindow, so a nested call does nothing
};

struct LayerState {
    std::vector<ClassRecord> classes;
    std::vector<WindowRecord> windows;
    std::deque<MSG> queue;
    std::uintptr_t nextId = 0x10010;
    bool headless = false;
    EventSource source;
    bool videoUp = false;
    std::vector<MessageBoxRecord> messageBoxes;
};

LayerState& State();

HWND HandleOf(const WindowRecord& w);
WindowRecord* FindRecord(HWND window);
WindowRecord* FindRecordBySdlId(std::uint32_t sdlId);
WindowRecord* FirstWindow();

// Starts SDL video unless it runs already; false when there is no display to show a window.
bool EnsureVideo();
// Milliseconds on the monotonic clock, for MSG::time.
DWORD TickCount();

// Gathers SDL's pending events into the queue (platform/linux/sdl_events.cpp).
void PumpSdlEvents();

} // namespace platform::detail
