// The performance counter on Windows: QueryPerformanceCounter and its fixed frequency.
#include <windows.h>

#include "timing/stopwatch.h"

namespace timing {

TickSource PerformanceCounter() {
    return {[]() -> std::int64_t {
                LARGE_INTEGER c;
                QueryPerformanceCounter(&c);
                return c.QuadPart;
            },
            []() -> std::int64_t {
                LARGE_INTEGER f;
                QueryPerformanceFrequency(&f);
                return f.QuadPart;
            }};
}

} // namespace timing
