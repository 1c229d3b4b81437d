// Windows and desktop metrics of the Linux window layer (their SDL side), and the switch
// between SDL and headless mode; the table itself is platform/window_table.cpp.
#include "platform/linux/win32_window.h"

#include <SDL.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <strings.h>

#include "platform/linux/headless.h"
#include "platform/linux/layer_state.h"
#include "platform/linux/sdl_window.h"

namespace platform::detail {

LayerState& State() {
    static LayerState state;
    return state;
}

WindowTable& Table() { return State(); }

WindowRecord* FindRecordBySdlId(std::uint32_t sdlId) {
    for (WindowRecord& w : State().windows)
        if (w.sdl != nullptr && w.sdlId == sdlId) return &w;
    return nullptr;
}

WindowRecord* FirstWindow() {
    auto& windows = State().windows;
    return windows.empty() ? nullptr : &windows.front();
}

void ReleaseWindow(WindowRecord& w) {
    if (w.sdl != nullptr) SDL_DestroyWindow(w.sdl);
}

DWORD TickCount() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<DWORD>(static_cast<std::uint64_t>(ts.tv_sec) * 1000u +
                              static_cast<std::uint64_t>(ts.tv_nsec) / 1000000u);
}

namespace {

// True when the video driver list that was asked for (SDL_VIDEODRIVER or the hint) names
// driver.
bool DriverRequested(const char* driver) {
    const char* wanted = SDL_GetHint(SDL_HINT_VIDEODRIVER);
    if (wanted == nullptr || driver == nullptr) return false;
    const std::size_t n = std::strlen(driver);
    for (const char* p = wanted; *p != '\0';) {
        const char* end = std::strchr(p, ',');
        const std::size_t len = end != nullptr ? std::size_t(end - p) : std::strlen(p);
        if (len == n && strncasecmp(p, driver, n) == 0) return true;
        if (end == nullptr) break;
        p = end + 1;
    }
    return false;
}

void QuitVideoAtExit() {
    if (State().videoUp) SDL_Quit();
    State().videoUp = false;
}

} // namespace

bool EnsureVideo() {
    LayerState& st = State();
    if (st.videoUp) return true;
    // Closing the last window must not add a quit event of its own: the close button
    // already becomes WM_CLOSE, and the shell decides when to quit.
    SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
    // Unless a driver was named, try only the display servers the environment points to:
    // with none there is no display, and probing the others only prints complaints.
    const char* requested = SDL_GetHint(SDL_HINT_VIDEODRIVER);
    if (requested == nullptr || requested[0] == '\0') {
        std::string drivers;
        if (const char* d = std::getenv("DISPLAY"); d != nullptr && d[0] != '\0') drivers = "x11";
        if (const char* w = std::getenv("WAYLAND_DISPLAY"); w != nullptr && w[0] != '\0')
            drivers += drivers.empty() ? "wayland" : ",wayland";
        if (drivers.empty()) return false;
        SDL_SetHint(SDL_HINT_VIDEODRIVER, drivers.c_str());
    }
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return false;
    // Without a display SDL quietly settles on a driver that shows nothing; a window there
    // would be one nobody can see or close, unless a test asked for it.
    const char* driver = SDL_GetCurrentVideoDriver();
    if (driver == nullptr ||
        ((std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0) &&
         !DriverRequested(driver))) {
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        return false;
    }
    static bool exitHook = false;
    if (!exitHook) {
        std::atexit(QuitVideoAtExit);
        exitHook = true;
    }
    st.videoUp = true;
    return true;
}

} // namespace platform::detail

using namespace platform::detail;

namespace platform {

void EnableHeadless(EventSource source) {
    State().headless = true;
    State().source = std::move(source);
}

bool IsHeadless() { return State().headless; }

void ResetLayer() {
    LayerState& st = State();
    for (WindowRecord& w : st.windows)
        if (w.sdl != nullptr) SDL_DestroyWindow(w.sdl);
    st.windows.clear();
    st.classes.clear();
    st.queue.clear();
    st.messageBoxes.clear();
    st.headless = false;
    st.source = nullptr;
    if (st.videoUp) SDL_Quit();
    st.videoUp = false;
}

const std::vector<MessageBoxRecord>& MessageBoxesAsked() { return State().messageBoxes; }

SDL_Window* SdlWindowOf(HWND window) {
    const WindowRecord* w = FindRecord(window);
    return w != nullptr ? w->sdl : nullptr;
}

} // namespace platform

HWND CreateWindowExA(DWORD, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y,
                     int width, int height, HWND, HMENU, HINSTANCE, LPVOID) {
    const ClassRecord* cls = FindClass(className);
    if (cls == nullptr || width <= 0 || height <= 0) return nullptr;

    WindowRecord w;
    w.className = cls->name;
    w.title = windowName != nullptr ? windowName : "";
    w.proc = cls->proc;
    if (!State().headless) {
        if (!EnsureVideo()) return nullptr;
        const Uint32 flags = (style & WS_VISIBLE) != 0 ? SDL_WINDOW_SHOWN : SDL_WINDOW_HIDDEN;
        w.sdl = SDL_CreateWindow(w.title.c_str(), x, y, width, height, flags);
        if (w.sdl == nullptr) return nullptr;
        w.sdlId = SDL_GetWindowID(w.sdl);
    }
    return AddWindow(std::move(w));
}

HWND FindWindowA(LPCSTR className, LPCSTR title) {
    for (const WindowRecord& w : State().windows) {
        if (className != nullptr && strcasecmp(w.className.c_str(), className) != 0) continue;
        if (title != nullptr && w.title != title) continue;
        return HandleOf(w);
    }
    return nullptr;
}

int GetSystemMetrics(int index) {
    if (index != SM_CXSCREEN && index != SM_CYSCREEN) return 0;
    if (State().headless)
        return index == SM_CXSCREEN ? platform::kHeadlessScreenWidth
                                    : platform::kHeadlessScreenHeight;
    if (!EnsureVideo()) return 0;
    SDL_DisplayMode mode{};
    if (SDL_GetDesktopDisplayMode(0, &mode) != 0) return 0;
    return index == SM_CXSCREEN ? mode.w : mode.h;
}

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    State().messageBoxes.push_back(
        {owner, text != nullptr ? text : "", caption != nullptr ? caption : "Error", type});
    return IDOK;
}
