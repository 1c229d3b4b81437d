// Window classes, windows, handles and desktop metrics of the Linux window layer, and the
// switch between SDL and headless mode.
#include "platform/linux/win32_window.h"

#include <SDL.h>

#include <algorithm>
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

HWND HandleOf(const WindowRecord& w) { return reinterpret_cast<HWND>(w.id); }

WindowRecord* FindRecord(HWND window) {
    const auto id = reinterpret_cast<std::uintptr_t>(window);
    if (id == 0) return nullptr;
    for (WindowRecord& w : State().windows)
        if (w.id == id) return &w;
    return nullptr;
}

WindowRecord* FindRecordBySdlId(std::uint32_t sdlId) {
    for (WindowRecord& w : State().windows)
        if (w.sdl != nullptr && w.sdlId == sdlId) return &w;
    return nullptr;
}

WindowRecord* FirstWindow() {
    auto& windows = State().windows;
    return windows.empty() ? nullptr : &windows.front();
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

ATOM RegisterClassExA(const WNDCLASSEXA* wc) {
    if (wc == nullptr || wc->cbSize != sizeof(WNDCLASSEXA) || wc->lpfnWndProc == nullptr ||
        wc->lpszClassName == nullptr || wc->lpszClassName[0] == '\0')
        return 0;
    auto& classes = State().classes;
    for (const ClassRecord& c : classes)
        if (strcasecmp(c.name.c_str(), wc->lpszClassName) == 0) return 0;
    classes.push_back(ClassRecord{wc->lpszClassName, wc->lpfnWndProc});
    return static_cast<ATOM>(0xC000 + classes.size() - 1);
}

HWND CreateWindowExA(DWORD, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y,
                     int width, int height, HWND, HMENU, HINSTANCE, LPVOID) {
    LayerState& st = State();
    if (className == nullptr) return nullptr;
    const ClassRecord* cls = nullptr;
    for (const ClassRecord& c : st.classes)
        if (strcasecmp(c.name.c_str(), className) == 0) cls = &c;
    if (cls == nullptr || width <= 0 || height <= 0) return nullptr;

    WindowRecord w;
    w.className = cls->name;
    w.title = windowName != nullptr ? windowName : "";
    w.proc = cls->proc;
    if (!st.headless) {
        if (!EnsureVideo()) return nullptr;
        const Uint32 flags = (style & WS_VISIBLE) != 0 ? SDL_WINDOW_SHOWN : SDL_WINDOW_HIDDEN;
        w.sdl = SDL_CreateWindow(w.title.c_str(), x, y, width, height, flags);
        if (w.sdl == nullptr) return nullptr;
        w.sdlId = SDL_GetWindowID(w.sdl);
    }
    w.id = st.nextId;
    st.nextId += 0x10;
    st.windows.push_back(std::move(w));
    return HandleOf(st.windows.back());
}

BOOL DestroyWindow(HWND window) {
    WindowRecord* w = FindRecord(window);
    if (w == nullptr || w->destroying) return FALSE;
    w->destroying = true;
    const WNDPROC proc = w->proc;
    proc(window, WM_DESTROY, 0, 0);
    // The procedure may have created or destroyed windows, so look the record up again.
    w = FindRecord(window);
    if (w == nullptr) return TRUE;
    if (w->sdl != nullptr) SDL_DestroyWindow(w->sdl);
    LayerState& st = State();
    st.windows.erase(st.windows.begin() + (w - st.windows.data()));
    std::erase_if(st.queue, [window](const MSG& m) { return m.hwnd == window; });
    return TRUE;
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

HMODULE GetModuleHandleA(LPCSTR) { return reinterpret_cast<HMODULE>(std::uintptr_t{0x400000}); }

HICON LoadIconA(HINSTANCE, LPCSTR) { return reinterpret_cast<HICON>(std::uintptr_t{0x10003}); }

HCURSOR LoadCursorA(HINSTANCE, LPCSTR) {
    return reinterpret_cast<HCURSOR>(std::uintptr_t{0x10005});
}

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    State().messageBoxes.push_back(
        {owner, text != nullptr ? text : "", caption != nullptr ? caption : "Error", type});
    return IDOK;
}

HGDIOBJ GetStockObject(int object) {
    if (object < 0 || object > 19) return nullptr;
    return reinterpret_cast<HGDIOBJ>(std::uintptr_t{0x1900010} + std::uintptr_t(object));
}
