// The Win32 window subset in a web page: the page is the screen and its canvas the one window's
// client area. Classes, windows and the message queue work as on the Linux layer; the page's
// keys and visibility arrive as messages (page_events.cpp), and PeekMessageA gives the thread
// back to the browser once per turn of the message loop, so the loop runs one turn per
// animation frame: the waiting messages first, then the idle turn that draws the frame.
#include <algorithm>
#include <cstdint>
#include <deque>
#include <string>
#include <strings.h>
#include <vector>

#include <emscripten.h>

#include "platform/linux/win32_window.h"
#include "platform/web/page_events.h"

namespace {

constexpr int kPageWidth = 800, kPageHeight = 600; // the canvas: a window placed at (0, 0)

struct ClassRecord {
    std::string name;
    WNDPROC proc = nullptr;
};

struct WindowRecord {
    std::uintptr_t id = 0; // the handle's value; never reused
    std::string className;
    WNDPROC proc = nullptr;
    bool destroying = false;
};

struct Layer {
    std::vector<ClassRecord> classes;
    std::vector<WindowRecord> windows;
    std::deque<MSG> queue;
    std::uintptr_t nextId = 0x10010;
    // Set when PeekMessageA has reported an empty queue: the loop has had its idle turn since
    // the last animation frame, so the next empty queue waits for the browser.
    bool idleTurnTaken = false;
};

Layer& State() {
    static Layer layer;
    return layer;
}

HWND HandleOf(const WindowRecord& w) { return reinterpret_cast<HWND>(w.id); }

WindowRecord* FindRecord(HWND window) {
    for (WindowRecord& w : State().windows)
        if (HandleOf(w) == window) return &w;
    return nullptr;
}

DWORD TickCount() { return DWORD(std::uint64_t(emscripten_get_now())); }

void Append(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    State().queue.push_back(MSG{window, message, wParam, lParam, TickCount(), POINT{0, 0}});
}

bool Matches(const MSG& m, HWND window, UINT lo, UINT hi) {
    if (window != nullptr && m.hwnd != window) return false;
    if (lo == 0 && hi == 0) return true;
    return m.message >= lo && m.message <= hi;
}

} // namespace

ATOM RegisterClassExA(const WNDCLASSEXA* wc) {
    if (wc == nullptr || wc->cbSize != sizeof(WNDCLASSEXA) || wc->lpfnWndProc == nullptr ||
        wc->lpszClassName == nullptr || wc->lpszClassName[0] == '\0')
        return 0;
    auto& classes = State().classes;
    for (const ClassRecord& c : classes)
        if (strcasecmp(c.name.c_str(), wc->lpszClassName) == 0) return 0;
    classes.push_back(ClassRecord{wc->lpszClassName, wc->lpfnWndProc});
    return static_cast<ATOM>(0xC000 + classes.size() - 1);
}

HWND CreateWindowExA(DWORD, LPCSTR className, LPCSTR windowName, DWORD, int, int, int width,
                     int height, HWND, HMENU, HINSTANCE, LPVOID) {
    Layer& st = State();
    if (className == nullptr) return nullptr;
    const ClassRecord* cls = nullptr;
    for (const ClassRecord& c : st.classes)
        if (strcasecmp(c.name.c_str(), className) == 0) cls = &c;
    if (cls == nullptr || width <= 0 || height <= 0) return nullptr;
    WindowRecord w;
    w.id = st.nextId;
    w.className = cls->name;
    w.proc = cls->proc;
    st.nextId += 0x10;
    st.windows.push_back(std::move(w));
    const HWND handle = HandleOf(st.windows.back());
    // The page shows one window: the first one takes the page's title and its events.
    if (st.windows.size() == 1) {
        platform::web::SetPageTitle(windowName != nullptr ? windowName : "");
        platform::web::ListenToPage(handle);
    }
    return handle;
}

BOOL DestroyWindow(HWND window) {
    WindowRecord* w = FindRecord(window);
    if (w == nullptr || w->destroying) return FALSE;
    w->destroying = true;
    const WNDPROC proc = w->proc;
    proc(window, WM_DESTROY, 0, 0);
    // The procedure may have created or destroyed windows, so look the record up again.
    w = FindRecord(window);
    if (w == nullptr) return TRUE;
    Layer& st = State();
    st.windows.erase(st.windows.begin() + (w - st.windows.data()));
    std::erase_if(st.queue, [window](const MSG& m) { return m.hwnd == window; });
    if (st.windows.empty()) platform::web::StopListening();
    return TRUE;
}

HWND FindWindowA(LPCSTR className, LPCSTR) {
    for (const WindowRecord& w : State().windows)
        if (className == nullptr || strcasecmp(w.className.c_str(), className) == 0)
            return HandleOf(w);
    return nullptr;
}

int GetSystemMetrics(int index) {
    if (index == SM_CXSCREEN) return kPageWidth;
    if (index == SM_CYSCREEN) return kPageHeight;
    return 0;
}

HMODULE GetModuleHandleA(LPCSTR) { return reinterpret_cast<HMODULE>(std::uintptr_t{0x400000}); }

HICON LoadIconA(HINSTANCE, LPCSTR) { return reinterpret_cast<HICON>(std::uintptr_t{0x10003}); }

HCURSOR LoadCursorA(HINSTANCE, LPCSTR) {
    return reinterpret_cast<HCURSOR>(std::uintptr_t{0x10005});
}

HGDIOBJ GetStockObject(int object) {
    if (object < 0 || object > 19) return nullptr;
    return reinterpret_cast<HGDIOBJ>(std::uintptr_t{0x1900010} + std::uintptr_t(object));
}

BOOL PeekMessageA(MSG* msg, HWND window, UINT filterMin, UINT filterMax, UINT removeMessage) {
    if (msg == nullptr) return FALSE;
    Layer& st = State();
    // Empty again after the idle turn: this turn of the loop is over, so the browser gets the
    // thread until its next animation frame (and delivers the page's events meanwhile).
    if (st.queue.empty() && st.idleTurnTaken) {
        st.idleTurnTaken = false;
        platform::web::WaitForAnimationFrame();
    }
    const auto it = std::find_if(st.queue.begin(), st.queue.end(), [&](const MSG& m) {
        return Matches(m, window, filterMin, filterMax);
    });
    if (it == st.queue.end()) {
        st.idleTurnTaken = true;
        return FALSE;
    }
    *msg = *it;
    if ((removeMessage & PM_REMOVE) != 0) st.queue.erase(it);
    return TRUE;
}

BOOL TranslateMessage(const MSG*) { return FALSE; }

LRESULT DispatchMessageA(const MSG* msg) {
    if (msg == nullptr) return 0;
    const WindowRecord* w = FindRecord(msg->hwnd);
    if (w == nullptr) return 0;
    return w->proc(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

LRESULT DefWindowProcA(HWND window, UINT message, WPARAM, LPARAM) {
    if (message == WM_CLOSE) DestroyWindow(window);
    return 0;
}

BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (window != nullptr && FindRecord(window) == nullptr) return FALSE;
    Append(window, message, wParam, lParam);
    return TRUE;
}

void PostQuitMessage(int exitCode) {
    Append(nullptr, WM_QUIT, static_cast<WPARAM>(static_cast<UINT>(exitCode)), 0);
}
