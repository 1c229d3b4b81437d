#include "timing/stopwatch.h"

Stopwatch::Stopwatch(timing::TickSource source) : source_(source) {
    frequency = source_.frequency();
    pausedTicks = 0;
    flag = 0;
}

void Stopwatch::Start() {
    pausedTicks = 0;
    startCount = source_.now();
}

void Stopwatch::Pause() { pauseCount = source_.now(); }

void Stopwatch::Resume() {
    const std::int64_t resume = source_.now();
    // pausedTicks + (resume - pauseCount), wrapping like every counter difference.
    pausedTicks = std::int64_t(std::uint64_t(pausedTicks) +
                               (std::uint64_t(resume) - std::uint64_t(pauseCount)));
}

std::int64_t Stopwatch::GetTicks() {
    return timing::ElapsedTicks(source_.now(), startCount, pausedTicks);
}

std::int64_t Stopwatch::GetSeconds() {
    return timing::TicksToSeconds(timing::ElapsedTicks(source_.now(), startCount, pausedTicks),
                                  frequency);
}

std::uint32_t Stopwatch::GetMilliseconds() {
    return timing::TicksToMilliseconds(
        timing::ElapsedTicks(source_.now(), startCount, pausedTicks), frequency);
}
