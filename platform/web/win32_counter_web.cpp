// The performance counter in a web page: the browser's monotonic clock (performance.now, in
// milliseconds with a fraction) counted in whole microseconds, so the frequency is 1,000,000 Hz
// and a millisecond is exactly 1000 ticks. The browser may coarsen the clock (to 100 us, say);
// the ticks then advance in steps but never go back.
#include <cmath>

#include <emscripten.h>

#include "platform/linux/win32_counter.h"

BOOL QueryPerformanceCounter(LARGE_INTEGER* count) {
    count->QuadPart = LONGLONG(std::floor(emscripten_get_now() * 1000.0));
    return TRUE;
}

BOOL QueryPerformanceFrequency(LARGE_INTEGER* frequency) {
    frequency->QuadPart = 1000000;
    return TRUE;
}
