// Tests of the Linux window layer: headless event injection through the real message queue,
// the translation into messages, window lifetime, quitting, the desktop metrics, the refusal of
// a display-less SDL, and SDL's own events through the same translation.
#include <gtest/gtest.h>

#include <SDL.h>

#include <cstdlib>
#include <deque>
#include <string>
#include <vector>

#include "platform/linux/headless.h"
#include "platform/linux/sdl_window.h"
#include "platform/win32.h"
#include "xvfb_display.h"

namespace {

// A message of the application's own range (WM_USER), which the layer queues like any other.
constexpr UINT kAppMessage = 0x0400;

struct Seen {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

std::vector<Seen> g_seen;
// What the test procedure does on WM_CLOSE and WM_DESTROY, as the shell's does.
bool g_shellLike = false;

LRESULT CALLBACK RecordingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    g_seen.push_back({hwnd, message, wParam, lParam});
    if (g_shellLike) {
        switch (message) {
        case WM_KEYDOWN:
            if (wParam == VK_ESCAPE) {
                PostMessageA(hwnd, WM_CLOSE, 0, 0);
                return 0;
            }
            break;
        case WM_CLOSE:
            DestroyWindow(hwnd);
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            break;
        }
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

// A scripted event source: each batch is a set of events that are waiting at once, and each
// ends with a report of "nothing waits" (so an empty batch gives the loop one idle turn).
struct Script {
    std::deque<std::vector<platform::Event>> batches;
    std::vector<platform::Event> current;
    std::size_t next = 0;
    int idleReports = 0;

    bool operator()(platform::Event& e) {
        if (next < current.size()) {
            e = current[next++];
            return true;
        }
        ++idleReports;
        if (!batches.empty()) {
            current = std::move(batches.front());
            batches.pop_front();
            next = 0;
        }
        return false;
    }
};

platform::Event Key(WPARAM vk, bool down = true, bool repeat = false) {
    platform::Event e;
    e.kind = down ? platform::EventKind::KeyDown : platform::EventKind::KeyUp;
    e.vk = vk;
    e.repeat = repeat;
    return e;
}

platform::Event Kind(platform::EventKind k, int x = 0, int y = 0) {
    platform::Event e;
    e.kind = k;
    e.x = x;
    e.y = y;
    return e;
}

class PlatformTest : public ::testing::Test {
  protected:
    void SetUp() override {
        platform::ResetLayer();
        g_seen.clear();
        g_shellLike = false;
    }
    void TearDown() override { platform::ResetLayer(); }

    static ATOM Register(const char* name = "TavWin") {
        WNDCLASSEXA wc{};
        wc.cbSize = sizeof wc;
        wc.style = CS_HREDRAW | CS_VREDRAW;
        wc.lpfnWndProc = RecordingProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
        wc.hIconSm = wc.hIcon;
        wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
        wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
        wc.lpszClassName = name;
        return RegisterClassExA(&wc);
    }
    static HWND Create(const char* title = "Gradient Test in 2D") {
        return CreateWindowExA(0, "TavWin", title,
                               WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, 240, 212, 800,
                               600, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    }
    // Takes every waiting message; stops at the first idle report.
    static std::vector<MSG> Drain() {
        std::vector<MSG> out;
        MSG m;
        while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE))
            out.push_back(m);
        return out;
    }
};

} // namespace

TEST(Win32Macros, WordsAndStyles) {
    EXPECT_EQ(WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, 0x10CA0000u);
    EXPECT_EQ(CS_HREDRAW | CS_VREDRAW, 3u);
    EXPECT_EQ(LOWORD(MAKEWPARAM(WA_CLICKACTIVE, 1)), WA_CLICKACTIVE);
    EXPECT_EQ(HIWORD(MAKEWPARAM(WA_CLICKACTIVE, 1)), 1);
    EXPECT_EQ(LOWORD(MAKELPARAM(-3, 700)), 0xFFFD);
    EXPECT_EQ(HIWORD(MAKELPARAM(-3, 700)), 700);
    EXPECT_EQ(static_cast<short>(LOWORD(MAKELPARAM(-3, 700))), -3);
    EXPECT_EQ(WM_DESTROY, 2u);
    EXPECT_EQ(WM_MOVE, 3u);
    EXPECT_EQ(WM_ACTIVATE, 6u);
    EXPECT_EQ(WM_CLOSE, 16u);
    EXPECT_EQ(WM_QUIT, 0x12u);
    EXPECT_EQ(WM_KEYDOWN, 256u);
    EXPECT_EQ(VK_ESCAPE, 27u);
    EXPECT_EQ(VK_UP, 38u);
    EXPECT_EQ(VK_DOWN, 40u);
}

TEST_F(PlatformTest, ClassRegistration) {
    EXPECT_NE(Register(), 0);
    EXPECT_EQ(Register(), 0);         // taken
    EXPECT_EQ(Register("tavwin"), 0); // class names ignore case
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc - 4;
    wc.lpfnWndProc = RecordingProc;
    wc.lpszClassName = "Other";
    EXPECT_EQ(RegisterClassExA(&wc), 0); // wrong record size
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = nullptr;
    EXPECT_EQ(RegisterClassExA(&wc), 0); // no procedure
    EXPECT_EQ(RegisterClassExA(nullptr), 0);
    EXPECT_NE(LoadIconA(nullptr, IDI_APPLICATION), nullptr);
    EXPECT_NE(LoadCursorA(nullptr, IDC_ARROW), nullptr);
    EXPECT_NE(GetStockObject(BLACK_BRUSH), nullptr);
    EXPECT_NE(GetModuleHandleA(nullptr), nullptr);
}

TEST_F(PlatformTest, HeadlessWindowsAndMetrics) {
    platform::EnableHeadless(nullptr);
    EXPECT_TRUE(platform::IsHeadless());
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1280);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 1024);
    EXPECT_EQ(GetSystemMetrics(42), 0);
    EXPECT_EQ(Create(), nullptr); // class not registered
    ASSERT_NE(Register(), 0);
    HWND w = Create();
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(platform::SdlWindowOf(w), nullptr);
    EXPECT_EQ(FindWindowA("TavWin", nullptr), w);
    EXPECT_EQ(FindWindowA("TAVWIN", "Gradient Test in 2D"), w);
    EXPECT_EQ(FindWindowA("TavWin", "Another title"), nullptr);
    EXPECT_EQ(FindWindowA("Other", nullptr), nullptr);
    MSG m;
    EXPECT_FALSE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)); // no source, nothing waits
}

TEST_F(PlatformTest, InjectedEventsBecomeTheirMessages) {
    Script script;
    script.batches.push_back({
        Key(VK_UP),
        Key(VK_UP, true, true),
        Key(VK_UP, false),
        Key('A'),
        Kind(platform::EventKind::FocusLost),
        Kind(platform::EventKind::Minimised),
        Kind(platform::EventKind::FocusGained),
        Kind(platform::EventKind::Restored),
        Kind(platform::EventKind::FocusGained),
        Kind(platform::EventKind::Moved, 240, 212),
        Key(0), // an unmapped key makes no message
        Kind(platform::EventKind::CloseRequest),
    });
    platform::EnableHeadless(std::ref(script));
    ASSERT_NE(Register(), 0);
    HWND w = Create();
    ASSERT_NE(w, nullptr);

    MSG m;
    EXPECT_FALSE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)); // the first turn is idle
    const std::vector<MSG> msgs = Drain();
    ASSERT_EQ(msgs.size(), 10u);
    for (const MSG& x : msgs)
        EXPECT_EQ(x.hwnd, w);
    EXPECT_EQ(msgs[0].message, WM_KEYDOWN);
    EXPECT_EQ(msgs[0].wParam, VK_UP);
    EXPECT_EQ(msgs[0].lParam & (1 << 30), 0); // first press: the key was up before
    EXPECT_EQ(msgs[1].message, WM_KEYDOWN);   // an auto-repeat is one more key-down
    EXPECT_EQ(msgs[1].wParam, VK_UP);
    EXPECT_NE(msgs[1].lParam & (1 << 30), 0);
    EXPECT_EQ(msgs[2].message, WM_KEYUP);
    EXPECT_EQ(msgs[2].wParam, VK_UP);
    EXPECT_EQ(msgs[3].message, WM_KEYDOWN);
    EXPECT_EQ(msgs[3].wParam, WPARAM('A'));
    const std::vector<std::pair<WORD, WORD>> activations = {
        {WA_INACTIVE, 0}, {WA_INACTIVE, 1}, {WA_ACTIVE, 1}, {WA_ACTIVE, 0}};
    for (std::size_t i = 0; i < activations.size(); ++i) {
        EXPECT_EQ(msgs[4 + i].message, WM_ACTIVATE) << i;
        EXPECT_EQ(LOWORD(msgs[4 + i].wParam), activations[i].first) << i;
        EXPECT_EQ(HIWORD(msgs[4 + i].wParam), activations[i].second) << i;
    }
    EXPECT_EQ(msgs[8].message, WM_MOVE);
    EXPECT_EQ(LOWORD(msgs[8].lParam), 240);
    EXPECT_EQ(HIWORD(msgs[8].lParam), 212);
    EXPECT_EQ(msgs[9].message, WM_CLOSE);
    EXPECT_FALSE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
    EXPECT_GE(script.idleReports, 2);
}

TEST_F(PlatformTest, DispatchReachesTheProcedureAndDefaultHandlingChangesNothing) {
    platform::EnableHeadless(nullptr);
    ASSERT_NE(Register(), 0);
    HWND w = Create();
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(PostMessageA(w, WM_KEYDOWN, 'Q', 1));
    MSG m;
    ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
    EXPECT_FALSE(TranslateMessage(&m));
    EXPECT_EQ(DispatchMessageA(&m), 0);
    ASSERT_EQ(g_seen.size(), 1u);
    EXPECT_EQ(g_seen[0].hwnd, w);
    EXPECT_EQ(g_seen[0].message, WM_KEYDOWN);
    EXPECT_EQ(g_seen[0].wParam, WPARAM('Q'));
    EXPECT_EQ(g_seen[0].lParam, 1);
    EXPECT_EQ(DefWindowProcA(w, WM_KEYUP, VK_UP, 0), 0);
    EXPECT_EQ(FindWindowA("TavWin", nullptr), w);
    EXPECT_EQ(g_seen.size(), 1u);
}

TEST_F(PlatformTest, DestroyWindowSendsDestroyAtOnceAndDropsItsMessages) {
    platform::EnableHeadless(nullptr);
    ASSERT_NE(Register(), 0);
    HWND w = Create();
    ASSERT_NE(w, nullptr);
    PostMessageA(w, WM_KEYDOWN, VK_UP, 1);
    PostMessageA(nullptr, kAppMessage, 7, 0);
    EXPECT_TRUE(DestroyWindow(w));
    // WM_DESTROY reached the procedure before DestroyWindow returned.
    ASSERT_EQ(g_seen.size(), 1u);
    EXPECT_EQ(g_seen[0].message, WM_DESTROY);
    EXPECT_EQ(g_seen[0].hwnd, w);
    EXPECT_EQ(FindWindowA("TavWin", nullptr), nullptr);
    EXPECT_FALSE(DestroyWindow(w));
    EXPECT_FALSE(PostMessageA(w, WM_CLOSE, 0, 0));
    // The thread message stays; the window's key-down went with the window.
    const std::vector<MSG> msgs = Drain();
    ASSERT_EQ(msgs.size(), 1u);
    EXPECT_EQ(msgs[0].message, kAppMessage);
    EXPECT_EQ(msgs[0].wParam, 7u);
    // A message for a window that is gone reaches no procedure.
    const MSG stale{w, WM_KEYDOWN, VK_UP, 0, 0, {0, 0}};
    EXPECT_EQ(DispatchMessageA(&stale), 0);
    EXPECT_EQ(g_seen.size(), 1u);
}

TEST_F(PlatformTest, DefaultHandlingOfCloseDestroysTheWindow) {
    platform::EnableHeadless(nullptr);
    ASSERT_NE(Register(), 0);
    HWND w = Create();
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(DefWindowProcA(w, WM_CLOSE, 0, 0), 0);
    ASSERT_EQ(g_seen.size(), 1u);
    EXPECT_EQ(g_seen[0].message, WM_DESTROY);
    EXPECT_EQ(FindWindowA("TavWin", nullptr), nullptr);
}

TEST_F(PlatformTest, PostQuitMessageCarriesItsCode) {
    PostQuitMessage(3);
    MSG m;
    ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(m.message, WM_QUIT);
    ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.message, WM_QUIT);
    EXPECT_EQ(m.wParam, 3u);
    EXPECT_EQ(m.hwnd, nullptr);
    EXPECT_FALSE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(PlatformTest, PeekFiltersByWindowAndRange) {
    platform::EnableHeadless(nullptr);
    ASSERT_NE(Register(), 0);
    HWND a = Create("a");
    HWND b = Create("b");
    ASSERT_NE(a, b);
    PostMessageA(a, WM_KEYDOWN, 1, 0);
    PostMessageA(b, WM_MOVE, 2, 0);
    PostMessageA(a, WM_CLOSE, 3, 0);
    MSG m;
    ASSERT_TRUE(PeekMessageA(&m, b, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.wParam, 2u);
    ASSERT_TRUE(PeekMessageA(&m, nullptr, WM_CLOSE, WM_CLOSE, PM_REMOVE));
    EXPECT_EQ(m.wParam, 3u);
    EXPECT_FALSE(PeekMessageA(&m, b, 0, 0, PM_REMOVE));
    ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.wParam, 1u);
}

// A message loop like the shell's, driven by injected events: messages always go before idle
// turns, Escape ends the loop through WM_CLOSE, WM_DESTROY and WM_QUIT with code 0.
TEST_F(PlatformTest, ShellLikeLoopEndsOnEscape) {
    Script script;
    script.batches.push_back({Key(VK_UP), Key(VK_UP, true, true)});
    script.batches.push_back({}); // one idle turn between the two
    script.batches.push_back({Key(VK_ESCAPE)});
    platform::EnableHeadless(std::ref(script));
    g_shellLike = true;
    ASSERT_NE(Register(), 0);
    ASSERT_NE(Create(), nullptr);

    std::vector<std::string> trace;
    MSG msg{};
    int exitCode = -1;
    for (int turn = 0; turn < 100; ++turn) {
        if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                exitCode = static_cast<int>(msg.wParam);
                break;
            }
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
            trace.push_back("msg " + std::to_string(msg.message));
        } else {
            trace.push_back("idle");
        }
    }
    EXPECT_EQ(exitCode, 0);
    const std::vector<std::string> expected = {"idle", "msg 256", "msg 256",
                                               "idle", "msg 256", "msg 16"};
    EXPECT_EQ(trace, expected);
    EXPECT_EQ(FindWindowA("TavWin", nullptr), nullptr);
    ASSERT_GE(g_seen.size(), 2u);
    EXPECT_EQ(g_seen.back().message, WM_DESTROY);
}

TEST_F(PlatformTest, ResetForgetsEverything) {
    platform::EnableHeadless(nullptr);
    ASSERT_NE(Register(), 0);
    ASSERT_NE(Create(), nullptr);
    PostQuitMessage(0);
    platform::ResetLayer();
    EXPECT_FALSE(platform::IsHeadless());
    EXPECT_EQ(FindWindowA("TavWin", nullptr), nullptr);
    MSG m;
    EXPECT_FALSE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
    EXPECT_TRUE(g_seen.empty()); // no WM_DESTROY from a reset
    EXPECT_NE(Register(), 0);    // the class name is free again
}

namespace {

// Runs with the environment of a machine without a display; restores it afterwards.
class NoDisplay {
  public:
    NoDisplay() {
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "SDL_VIDEODRIVER"}) {
            const char* v = std::getenv(name);
            saved_.push_back({name, v != nullptr, v != nullptr ? v : ""});
            unsetenv(name);
        }
    }
    ~NoDisplay() {
        for (const Saved& s : saved_) {
            if (s.had)
                setenv(s.name, s.value.c_str(), 1);
            else
                unsetenv(s.name);
        }
    }

  private:
    struct Saved {
        const char* name;
        bool had;
        std::string value;
    };
    std::vector<Saved> saved_;
};

} // namespace

// Without a display SDL settles on its offscreen driver by itself; the layer refuses it.
TEST_F(PlatformTest, NoDisplayMeansNoWindow) {
    NoDisplay env;
    ASSERT_NE(Register(), 0);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 0);
    EXPECT_EQ(Create(), nullptr);
    EXPECT_EQ(FindWindowA("TavWin", nullptr), nullptr);
}

// SDL's offscreen driver, asked for on purpose, makes real SDL windows without a display; the
// events SDL delivers go through the same translation as injected ones.
TEST_F(PlatformTest, SdlEventsBecomeMessages) {
    NoDisplay env;
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    ASSERT_NE(Register(), 0);
    HWND w = Create();
    ASSERT_NE(w, nullptr);
    SDL_Window* sw = platform::SdlWindowOf(w);
    ASSERT_NE(sw, nullptr);
    int dw = 0, dh = 0;
    SDL_GetWindowSize(sw, &dw, &dh);
    EXPECT_EQ(dw, 800);
    EXPECT_EQ(dh, 600);
    EXPECT_STREQ(SDL_GetWindowTitle(sw), "Gradient Test in 2D");
    EXPECT_GT(GetSystemMetrics(SM_CXSCREEN), 0);
    Drain(); // whatever SDL said about the new window

    const Uint32 id = SDL_GetWindowID(sw);
    auto push = [](SDL_Event e) { ASSERT_EQ(SDL_PushEvent(&e), 1); };
    SDL_Event e{};
    e.type = SDL_KEYDOWN;
    e.key.windowID = id;
    e.key.keysym.sym = SDLK_UP;
    push(e);
    e.key.repeat = 1;
    e.key.keysym.sym = SDLK_DOWN;
    push(e);
    e.key.repeat = 0;
    e.key.keysym.sym = SDLK_ESCAPE;
    push(e);
    e.key.keysym.sym = SDLK_q;
    push(e);
    e.type = SDL_KEYUP;
    e.key.keysym.sym = SDLK_UP;
    push(e);
    SDL_Event we{};
    we.type = SDL_WINDOWEVENT;
    we.window.windowID = id;
    we.window.event = SDL_WINDOWEVENT_FOCUS_LOST;
    push(we);
    we.window.event = SDL_WINDOWEVENT_MINIMIZED;
    push(we);
    we.window.event = SDL_WINDOWEVENT_MOVED;
    we.window.data1 = 100;
    we.window.data2 = 50;
    push(we);
    we.window.event = SDL_WINDOWEVENT_CLOSE;
    push(we);
    SDL_Event quit{};
    quit.type = SDL_QUIT;
    push(quit);

    const std::vector<MSG> msgs = Drain();
    std::vector<std::pair<UINT, WPARAM>> got;
    for (const MSG& m : msgs) {
        EXPECT_EQ(m.hwnd, w);
        got.push_back({m.message, m.message == WM_MOVE ? WPARAM(m.lParam) : m.wParam});
    }
    const std::vector<std::pair<UINT, WPARAM>> expected = {
        {WM_KEYDOWN, VK_UP},
        {WM_KEYDOWN, VK_DOWN},
        {WM_KEYDOWN, VK_ESCAPE},
        {WM_KEYDOWN, WPARAM('Q')},
        {WM_KEYUP, VK_UP},
        {WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, 0)},
        {WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, 1)},
        {WM_MOVE, WPARAM(MAKELPARAM(100, 50))},
        {WM_CLOSE, 0},
        {WM_CLOSE, 0},
    };
    EXPECT_EQ(got, expected);
    EXPECT_NE(msgs[1].lParam & (1 << 30), 0); // the repeat
    EXPECT_TRUE(DestroyWindow(w));
}

TEST_F(PlatformTest, HeadlessDriverIsAcceptedWhenAskedFor) {
    NoDisplay env;
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    ASSERT_NE(Register(), 0);
    HWND w = Create();
    EXPECT_NE(w, nullptr);
    if (w != nullptr) DestroyWindow(w);
}

// On a real X server (no window manager, so the window stays where it was put): the desktop
// size, the window at the shell's centred position with an 800 x 600 drawable area, its title,
// and FindWindowA leading to its SDL window.
TEST_F(PlatformTest, RealWindowOnXvfb) {
    NoDisplay env;
    XvfbDisplay xvfb;
    if (xvfb.Name().empty()) GTEST_SKIP() << "no Xvfb";
    setenv("DISPLAY", xvfb.Name().c_str(), 1);
    ASSERT_NE(Register(), 0);
    const int sx = GetSystemMetrics(SM_CXSCREEN);
    const int sy = GetSystemMetrics(SM_CYSCREEN);
    EXPECT_EQ(sx, 1280);
    EXPECT_EQ(sy, 1024);
    HWND w = CreateWindowExA(0, "TavWin", "Gradient Test in 2D", 0x10CA0000u, (sx - 800) >> 1,
                             (sy - 600) >> 1, 800, 600, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(w, nullptr);
    SDL_Window* sw = platform::SdlWindowOf(FindWindowA("TavWin", nullptr));
    ASSERT_NE(sw, nullptr);
    EXPECT_STREQ(SDL_GetWindowTitle(sw), "Gradient Test in 2D");
    Drain();
    int dw = 0, dh = 0, x = 0, y = 0;
    SDL_GetWindowSizeInPixels(sw, &dw, &dh);
    SDL_GetWindowPosition(sw, &x, &y);
    EXPECT_EQ(dw, 800);
    EXPECT_EQ(dh, 600);
    EXPECT_EQ(x, 240);
    EXPECT_EQ(y, 212);
    EXPECT_TRUE(DestroyWindow(w));
    ASSERT_FALSE(g_seen.empty());
    EXPECT_EQ(g_seen.back().message, WM_DESTROY);
}
