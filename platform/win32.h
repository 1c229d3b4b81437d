// The Win32 subset the shell and the graphics class call: <windows.h> itself
// on Windows, our own small layer with the same names on Linux.
#pragma once

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#else
#include "platform/linux/win32_types.h"
#include "platform/linux/win32_window.h"
#endif
