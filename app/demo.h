// The demo program's globals and entry points: the window shell (WinMain, WndProc) and the
// demo's lifecycle (InitDemo, RenderFrame, ShutdownDemo), all over global state.
#pragma once

#include <cstdint>

#include "gfx/tavgfx.h"
#include "platform/win32.h"
#include "timing/stopwatch.h"

// 0 before WinMain sets it, 1 while frames are drawn, 2 once closing.
extern std::int32_t appState;
// Follows WM_ACTIVATE; frames are drawn only while it is set.
extern unsigned char isActive;
// The one graphics object, live from InitDemo to ShutdownDemo, null otherwise.
extern TavGFX* gfx;
// Started by InitDemo, read by every frame, never paused.
extern Stopwatch demoTimer;

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int showCommand);
LRESULT CALLBACK WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void OnWindowMoved();

// Creates the graphics object, builds the case table and starts the clock. Returns 0, after
// one line on stderr, when the graphics object cannot be made.
std::int32_t InitDemo();
// That line (without its newline) after an InitDemo that failed; empty after one that worked.
const char* DemoStartError();
// One frame at the stopwatch's time.
void RenderFrame();
// One frame at t seconds and the current threshold: SampleFrame, DrawFrame, then Flip.
void RenderFrameAt(float t);
// The charges at t, the whole field grid, then the whole gradient grid.
void SampleFrame(float t);
// The picture of the sampled frame on the back surface: clear, contour, dots, lines, text.
void DrawFrame();
void ShutdownDemo();

// The frame's seconds from the stopwatch's milliseconds, read as unsigned and rounded once.
inline float FrameSeconds(std::uint32_t ms) { return float(double(ms) / 1000.0); }
