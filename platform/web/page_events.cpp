// The page's events as window messages, and the animation-frame wait (see page_events.h).
#include "platform/web/page_events.h"

#include <cstring>

#include <emscripten.h>
#include <emscripten/html5.h>

namespace {

HWND listening = nullptr;

// ArrowUp, ArrowDown and Escape as their virtual keys; 0 for every other key.
WPARAM VirtualKey(const char* key) {
    if (std::strcmp(key, "ArrowUp") == 0) return VK_UP;
    if (std::strcmp(key, "ArrowDown") == 0) return VK_DOWN;
    if (std::strcmp(key, "Escape") == 0) return VK_ESCAPE;
    return 0;
}

EM_BOOL OnKeyDown(int, const EmscriptenKeyboardEvent* e, void*) {
    const WPARAM vk = VirtualKey(e->key);
    if (vk == 0 || listening == nullptr) return EM_FALSE; // the page keeps its other keys
    // lParam as Windows fills it: repeat count 1, bit 30 set for an auto-repeat.
    PostMessageA(listening, WM_KEYDOWN, vk, e->repeat ? LPARAM(1) | (LPARAM(1) << 30) : 1);
    return EM_TRUE; // the arrows must not scroll the page
}

EM_BOOL OnVisibility(int, const EmscriptenVisibilityChangeEvent* e, void*) {
    if (listening == nullptr) return EM_FALSE;
    // A hidden page is an inactive, minimised window; a visible one an active window.
    const WORD state = e->hidden ? WA_INACTIVE : WA_ACTIVE;
    PostMessageA(listening, WM_ACTIVATE, MAKEWPARAM(state, e->hidden ? 1 : 0), 0);
    return EM_FALSE;
}

// Resolves on the browser's next animation frame; the C++ stack is unwound meanwhile.
// (No arrow functions in these script bodies: the C++ formatter would split the arrow.)
EM_ASYNC_JS(void, NextAnimationFrame, (),
            { await new Promise(function(resolve) { requestAnimationFrame(resolve); }); });

EM_JS(void, SetTitle, (const char* caption), { document.title = UTF8ToString(caption); });

} // namespace

namespace platform::web {

void ListenToPage(HWND window) {
    listening = window;
    emscripten_set_keydown_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, nullptr, EM_FALSE, OnKeyDown);
    emscripten_set_visibilitychange_callback(nullptr, EM_FALSE, OnVisibility);
    // As a new window is told whether it is active: a page opened in the background starts
    // inactive.
    EmscriptenVisibilityChangeEvent now{};
    if (emscripten_get_visibility_status(&now) == EMSCRIPTEN_RESULT_SUCCESS)
        OnVisibility(0, &now, nullptr);
}

void StopListening() {
    listening = nullptr;
    emscripten_set_keydown_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, nullptr, EM_FALSE, nullptr);
    emscripten_set_visibilitychange_callback(nullptr, EM_FALSE, nullptr);
}

void WaitForAnimationFrame() { NextAnimationFrame(); }

void SetPageTitle(const char* caption) { SetTitle(caption); }

} // namespace platform::web
