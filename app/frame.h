// The demo's lifecycle and its frame: the graphics object and the stopwatch, InitDemo,
// RenderFrame and ShutdownDemo, and the frame's two stages (SampleFrame, DrawFrame) that
// gradient-render and the benchmarks call without a window shell.
#pragma once

#include <cstdint>

#include "gfx/tavgfx.h"
#include "timing/stopwatch.h"

// The one graphics object, live from InitDemo to ShutdownDemo, null otherwise.
extern TavGFX* gfx;
// Started by InitDemo, read by every frame, never paused.
extern Stopwatch demoTimer;

// Creates the graphics object, builds the case table and starts the clock. Returns 0, after
// one line on stderr, when the graphics object cannot be made.
std::int32_t InitDemo();
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
