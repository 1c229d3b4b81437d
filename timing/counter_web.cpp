// The performance counter in a web page: the browser's monotonic clock (performance.now, in
// milliseconds with a fraction) counted in whole microseconds, so the frequency is 1,000,000 Hz
// and a millisecond is exactly 1000 ticks. The browser may coarsen its clock (to 100 us, say);
// the ticks then advance in steps but never go back.
#include <cmath>

#include <emscripten.h>

#include "timing/stopwatch.h"

namespace timing {

TickSource PerformanceCounter() {
    return {
        []() -> std::int64_t { return std::int64_t(std::floor(emscripten_get_now() * 1000.0)); },
        []() -> std::int64_t { return 1000000; }};
}

} // namespace timing
