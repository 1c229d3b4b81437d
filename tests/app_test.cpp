// The window shell: the window procedure's handling of keys, activation and closing, and the
// real WinMain loop driven through the headless window layer.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <functional>
#include <string>

#include <gtest/gtest.h>

#include "tests/float_bits.h"

#include "app/frame.h"
#include "app/shell.h"
#include "app/state.h"
#include "field/charge_field.h"
#include "platform/linux/headless.h"
#include "tests/headless_shell.h"

namespace {

class Shell : public HeadlessShellTest {
  protected:
    // The scripted events: each step either yields an event or returns false (idle).
    bool Next(platform::Event& e) override {
        ++sourceCalls;
        if (script.empty()) {
            e = Key(VK_ESCAPE); // a runaway loop ends rather than hangs
            return true;
        }
        auto step = script.front();
        script.pop_front();
        return step(e);
    }
    static platform::Event Key(WPARAM vk) {
        platform::Event e;
        e.kind = platform::EventKind::KeyDown;
        e.vk = vk;
        return e;
    }
    void Send(platform::Event ev) {
        script.push_back([ev](platform::Event& e) {
            e = ev;
            return true;
        });
    }
    void Idle(std::function<void()> check = {}) {
        script.push_back([check](platform::Event&) {
            if (check) check();
            return false;
        });
    }
    // A window of the demo's class with WndProc, as WinMain makes it.
    HWND MakeWindow() {
        WNDCLASSEXA wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = WndProc;
        wc.lpszClassName = "TavWin";
        EXPECT_TRUE(RegisterClassExA(&wc));
        return CreateWindowExA(0, "TavWin", "Gradient Test in 2D", 0, 0, 0, 800, 600, nullptr,
                               nullptr, nullptr, nullptr);
    }
    std::deque<std::function<bool(platform::Event&)>> script;
    int sourceCalls = 0;
};

TEST_F(Shell, UpAndDownStepTheThresholdInFloat) {
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(WndProc(nullptr, WM_KEYDOWN, VK_UP, 0), 0);
    EXPECT_EQ(Bits(threshold), 0x3F333332u); // one unit below the float nearest 0.7
    char text[100];
    std::snprintf(text, sizeof text, "Threshold = %f", double(threshold));
    EXPECT_STREQ(text, "Threshold = 0.700000");

    threshold = 0.6f;
    for (int i = 0; i < 60; ++i)
        WndProc(nullptr, WM_KEYDOWN, VK_DOWN, 0);
    EXPECT_GT(threshold, 3.0e-7f); // the steps' rounding leaves a little over
    EXPECT_LT(threshold, 3.2e-7f);
    WndProc(nullptr, WM_KEYDOWN, VK_DOWN, 0);
    EXPECT_EQ(Bits(threshold), 0u); // clamped to +0
    WndProc(nullptr, WM_KEYDOWN, VK_DOWN, 0);
    EXPECT_EQ(Bits(threshold), 0u);

    threshold = 0.005f;
    WndProc(nullptr, WM_KEYDOWN, VK_DOWN, 0);
    EXPECT_EQ(Bits(threshold), 0u);
}

TEST_F(Shell, OtherKeysAndReleasesChangeNothing) {
    const HWND w = MakeWindow();
    for (WPARAM vk :
         {WPARAM('A'), WPARAM(0x25) /* left */, WPARAM(0x20) /* space */, WPARAM(0x70) /* F1 */})
        EXPECT_EQ(WndProc(w, WM_KEYDOWN, vk, 0), 0);
    for (WPARAM vk : {WPARAM(VK_UP), WPARAM(VK_DOWN), WPARAM(VK_ESCAPE)})
        EXPECT_EQ(WndProc(w, WM_KEYUP, vk, 0), 0);
    EXPECT_EQ(threshold, 0.6f);
    EXPECT_EQ(appState, 0);
    MSG msg;
    script.push_back([](platform::Event&) { return false; });
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)); // nothing was posted
}

TEST_F(Shell, EscapeOnlyPostsClose) {
    const HWND w = MakeWindow();
    appState = 1;
    EXPECT_EQ(WndProc(w, WM_KEYDOWN, VK_ESCAPE, 0), 0);
    EXPECT_EQ(appState, 1);
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, UINT(WM_CLOSE));
    EXPECT_EQ(msg.hwnd, w);
    Idle();
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(Shell, CloseShutsTheDemoThenDestroysTheWindow) {
    const HWND w = MakeWindow();
    ASSERT_TRUE(InitDemo());
    appState = 1;
    EXPECT_EQ(WndProc(w, WM_CLOSE, 0, 0), 0);
    EXPECT_EQ(appState, 2);
    EXPECT_EQ(gfx, nullptr);
    EXPECT_EQ(FindWindowA("TavWin", nullptr), nullptr);
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)); // from WM_DESTROY
    EXPECT_EQ(msg.message, UINT(WM_QUIT));
    EXPECT_EQ(msg.wParam, WPARAM(0));
}

TEST_F(Shell, ActivationFollowsTheLowWordOnly) {
    EXPECT_EQ(WndProc(nullptr, WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, 0), 0), 0);
    EXPECT_EQ(isActive, 0);
    WndProc(nullptr, WM_ACTIVATE, MAKEWPARAM(WA_ACTIVE, 1), 0); // active though minimised
    EXPECT_EQ(isActive, 1);
    WndProc(nullptr, WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, 1), 0);
    EXPECT_EQ(isActive, 0);
    WndProc(nullptr, WM_ACTIVATE, MAKEWPARAM(WA_CLICKACTIVE, 0), 0);
    EXPECT_EQ(isActive, 1);
}

TEST_F(Shell, MovesReachTheGraphicsOnlyWhileItExists) {
    ASSERT_EQ(gfx, nullptr);
    EXPECT_EQ(WndProc(nullptr, WM_MOVE, 0, MAKELPARAM(10, 20)), 0); // before InitDemo
    ASSERT_TRUE(InitDemo());
    EXPECT_EQ(WndProc(nullptr, WM_MOVE, 0, MAKELPARAM(10, 20)), 0);
    ShutdownDemo();
    EXPECT_EQ(gfx, nullptr);
    EXPECT_EQ(WndProc(nullptr, WM_MOVE, 0, MAKELPARAM(30, 40)), 0); // after ShutdownDemo
}

TEST_F(Shell, LoopHandlesWaitingMessagesBeforeTheNextFrame) {
    for (int i = 0; i < 10; ++i)
        Send(Key(VK_UP));
    bool firstFrameChecked = false;
    // The layer asks the source until it says nothing waits: the first Idle ends the batch of
    // Ups, the second finds the queue empty, so the first frame follows it.
    Idle();
    Idle();
    Idle([&] {
        // That frame was drawn after all ten Ups: drawn at 0.6 every node in (0.6, 0.69999993]
        // would be red; at the new threshold they are blue unless a contour line crosses them.
        const FrameView f = gfx->LastFrame();
        int between = 0, blue = 0;
        for (int a = 0; a < 80; ++a) {
            for (int b = 0; b < 80; ++b) {
                const float v = fieldGrid[a * 80 + b];
                if (v > 0.6f && v <= threshold) {
                    ++between;
                    blue += f.pixels[(10 + 7 * b) * f.pitch + 10 + 7 * a] == 0x0000FFu;
                }
            }
        }
        EXPECT_GT(between, 0);
        firstFrameChecked = blue > between / 2;
    });
    Send(Key(VK_ESCAPE));
    EXPECT_EQ(RunWinMain(), 0);
    EXPECT_TRUE(firstFrameChecked);
    EXPECT_EQ(Bits(threshold), 0x3F333332u);
    EXPECT_EQ(appState, 2);
    EXPECT_EQ(gfx, nullptr);
}

TEST_F(Shell, NoFrameIsDrawnWhileInactive) {
    platform::Event lost;
    lost.kind = platform::EventKind::FocusLost;
    Send(lost);
    bool blank = false, drawn = false;
    for (int i = 0; i < 50; ++i)
        Idle(); // the loop spins without drawing
    Idle([&] {
        const FrameView f = gfx->LastFrame();
        blank = true;
        for (int i = 0; i < f.height * f.pitch; ++i)
            blank = blank && f.pixels[i] == 0;
    });
    platform::Event gained;
    gained.kind = platform::EventKind::FocusGained;
    Send(gained);
    Idle();
    Idle(); // active again: a frame after this idle turn
    Idle([&] { drawn = gfx->LastFrame().pixels[10 * gfx->LastFrame().pitch + 10] != 0; });
    Send(Key(VK_ESCAPE));
    EXPECT_EQ(RunWinMain(), 0);
    EXPECT_TRUE(blank);
    EXPECT_TRUE(drawn);
}

TEST_F(Shell, WithoutGraphicsTheLoopDrawsNothingAndStillCloses) {
    setenv("GRADIENT_FONT", "/nonexistent/font.ttf", 1);
    testing::internal::CaptureStderr();
    EXPECT_EQ(InitDemo(), 0);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(gfx, nullptr);
    EXPECT_NE(err.find("/nonexistent/font.ttf"), std::string::npos) << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;

    // Through WinMain: state 2 from the start, idle turns draw nothing, Escape still closes.
    testing::internal::CaptureStderr();
    for (int i = 0; i < 5; ++i)
        Idle([] { EXPECT_EQ(appState, 2); });
    Send(Key(VK_ESCAPE));
    EXPECT_EQ(RunWinMain(), 0);
    testing::internal::GetCapturedStderr();
    unsetenv("GRADIENT_FONT");
    EXPECT_EQ(gfx, nullptr);
}

TEST_F(Shell, WithoutADisplayWinMainSaysSoAndReturnsOne) {
    platform::ResetLayer(); // not headless: the real SDL path
    const char* display = std::getenv("DISPLAY");
    const std::string saved = display ? display : "";
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    unsetenv("SDL_VIDEODRIVER");
    testing::internal::CaptureStderr();
    const int code = RunWinMain();
    const std::string err = testing::internal::GetCapturedStderr();
    if (!saved.empty()) setenv("DISPLAY", saved.c_str(), 1);
    EXPECT_EQ(code, 1);
    EXPECT_NE(err.find("window"), std::string::npos) << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    EXPECT_EQ(gfx, nullptr);
}

} // namespace
