// Writes a frame as an 8-bit RGB PNG.
#pragma once

#include <cstdio>
#include <string>

#include "gfx/tavgfx.h"

// False (with error set to one line) when the frame cannot be encoded or written.
bool WritePng(std::FILE* file, const FrameView& frame, std::string& error);
