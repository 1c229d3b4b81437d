// What each platform supplies beneath TavGFX: the back surface, the text drawn on it, and the
// window presenter when the shell's window is there. tavgfx.cpp holds everything else once.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "gfx/tavgfx.h"

namespace gfx {

// Defined by the platform's file (tavgfx_linux.cpp, tavgfx_win32.cpp), which CMake picks.
struct PlatformPart;
struct PlatformPartDeleter {
    void operator()(PlatformPart* part) const;
};
using PlatformPartPtr = std::unique_ptr<PlatformPart, PlatformPartDeleter>;

// A width x height back surface, the text and, unless mode is TavGFX::kModeHeadless and when
// the window of class "TavWin" exists, a presenter into that window. Null, with error set to
// one line, when something cannot be made.
PlatformPartPtr MakePlatformPart(std::uint16_t width, std::uint16_t height, std::uint8_t mode,
                                 std::string& error);

Surface* BackSurface(PlatformPart& part);
// Text with the top-left corner of its box at (x, y), in colour, over what is there.
void DrawTextOn(PlatformPart& part, Surface& surface, int x, int y, const char* text,
                std::uint32_t colour);

// The window presenter's side: false when the part presents nowhere (TavGFX then keeps a
// headless presenter).
bool HasWindow(const PlatformPart& part);
void WindowMoved(PlatformPart& part);
void PresentInWindow(PlatformPart& part, const Surface& back);
FrameView WindowFrame(const PlatformPart& part);

} // namespace gfx
