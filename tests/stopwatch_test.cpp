#include "timing/stopwatch.h"

#include <cstdint>
#include <limits>

#include <gtest/gtest.h>

namespace {

// A counter the test winds by hand.
std::int64_t fakeNow = 0;
std::int64_t fakeFrequency = 3579545;
constexpr timing::TickSource kFake{[] { return fakeNow; }, [] { return fakeFrequency; }};

class StopwatchTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fakeNow = 1000;
        fakeFrequency = 3579545;
    }
};

TEST_F(StopwatchTest, TruncatedDivisorRunsFastOnAnOddFrequency) {
    Stopwatch w(kFake);
    EXPECT_EQ(w.frequency, 3579545);
    EXPECT_EQ(w.flag, 0);
    w.Start();
    EXPECT_EQ(w.GetTicks(), 0);
    EXPECT_EQ(w.GetMilliseconds(), 0u);
    fakeNow += 3579545;
    EXPECT_EQ(w.GetMilliseconds(), 1000u);
    EXPECT_EQ(w.GetSeconds(), 1);
    fakeNow += 9 * 3579545;
    EXPECT_EQ(w.GetTicks(), 35795450);
    EXPECT_EQ(w.GetMilliseconds(), 10001u);
    EXPECT_EQ(w.GetSeconds(), 10);
    fakeNow += 50 * std::int64_t(3579545);
    EXPECT_EQ(w.GetMilliseconds(), 60009u);
}

TEST_F(StopwatchTest, PausedTimeIsSubtractedFromResumeOn) {
    fakeFrequency = 1000;
    Stopwatch w(kFake);
    w.Start();
    fakeNow += 100;
    w.Pause();
    fakeNow += 50;
    EXPECT_EQ(w.GetMilliseconds(), 150u); // still growing while paused
    w.Resume();
    EXPECT_EQ(w.GetMilliseconds(), 100u);
    fakeNow += 10;
    EXPECT_EQ(w.GetTicks(), 110);

    // A second pause before a resume replaces the first.
    w.Pause();
    fakeNow += 20;
    w.Pause();
    fakeNow += 5;
    w.Resume();
    EXPECT_EQ(w.GetTicks(), 110 + 20); // the time between the two pauses counts as running

    // Start clears the paused total.
    w.Start();
    fakeNow += 7;
    EXPECT_EQ(w.GetTicks(), 7);
    EXPECT_EQ(w.pausedTicks, 0);
}

TEST(TickArithmetic, MillisecondsWrapAfterTwoToThe32) {
    const std::int64_t f = 1000000000;
    EXPECT_EQ(timing::TicksToMilliseconds((std::int64_t(1) << 32) * 1000000, f), 0u);
    EXPECT_EQ(timing::TicksToMilliseconds(((std::int64_t(1) << 32) + 5) * 1000000, f), 5u);
    EXPECT_EQ(timing::TicksToMilliseconds(999999, f), 0u);
    EXPECT_EQ(timing::TicksToSeconds(-1999, 1000), -1); // truncation toward zero
}

TEST(TickArithmetic, CounterDifferencesWrap) {
    constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
    constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();
    EXPECT_EQ(timing::ElapsedTicks(kMin + 4, kMax, 0), 5);
    EXPECT_EQ(timing::ElapsedTicks(10, 3, 2), 5);
}

TEST(TickArithmetic, SlowOrMissingCountersGiveSoundValues) {
    // Below 1000 Hz the truncated divisor would be 0: the value is ticks * 1000 / frequency.
    EXPECT_EQ(timing::TicksToMilliseconds(3, 10), 300u);
    EXPECT_EQ(timing::TicksToMilliseconds(7, 999), 7u);
    EXPECT_EQ(timing::TicksToMilliseconds(1, 3), 333u);
    constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
    // floor((2^63 - 1) * 1000 / 999) mod 2^32, worked out in exact integer arithmetic.
    EXPECT_EQ(timing::TicksToMilliseconds(kMax, 999), 1208093903u);
    // No counter at all: no time passes.
    EXPECT_EQ(timing::TicksToMilliseconds(12345, 0), 0u);
    EXPECT_EQ(timing::TicksToSeconds(12345, 0), 0);
    EXPECT_EQ(timing::TicksToMilliseconds(12345, -5), 0u);
    // From 1000 Hz the figures are exactly the truncated ones.
    EXPECT_EQ(timing::TicksToMilliseconds(1999, 1000), 1999u);
    EXPECT_EQ(timing::TicksToMilliseconds(3579545, 3579545), 1000u);
}

TEST(PerformanceCounter, IsMonotonicWithAFixedFrequency) {
    Stopwatch w;
    EXPECT_GE(w.frequency, 1000);
    w.Start();
    const std::int64_t a = w.GetTicks();
    const std::int64_t b = w.GetTicks();
    EXPECT_GE(a, 0);
    EXPECT_GE(b, a);
    EXPECT_LT(w.GetMilliseconds(), 1000u);
}

} // namespace
