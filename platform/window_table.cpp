// The window table's Win32 calls, the same on every layer that keeps one (window_table.h).
#include "platform/window_table.h"

#include <algorithm>
#include <strings.h>
#include <utility>

using namespace platform::detail;

namespace platform::detail {

HWND HandleOf(const WindowRecord& w) { return reinterpret_cast<HWND>(w.id); }

WindowRecord* FindRecord(HWND window) {
    const auto id = reinterpret_cast<std::uintptr_t>(window);
    if (id == 0) return nullptr;
    for (WindowRecord& w : Table().windows)
        if (w.id == id) return &w;
    return nullptr;
}

const ClassRecord* FindClass(LPCSTR className) {
    if (className == nullptr) return nullptr;
    for (const ClassRecord& c : Table().classes)
        if (strcasecmp(c.name.c_str(), className) == 0) return &c;
    return nullptr;
}

void Append(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Table().queue.push_back(MSG{window, message, wParam, lParam, TickCount(), POINT{0, 0}});
}

HWND AddWindow(WindowRecord w) {
    WindowTable& t = Table();
    w.id = t.nextId;
    t.nextId += 0x10;
    t.windows.push_back(std::move(w));
    return HandleOf(t.windows.back());
}

} // namespace platform::detail

namespace {

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
    if (FindClass(wc->lpszClassName) != nullptr) return 0;
    auto& classes = Table().classes;
    classes.push_back(ClassRecord{wc->lpszClassName, wc->lpfnWndProc});
    return static_cast<ATOM>(0xC000 + classes.size() - 1);
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
    ReleaseWindow(*w);
    WindowTable& t = Table();
    t.windows.erase(t.windows.begin() + (w - t.windows.data()));
    std::erase_if(t.queue, [window](const MSG& m) { return m.hwnd == window; });
    return TRUE;
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
    if (Table().queue.empty()) QueueFoundEmpty();
    auto& queue = Table().queue;
    const auto it = std::find_if(queue.begin(), queue.end(), [&](const MSG& m) {
        return Matches(m, window, filterMin, filterMax);
    });
    if (it == queue.end()) {
        NothingFound();
        return FALSE;
    }
    *msg = *it;
    if ((removeMessage & PM_REMOVE) != 0) queue.erase(it);
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
