// The window table both window layers (Linux and the web page) keep: registered classes, live
// windows and the message queue, and the Win32 calls that need nothing else. Each layer defines
// the hooks below in its own files. Not for use outside platform/.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "platform/linux/win32_window.h"

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
    SDL_Window* sdl = nullptr; // the Linux layer's SDL window; null when headless or in a page
    std::uint32_t sdlId = 0;   // SDL's window id, to route its events
    bool minimised = false;    // the WM_ACTIVATE high word
    bool destroying = false;   // inside DestroyWindow, so a nested call does nothing
};

struct WindowTable {
    std::vector<ClassRecord> classes;
    std::vector<WindowRecord> windows;
    std::deque<MSG> queue;
    std::uintptr_t nextId = 0x10010;
};

HWND HandleOf(const WindowRecord& w);
WindowRecord* FindRecord(HWND window);
// The registered class of that name (case-insensitive), or null.
const ClassRecord* FindClass(LPCSTR className);
// Queues a message, stamped with the layer's clock.
void Append(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Gives the window's record a handle and adds it to the table.
HWND AddWindow(WindowRecord w);

// The hooks, one definition per layer.
WindowTable& Table();
// Milliseconds on the layer's clock, for MSG::time.
DWORD TickCount();
// PeekMessageA found the queue empty: the layer may gather what waits outside first.
void QueueFoundEmpty();
// PeekMessageA found no message to return.
void NothingFound();
// DestroyWindow is about to forget the window (its procedure has seen WM_DESTROY).
void ReleaseWindow(WindowRecord& w);

} // namespace platform::detail
