// Soak: many frames through the headless presenter, with times that sweep the animation (t = 0,
// where three nodes are infinite, every thousandth frame, and the millisecond count running
// through its 2^32 wrap) and the threshold walking from 0 to 10 and back. The resident set,
// read from /proc/self/statm, must stay flat after the first 1,000 frames: a frame that kept
// even its two empty contour arrays would grow it by 64 bytes a frame.
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "app/frame.h"
#include "app/state.h"
#include "field/charge_field.h"

namespace {

constexpr long kDefaultFrames = 100000;
constexpr long kWarmUpFrames = 1000;
// The growth allowed after the warm-up. The smallest leak a frame can make (its two arrays at
// a count of 0) would add over 6 MB across the run; allocator and page noise stays far below.
constexpr long kRssBoundBytes = 2L * 1024 * 1024;
// One step of the millisecond count between frames: 42,967 ms, so 100,000 frames run past
// 2^32 ms and wrap to 0 near the end, landing on phases all over the charges' paths.
constexpr std::uint32_t kMsStride = 42967;
constexpr float kTopThreshold = 10.0f;

long Frames() {
    const char* v = std::getenv("GRADIENT_SOAK_FRAMES");
    const long n = v ? std::strtol(v, nullptr, 10) : kDefaultFrames;
    return n > 2 * kWarmUpFrames ? n : 2 * kWarmUpFrames;
}

long ResidentBytes() {
    std::FILE* f = std::fopen("/proc/self/statm", "r");
    long size = 0, resident = 0;
    if (f) {
        if (std::fscanf(f, "%ld %ld", &size, &resident) != 2) resident = 0;
        std::fclose(f);
    }
    return resident * sysconf(_SC_PAGESIZE);
}

// The threshold of frame k of n: 0 at the start, 10 half-way, back to 0 at the end.
float WalkedThreshold(long k, long n) {
    const long half = n / 2;
    const long up = k <= half ? k : n - k;
    return float(double(up) / double(half) * double(kTopThreshold));
}

std::uint32_t Pixel(int x, int y) {
    const FrameView f = gfx->LastFrame();
    return f.pixels[y * f.pitch + x] & 0xFFFFFFu;
}

TEST(Soak, ResidentMemoryStaysFlatOverManyFrames) {
    ASSERT_TRUE(InitDemo());
    const long n = Frames();
    long baseline = 0, peak = 0, wraps = 0, zeroFrames = 0;
    std::uint32_t previous = 0;
    for (long k = 0; k < n; ++k) {
        std::uint32_t ms = std::uint32_t(k) * kMsStride; // unsigned: wraps at 2^32
        if (k > 0 && ms < previous) ++wraps;
        previous = ms;
        if (k % 1000 == 0) ms = 0;
        threshold = WalkedThreshold(k, n);
        RenderFrameAt(FrameSeconds(ms));

        if (ms == 0) {
            ++zeroFrames;
            // At t = 0 the charges sit on nodes (40, 60), (40, 45) and (40, 65): infinite,
            // above any threshold, drawn red.
            ASSERT_EQ(Pixel(10 + 7 * 40, 10 + 7 * 60), 0xFF0000u) << "frame " << k;
            ASSERT_EQ(Pixel(10 + 7 * 40, 10 + 7 * 45), 0xFF0000u) << "frame " << k;
            ASSERT_EQ(Pixel(10 + 7 * 40, 10 + 7 * 65), 0xFF0000u) << "frame " << k;
        }
        if (k == kWarmUpFrames) baseline = ResidentBytes();
        if (k > kWarmUpFrames && k % 1000 == 0) peak = std::max(peak, ResidentBytes());
    }
    peak = std::max(peak, ResidentBytes());
    ShutdownDemo();

    EXPECT_EQ(wraps, n >= kDefaultFrames ? 1 : 0) << "the millisecond count wraps once";
    EXPECT_EQ(zeroFrames, (n + 999) / 1000);
    ASSERT_GT(baseline, 0) << "no resident size from /proc/self/statm";
    const long growth = peak - baseline;
    std::printf("soak: %ld frames, resident %ld KiB after %ld frames, peak %ld KiB, growth %ld "
                "bytes (bound %ld)\n",
                n, baseline / 1024, kWarmUpFrames, peak / 1024, growth, kRssBoundBytes);
    EXPECT_LE(growth, kRssBoundBytes);
}

// The time of the last millisecond before the wrap and of the wrap itself reach the frame as
// the largest seconds and 0, never as a negative time.
TEST(Soak, MillisecondWrapGivesLargestTimeThenZero) {
    const std::uint32_t last = 0xFFFFFFFFu;
    EXPECT_EQ(FrameSeconds(last), float(4294967.295));
    EXPECT_GT(FrameSeconds(last), 0.0f);
    EXPECT_EQ(FrameSeconds(std::uint32_t(last + 1u)), 0.0f);

    ASSERT_TRUE(InitDemo());
    threshold = 0.6f;
    RenderFrameAt(FrameSeconds(last));
    RenderFrameAt(FrameSeconds(std::uint32_t(last + 1u)));
    EXPECT_EQ(Pixel(10 + 7 * 40, 10 + 7 * 60), 0xFF0000u); // t = 0 again: charge 0 on (40, 60)
    ShutdownDemo();
}

} // namespace
