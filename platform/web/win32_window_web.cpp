// The Win32 window subset in a web page: the page is the screen and its canvas the one window's
// client area. Classes, windows and the message queue are the shared window table
// (platform/window_table.cpp); the page's keys and visibility arrive as messages
// (page_events.cpp), and PeekMessageA gives the thread back to the browser once per turn of the
// message loop, so the loop runs one turn per animation frame: the waiting messages first, then
// the idle turn that draws the frame.
#include <cstdint>
#include <strings.h>
#include <utility>

#include <emscripten.h>

#include "platform/web/page_events.h"
#include "platform/window_table.h"

using namespace platform::detail;

namespace {

constexpr int kPageWidth = 800, kPageHeight = 600; // the canvas: a window placed at (0, 0)

struct Layer : WindowTable {
    // Set when PeekMessageA has reported an empty queue: the loop has had its idle turn since
    // the last animation frame, so the next empty queue waits for the browser.
    bool idleTurnTaken = false;
};

Layer& State() {
    static Layer layer;
    return layer;
}

} // namespace

namespace platform::detail {

WindowTable& Table() { return State(); }

DWORD TickCount() { return DWORD(std::uint64_t(emscripten_get_now())); }

// Empty again after the idle turn: this turn of the loop is over, so the browser gets the
// thread until its next animation frame (and delivers the page's events meanwhile).
void QueueFoundEmpty() {
    Layer& st = State();
    if (!st.idleTurnTaken) return;
    st.idleTurnTaken = false;
    platform::web::WaitForAnimationFrame();
}

void NothingFound() { State().idleTurnTaken = true; }

void ReleaseWindow(WindowRecord&) {
    if (State().windows.size() == 1) platform::web::StopListening();
}

} // namespace platform::detail

HWND CreateWindowExA(DWORD, LPCSTR className, LPCSTR windowName, DWORD, int, int, int width,
                     int height, HWND, HMENU, HINSTANCE, LPVOID) {
    const ClassRecord* cls = FindClass(className);
    if (cls == nullptr || width <= 0 || height <= 0) return nullptr;
    WindowRecord w;
    w.className = cls->name;
    w.proc = cls->proc;
    const HWND handle = AddWindow(std::move(w));
    // The page shows one window: the first one takes the page's title and its events.
    if (State().windows.size() == 1) {
        platform::web::SetPageTitle(windowName != nullptr ? windowName : "");
        platform::web::ListenToPage(handle);
    }
    return handle;
}

HWND FindWindowA(LPCSTR className, LPCSTR) {
    for (const WindowRecord& w : State().windows)
        if (className == nullptr || strcasecmp(w.className.c_str(), className) == 0)
            return HandleOf(w);
    return nullptr;
}

// The page has no dialogs of its own: the text goes to its status line (and to the console, as
// the shell also prints it), and the box counts as answered at once.
EM_JS(void, ShowOnPage, (const char* caption, const char* text), {
    if (Module['onMessageBox']) Module['onMessageBox'](UTF8ToString(caption), UTF8ToString(text));
});

int MessageBoxA(HWND, LPCSTR text, LPCSTR caption, UINT) {
    ShowOnPage(caption != nullptr ? caption : "Error", text != nullptr ? text : "");
    return IDOK;
}

int GetSystemMetrics(int index) {
    if (index == SM_CXSCREEN) return kPageWidth;
    if (index == SM_CYSCREEN) return kPageHeight;
    return 0;
}
