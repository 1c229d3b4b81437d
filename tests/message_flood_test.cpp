// Message flood through the real WinMain loop in the headless window layer: 100,000 Up key
// presses arrive at once, then 100,000 Down, then Escape. The threshold must end exactly where
// the same float steps put it, no frame may be drawn while messages wait, and the loop must
// return 0.
//
// Frames are counted by their contour arrays: every frame takes exactly two from new[], and
// nothing else in this program does. The count read at each idle answer of the event source
// shows how many frames came between two answers: none while a flood waits in the queue.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <functional>
#include <new>

#include <gtest/gtest.h>

#include "tests/float_bits.h"

#include "app/frame.h"
#include "app/shell.h"
#include "app/state.h"
#include "field/charge_field.h"
#include "platform/linux/headless.h"
#include "tests/headless_shell.h"

static long arrayNews = 0;
void* operator new[](std::size_t n) {
    ++arrayNews;
    if (void* p = std::malloc(n ? n : 1)) return p;
    throw std::bad_alloc();
}
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

namespace {

long FramesSoFar() { return arrayNews / 2; }

constexpr long kFlood = 100000;
constexpr float kStep = 0.01f;

// The window procedure's arithmetic, written out: a float sum or difference rounded to float
// when stored, and the clamp to +0 tested on the stored value.
float StepsUp(float t, long n) {
    for (long i = 0; i < n; ++i)
        t = t + kStep;
    return t;
}
float StepsDown(float t, long n) {
    for (long i = 0; i < n; ++i) {
        t = t - kStep;
        if (t < 0.0f) t = 0.0f;
    }
    return t;
}

// The dots of the last frame against the field of that frame at threshold t. A node above t
// must be red; one not above is blue unless a (red) contour line passes over it. The text box
// at the top left may cover a few dots; they are left out.
struct DotCount {
    int above = 0;       // nodes whose value lies above t
    int aboveNotRed = 0; // of those, drawn in another colour: a frame at another threshold
    int notAbove = 0;
    int notAboveBlue = 0;
};
DotCount CountDots(float t) {
    const FrameView f = gfx->LastFrame();
    DotCount c;
    for (int a = 0; a < 80; ++a) {
        for (int b = 0; b < 80; ++b) {
            const int x = 10 + 7 * a, y = 10 + 7 * b;
            if (x < 260 && y < 28) continue;
            const std::uint32_t colour = f.pixels[y * f.pitch + x] & 0xFFFFFFu;
            if (fieldGrid[a * 80 + b] > t) {
                ++c.above;
                c.aboveNotRed += colour != 0xFF0000u;
            } else {
                ++c.notAbove;
                c.notAboveBlue += colour == 0x0000FFu;
            }
        }
    }
    return c;
}

class Flood : public HeadlessShellTest {
  protected:
    // Phases of the script: a burst of n key presses, or one idle answer with a check.
    struct Phase {
        WPARAM vk = 0;
        long count = 0; // presses left in a burst; 0 for an idle answer
        std::function<void()> check;
        long* framesAtStart = nullptr; // a burst notes the frame count at its first press
        bool started = false;
    };
    bool Next(platform::Event& e) override {
        if (phases.empty()) { // a runaway loop ends rather than hangs
            e.kind = platform::EventKind::KeyDown;
            e.vk = VK_ESCAPE;
            return true;
        }
        Phase& p = phases.front();
        if (p.count > 0) {
            if (!p.started && p.framesAtStart) *p.framesAtStart = FramesSoFar();
            p.started = true;
            e.kind = platform::EventKind::KeyDown;
            e.vk = p.vk;
            e.repeat = true; // a held key: every auto-repeat is one more step
            if (--p.count == 0) phases.pop_front();
            return true;
        }
        const auto check = p.check;
        phases.pop_front();
        if (check) check();
        return false;
    }
    void Burst(WPARAM vk, long n, long* framesAtStart) {
        phases.push_back({vk, n, {}, framesAtStart});
    }
    void IdleTurn(std::function<void()> check = {}) { phases.push_back({0, 0, std::move(check)}); }
    void Escape() { phases.push_back({VK_ESCAPE, 1, {}}); }

    std::deque<Phase> phases;
};

TEST_F(Flood, HundredThousandUpsThenDownsLandOnTheFloatStepsWithNoFrameBetween) {
    const float afterUps = StepsUp(0.6f, kFlood);
    const float afterDowns = StepsDown(afterUps, kFlood);
    // The steps do not cancel: the sum drifts in the last place long before it comes back.
    EXPECT_NE(Bits(afterUps), Bits(StepsUp(0.6f, kFlood - 1)));

    // The layer gathers events in bursts until the source says nothing waits; the first idle
    // answer therefore ends the burst while its last events still wait in the queue, and only
    // the next one (the queue now drained) lets the loop go idle and draw: there the whole
    // flood must have been applied.
    float seen[2] = {-1.0f, -1.0f};
    DotCount upFrame, downFrame;
    // Frame counts: at the first press of each burst, at the idle answer that ends it, and at
    // the next two idle answers.
    long upStart = -1, upEnd = -2, upSeen = 0, upDrawn = 0;
    long downStart = -1, downEnd = -2, downSeen = 0, downDrawn = 0;
    IdleTurn(); // before the flood: a frame at 0.6
    IdleTurn();
    Burst(VK_UP, kFlood, &upStart);
    IdleTurn([&] { upEnd = FramesSoFar(); }); // ends the burst; its tail may still wait
    IdleTurn([&] { seen[0] = threshold, upSeen = FramesSoFar(); }); // the queue is drained
    IdleTurn([&] { upFrame = CountDots(threshold), upDrawn = FramesSoFar(); });
    Burst(VK_DOWN, kFlood, &downStart);
    IdleTurn([&] { downEnd = FramesSoFar(); });
    IdleTurn([&] { seen[1] = threshold, downSeen = FramesSoFar(); });
    IdleTurn([&] { downFrame = CountDots(threshold), downDrawn = FramesSoFar(); });
    Escape();

    EXPECT_EQ(RunWinMain(), 0);
    EXPECT_TRUE(phases.empty()) << "the loop ended before the script did";
    EXPECT_EQ(appState, 2);
    EXPECT_EQ(gfx, nullptr);

    // Frames before the flood; none from its first press to the idle answer that ends it
    // (the next chance for a frame); one after the idle answer that found the queue drained.
    EXPECT_GE(upStart, 1);
    EXPECT_EQ(upEnd, upStart) << "a frame was drawn while the Ups arrived or waited";
    EXPECT_EQ(upDrawn, upSeen + 1);
    EXPECT_EQ(downEnd, downStart) << "a frame was drawn while the Downs arrived or waited";
    EXPECT_EQ(downDrawn, downSeen + 1);

    EXPECT_EQ(Bits(seen[0]), Bits(afterUps));
    EXPECT_EQ(Bits(seen[1]), Bits(afterDowns));
    EXPECT_EQ(Bits(threshold), Bits(afterDowns));

    // Each frame after a flood was drawn at the flood's final threshold. After the Ups it lies
    // far above every field value: no node above, no contour, every dot blue.
    EXPECT_EQ(upFrame.above, 0);
    EXPECT_EQ(upFrame.notAboveBlue, upFrame.notAbove);
    // After the Downs every node above it is red, where a frame at the Ups' threshold (or any
    // threshold above this one) would have left some of them blue.
    EXPECT_GT(downFrame.above, 0);
    EXPECT_EQ(downFrame.aboveNotRed, 0);
    EXPECT_GT(downFrame.notAboveBlue, downFrame.notAbove / 2);
}

} // namespace
