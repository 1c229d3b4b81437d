// Win32 scalar and handle types, with the Windows sizes (LONG is 32-bit), for the Linux layer.
#pragma once

#include <cstdint>

#define WINAPI
#define CALLBACK
#define APIENTRY

using BOOL = int;
using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using LONG = std::int32_t;
using UINT = unsigned int;
using UINT_PTR = std::uintptr_t;
using LONG_PTR = std::intptr_t;
using WPARAM = UINT_PTR;
using LPARAM = LONG_PTR;
using LRESULT = LONG_PTR;
using ATOM = WORD;
using LPSTR = char*;
using LPCSTR = const char*;

inline constexpr BOOL FALSE = 0;
inline constexpr BOOL TRUE = 1;
