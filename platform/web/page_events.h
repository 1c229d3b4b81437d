// The web window layer's link to the page: the browser's events that become window messages,
// and the wait for the next animation frame that paces the message loop.
#pragma once

#include "platform/linux/win32_window.h"

namespace platform::web {

// Starts listening to the page (keydown, visibilitychange) for window; the events are queued
// as messages for it. Called when the first window is created.
void ListenToPage(HWND window);
// Stops listening; called when the last window is destroyed.
void StopListening();
// Gives the thread back to the browser until its next animation frame. Page events that
// arrive meanwhile are queued before this returns.
void WaitForAnimationFrame();
// Shows the caption as the page's title.
void SetPageTitle(const char* caption);

} // namespace platform::web
