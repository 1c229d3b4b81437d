// GFX_EXPORT puts a member into the executable's export table on Windows (mingw g++ exports
// inline members only when each is marked); elsewhere it keeps the symbol visible.
#pragma once

#ifdef _WIN32
#define GFX_EXPORT __declspec(dllexport)
#else
#define GFX_EXPORT __attribute__((visibility("default"), used))
#endif
