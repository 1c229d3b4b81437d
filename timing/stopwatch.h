// Stopwatch on the high-resolution performance counter, and its tick arithmetic as pure
// functions of (ticks, frequency) that tests call directly.
#pragma once

#include <cstdint>

namespace timing {

// now - start - paused in wrapping 64-bit arithmetic.
constexpr std::int64_t ElapsedTicks(std::int64_t now, std::int64_t start, std::int64_t paused) {
    return std::int64_t(std::uint64_t(now) - std::uint64_t(start) - std::uint64_t(paused));
}

// Whole seconds, truncated toward zero; 0 when there is no counter (frequency <= 0).
constexpr std::int64_t TicksToSeconds(std::int64_t elapsed, std::int64_t frequency) {
    return frequency > 0 ? elapsed / frequency : 0;
}

// Whole milliseconds, low 32 bits. From 1000 Hz up the divisor is the truncated ticks per
// millisecond, so a counter that is not a multiple of 1000 Hz runs slightly fast (3,579,545 Hz
// reads 10,001 ms after ten seconds): callers rely on those figures. Below 1000 Hz that divisor
// would be 0; there the value is elapsed * 1000 / frequency, split so that it cannot overflow.
constexpr std::uint32_t TicksToMilliseconds(std::int64_t elapsed, std::int64_t frequency) {
    if (frequency >= 1000) return std::uint32_t(std::uint64_t(elapsed / (frequency / 1000)));
    if (frequency <= 0) return 0;
    const std::int64_t whole = elapsed / frequency, part = elapsed % frequency;
    return std::uint32_t(std::uint64_t(whole) * 1000u + std::uint64_t(part * 1000 / frequency));
}

// Where the ticks come from: the platform's performance counter, or a fake in tests.
struct TickSource {
    std::int64_t (*now)();
    std::int64_t (*frequency)();
};

// The platform's high-resolution counter: QueryPerformanceCounter and QueryPerformanceFrequency
// on Windows, CLOCK_MONOTONIC in nanoseconds (1e9 Hz) elsewhere; CMake picks the file.
TickSource PerformanceCounter();

} // namespace timing

class Stopwatch {
  public:
    std::int64_t startCount = 0;
    std::int64_t frequency = 0;
    std::int64_t pausedTicks = 0;
    std::int64_t pauseCount = 0;
    std::uint8_t flag = 0; // cleared by the constructor, read by nothing

    // Reads the counter frequency once.
    explicit Stopwatch(timing::TickSource source = timing::PerformanceCounter());

    void Start();  // paused time cleared, then the start count taken
    void Pause();  // records the counter; elapsed readings keep growing until Resume
    void Resume(); // subtracts the whole paused interval from then on

    std::int64_t GetTicks();
    std::int64_t GetSeconds();
    std::uint32_t GetMilliseconds();

  private:
    timing::TickSource source_;
};
