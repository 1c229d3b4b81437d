// Fuzz target for the window shell: the real WinMain loop, WndProc, the demo's frame and the
// headless window layer, driven by an arbitrary sequence of window events (keys pressed, held
// and released, focus gained and lost, minimising, moves, close requests, events for windows
// that do not exist) with idle turns in between, where the loop may draw a frame.
//
// Input layout: a sequence of 3-byte events (kind, key or flags, argument); a short tail is
// dropped. After the script the source closes the window with Escape.
//
// What must hold whatever the sequence:
// - no crash, no sanitizer report, no leak;
// - WinMain returns 0, the demo ends in the closing state with no graphics object left;
// - the loop ends: once the script is over, a bounded number of turns reaches WM_QUIT;
// - the threshold is never negative, not even -0 (the clamp stores +0).
#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "app/frame.h"
#include "app/shell.h"
#include "app/state.h"
#include "platform/linux/headless.h"

namespace {

constexpr int kMaxEvents = 200;
constexpr int kMaxIdleTurns = 6;   // each may draw a frame: keeps one input fast
constexpr int kTurnsToClose = 100; // source calls allowed after the script before it must end

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "shell_fuzz: %s\n", what);
    std::abort();
}

struct Script {
    const std::uint8_t* data = nullptr;
    std::size_t events = 0;
    std::size_t next = 0;
    int idleTurns = 0;
    int turnsAfter = 0;
};
Script script;

WPARAM Key(std::uint8_t b) {
    // The shell's three keys, then others it ignores: left, right, space, A, F1, none, 255.
    static constexpr WPARAM kKeys[] = {VK_UP, VK_DOWN, VK_ESCAPE, 0x25, 0x27,
                                       0x20,  'A',     0x70,      0,    255};
    return kKeys[b % (sizeof kKeys / sizeof kKeys[0])];
}

bool Next(platform::Event& e) {
    e = platform::Event{};
    if (script.next >= script.events) {
        // Escape, then nothing waiting, in turn, until the loop ends.
        if (++script.turnsAfter > kTurnsToClose) Fail("the loop did not end after Escape");
        if (script.turnsAfter % 2 == 0) return false;
        e.kind = platform::EventKind::KeyDown;
        e.vk = VK_ESCAPE;
        return true;
    }
    const std::uint8_t* ev = script.data + 3 * script.next++;
    const std::uint8_t kind = ev[0] % 10;
    if (kind == 9) { // an idle turn: the loop may draw
        if (script.idleTurns >= kMaxIdleTurns) return Next(e);
        ++script.idleTurns;
        return false;
    }
    e.kind = static_cast<platform::EventKind>(kind == 8 ? 200 : kind); // 8: a kind out of range
    e.vk = Key(ev[1]);
    e.repeat = ev[1] & 0x80;
    e.x = int(std::int8_t(ev[2])) * 37;
    e.y = int(ev[2]) * 11 - 1000;
    // Now and then an event for a window that does not exist.
    if ((ev[1] & 0x70) == 0x70) e.window = reinterpret_cast<HWND>(std::uintptr_t(0x1000) + ev[2]);
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    script = Script{data, std::min<std::size_t>(size / 3, kMaxEvents)};
    platform::ResetLayer();
    platform::EnableHeadless(Next);
    threshold = 0.6f;
    appState = 0;
    isActive = 1;

    char none[] = "";
    const int code = WinMain(GetModuleHandleA(nullptr), nullptr, none, SW_SHOWDEFAULT);
    if (code != 0) Fail("WinMain did not return 0");
    if (appState != 2) Fail("the demo did not end in the closing state");
    if (gfx != nullptr) Fail("the graphics object outlived the window");
    if (std::bit_cast<std::uint32_t>(threshold) >> 31) Fail("the threshold went negative");
    platform::ResetLayer();
    return 0;
}
