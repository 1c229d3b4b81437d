// The demo's window shell: the program entry, its window and message loop, and the window
// procedure that turns messages and three keys into changes of the demo's state.
#pragma once

#include <cstdint>

#include "platform/win32.h"

// 0 before WinMain sets it, 1 while frames are drawn, 2 once closing.
extern std::int32_t appState;
// Follows WM_ACTIVATE; frames are drawn only while it is set.
extern unsigned char isActive;

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int showCommand);
LRESULT CALLBACK WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void OnWindowMoved();
