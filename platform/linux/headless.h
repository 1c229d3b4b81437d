// Headless mode of the Linux window layer, for tests: no SDL video at all, and the events that
// SDL would deliver come from a callback instead. They go through the same translation into
// messages as SDL's, so a test can drive the real message loop.
//
//   platform::EnableHeadless([&](platform::Event& e) { ... return true; });  // before WinMain
//   ...
//   platform::ResetLayer();  // between tests
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/linux/win32_window.h"

namespace platform {

// The window events the layer understands, whatever their source.
enum class EventKind {
    KeyDown,     // vk pressed; repeat is true for an auto-repeat
    KeyUp,       // vk released
    FocusGained, // -> WM_ACTIVATE, WA_ACTIVE, high word = minimised flag
    FocusLost,   // -> WM_ACTIVATE, WA_INACTIVE, high word = minimised flag
    Minimised,   // sets the minimised flag -> WM_ACTIVATE, WA_INACTIVE, high word 1
    Restored,    // clears the minimised flag; no message of its own
    Moved,       // -> WM_MOVE, lParam = MAKELPARAM(x, y)
    CloseRequest // the window's close button -> WM_CLOSE
};

struct Event {
    EventKind kind = EventKind::KeyDown;
    HWND window = nullptr; // NULL: the first live window
    WPARAM vk = 0;
    bool repeat = false;
    int x = 0;
    int y = 0;
};

// Returns true and fills the event when one is waiting, false when nothing waits now.
// PeekMessageA calls it whenever the queue is empty, until it returns false, so returning
// false is what lets the message loop go idle (and draw a frame).
using EventSource = std::function<bool(Event&)>;

// Switches the layer to headless mode: CreateWindowExA makes windows without SDL, and
// GetSystemMetrics reports a 1280 x 1024 desktop.
void EnableHeadless(EventSource source);
bool IsHeadless();

// Returns the layer to its initial state: destroys every window (without messages), forgets
// the classes and the queued messages, leaves headless mode and shuts SDL video down, so the
// next test starts from scratch (and re-reads DISPLAY and SDL_VIDEODRIVER).
void ResetLayer();

// A message box the program asked for (MessageBoxA), in the order asked; ResetLayer forgets
// them.
struct MessageBoxRecord {
    HWND owner = nullptr;
    std::string text;
    std::string caption;
    UINT type = 0;
};
const std::vector<MessageBoxRecord>& MessageBoxesAsked();

// Translates one event into its message (if it has one) and queues it; what the SDL pump and
// the headless source both go through.
void QueueEvent(const Event& event);

inline constexpr int kHeadlessScreenWidth = 1280;
inline constexpr int kHeadlessScreenHeight = 1024;

} // namespace platform
