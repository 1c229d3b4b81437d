// The message queue of the Linux window layer: posting, peeking, dispatching, and the
// translation of window events into the messages Windows would send.
#include <algorithm>

#include "platform/linux/headless.h"
#include "platform/linux/layer_state.h"
#include "platform/linux/win32_window.h"

using namespace platform::detail;

namespace {

// A headless source that never says "nothing waits" would hang the loop; this many events per
// empty queue is far more than any test injects at once.
constexpr int kMaxEventsPerPump = 4096;

void Append(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    State().queue.push_back(MSG{window, message, wParam, lParam, TickCount(), POINT{0, 0}});
}

void Gather() {
    LayerState& st = State();
    if (st.headless) {
        if (!st.source) return;
        platform::Event e;
        for (int i = 0; i < kMaxEventsPerPump && st.source(e); ++i) {
            platform::QueueEvent(e);
            e = platform::Event{};
        }
        return;
    }
    if (st.videoUp) PumpSdlEvents();
}

bool Matches(const MSG& m, HWND window, UINT lo, UINT hi) {
    if (window != nullptr && m.hwnd != window) return false;
    if (lo == 0 && hi == 0) return true;
    return m.message >= lo && m.message <= hi;
}

} // namespace

namespace platform {

void QueueEvent(const Event& e) {
    WindowRecord* w = e.window != nullptr ? FindRecord(e.window) : FirstWindow();
    if (w == nullptr) return;
    const HWND h = HandleOf(*w);
    switch (e.kind) {
    case EventKind::KeyDown:
        // lParam as Windows fills it: repeat count 1, bit 30 set when the key was down before.
        if (e.vk != 0) Append(h, WM_KEYDOWN, e.vk, e.repeat ? LPARAM(1) | (LPARAM(1) << 30) : 1);
        break;
    case EventKind::KeyUp:
        if (e.vk != 0) Append(h, WM_KEYUP, e.vk, LPARAM(1) | (LPARAM(3) << 30));
        break;
    case EventKind::FocusGained:
        Append(h, WM_ACTIVATE, MAKEWPARAM(WA_ACTIVE, w->minimised ? 1 : 0), 0);
        break;
    case EventKind::FocusLost:
        Append(h, WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, w->minimised ? 1 : 0), 0);
        break;
    case EventKind::Minimised:
        w->minimised = true;
        Append(h, WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, 1), 0);
        break;
    case EventKind::Restored:
        w->minimised = false;
        break;
    case EventKind::Moved:
        Append(h, WM_MOVE, 0, MAKELPARAM(e.x, e.y));
        break;
    case EventKind::CloseRequest:
        Append(h, WM_CLOSE, 0, 0);
        break;
    }
}

} // namespace platform

BOOL PeekMessageA(MSG* msg, HWND window, UINT filterMin, UINT filterMax, UINT removeMessage) {
    if (msg == nullptr) return FALSE;
    auto& queue = State().queue;
    if (queue.empty()) Gather();
    const auto it = std::find_if(queue.begin(), queue.end(), [&](const MSG& m) {
        return Matches(m, window, filterMin, filterMax);
    });
    if (it == queue.end()) return FALSE;
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
