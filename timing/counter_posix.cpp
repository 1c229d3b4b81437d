// The performance counter on POSIX systems: CLOCK_MONOTONIC in nanoseconds, so the frequency is
// 1e9 and a reading never goes back.
#include <ctime>

#include "timing/stopwatch.h"

namespace timing {

TickSource PerformanceCounter() {
    return {[]() -> std::int64_t {
                timespec ts{};
                if (clock_gettime(CLOCK_MONOTONIC, &ts) != 0) return 0;
                return std::int64_t(ts.tv_sec) * 1000000000 + ts.tv_nsec;
            },
            []() -> std::int64_t { return 1000000000; }};
}

} // namespace timing
