// What the Linux window layer adds to the message queue: gathering SDL's or the headless
// source's events when it runs empty, and their translation into the messages Windows would
// send.
#include "platform/linux/headless.h"
#include "platform/linux/layer_state.h"
#include "platform/linux/win32_window.h"

using namespace platform::detail;

namespace {

// A headless source that never says "nothing waits" would hang the loop; this many events per
// empty queue is far more than any test injects at once.
constexpr int kMaxEventsPerPump = 4096;

} // namespace

namespace platform::detail {

// Gathers what waits (SDL's events, or the headless source's) into the queue.
void QueueFoundEmpty() {
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

void NothingFound() {}

} // namespace platform::detail

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
