// The windowing part of the Win32 subset on Linux: handles, the window class and window
// records, the message queue and its messages, over SDL2 (or over an injected event source in
// headless mode, see headless.h). Only what the shell and the graphics class call is here.
#pragma once

#include <cstdint>

#include "platform/linux/win32_types.h"

using LPVOID = void*;
using ULONG_PTR = std::uintptr_t;

// Handles are opaque; none of them is ever dereferenced.
struct HWND__;
struct HINSTANCE__;
struct HICON__;
struct HBRUSH__;
struct HMENU__;
using HWND = HWND__*;
using HINSTANCE = HINSTANCE__*;
using HMODULE = HINSTANCE;
using HICON = HICON__*;
using HCURSOR = HICON;
using HBRUSH = HBRUSH__*;
using HMENU = HMENU__*;
using HGDIOBJ = void*;

using WNDPROC = LRESULT(CALLBACK*)(HWND, UINT, WPARAM, LPARAM);

struct POINT {
    LONG x;
    LONG y;
};

struct MSG {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;
    POINT pt;
};

struct WNDCLASSEXA {
    UINT cbSize;
    UINT style;
    WNDPROC lpfnWndProc;
    int cbClsExtra;
    int cbWndExtra;
    HINSTANCE hInstance;
    HICON hIcon;
    HCURSOR hCursor;
    HBRUSH hbrBackground;
    LPCSTR lpszMenuName;
    LPCSTR lpszClassName;
    HICON hIconSm;
};

// The messages the shell handles, and the key release the layer also produces.
inline constexpr UINT WM_DESTROY = 0x0002;
inline constexpr UINT WM_MOVE = 0x0003;
inline constexpr UINT WM_ACTIVATE = 0x0006;
inline constexpr UINT WM_CLOSE = 0x0010;
inline constexpr UINT WM_QUIT = 0x0012;
inline constexpr UINT WM_KEYDOWN = 0x0100;
inline constexpr UINT WM_KEYUP = 0x0101;

// WM_ACTIVATE low word.
inline constexpr WORD WA_INACTIVE = 0;
inline constexpr WORD WA_ACTIVE = 1;
inline constexpr WORD WA_CLICKACTIVE = 2;

// The virtual-key codes the shell reads. Letters and digits are their upper-case ASCII codes
// ('A', '0'); the layer maps no other key.
inline constexpr WPARAM VK_ESCAPE = 0x1B;
inline constexpr WPARAM VK_UP = 0x26;
inline constexpr WPARAM VK_DOWN = 0x28;

// Class and window styles.
inline constexpr UINT CS_VREDRAW = 0x0001;
inline constexpr UINT CS_HREDRAW = 0x0002;
inline constexpr DWORD WS_MINIMIZEBOX = 0x00020000;
inline constexpr DWORD WS_SYSMENU = 0x00080000;
inline constexpr DWORD WS_CAPTION = 0x00C00000;
inline constexpr DWORD WS_VISIBLE = 0x10000000;

// GetSystemMetrics, GetStockObject, PeekMessageA, and the show command main passes.
inline constexpr int SM_CXSCREEN = 0;
inline constexpr int SM_CYSCREEN = 1;
inline constexpr int BLACK_BRUSH = 4;
inline constexpr UINT PM_NOREMOVE = 0x0000;
inline constexpr UINT PM_REMOVE = 0x0001;
inline constexpr int SW_SHOWDEFAULT = 10;

#define MAKEINTRESOURCEA(i) (reinterpret_cast<LPSTR>(static_cast<ULONG_PTR>(static_cast<WORD>(i))))
#define IDI_APPLICATION MAKEINTRESOURCEA(32512)
#define IDC_ARROW MAKEINTRESOURCEA(32512)

#define LOWORD(l) (static_cast<WORD>(static_cast<ULONG_PTR>(l) & 0xFFFF))
#define HIWORD(l) (static_cast<WORD>((static_cast<ULONG_PTR>(l) >> 16) & 0xFFFF))
#define MAKEWPARAM(lo, hi)                                                                         \
    (static_cast<WPARAM>(static_cast<DWORD>(static_cast<WORD>(lo)) |                               \
                         (static_cast<DWORD>(static_cast<WORD>(hi)) << 16)))
#define MAKELPARAM(lo, hi)                                                                         \
    (static_cast<LPARAM>(static_cast<DWORD>(static_cast<WORD>(lo)) |                               \
                         (static_cast<DWORD>(static_cast<WORD>(hi)) << 16)))

// Registers a window class. Returns 0 when the record is incomplete (wrong cbSize, no window
// procedure or class name) or the class name is taken.
ATOM RegisterClassExA(const WNDCLASSEXA* wc);

// Creates a window of a registered class, titled windowName, at (x, y) with width x height.
// The SDL window's drawable area is width x height, so a surface of that size shows 1:1 (the
// window manager adds its frame around it). Returns NULL when the class is unknown or there is
// no display. Unless SDL_VIDEODRIVER names drivers, the layer tries only X11 (DISPLAY) and
// Wayland (WAYLAND_DISPLAY); SDL's offscreen and dummy drivers count as a display only when
// SDL_VIDEODRIVER names them (as tests do). No message is sent during creation; the
// activation and move events arrive through the queue. In headless mode (headless.h) the
// window has no SDL window.
HWND CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y,
                     int width, int height, HWND parent, HMENU menu, HINSTANCE instance,
                     LPVOID param);

// Sends WM_DESTROY to the window procedure at once, then destroys the window and drops the
// messages still queued for it. FALSE for a handle that is not a live window.
BOOL DestroyWindow(HWND window);

// The first live window whose class name (case-insensitive) and, unless title is null, title
// match; NULL if none.
HWND FindWindowA(LPCSTR className, LPCSTR title);

// SM_CXSCREEN / SM_CYSCREEN: the desktop size of the first display (1280 x 1024 in headless
// mode, 0 when there is no display). Other indices give 0.
int GetSystemMetrics(int index);

// Harmless non-null handles; nothing is loaded.
HMODULE GetModuleHandleA(LPCSTR moduleName);
HICON LoadIconA(HINSTANCE instance, LPCSTR name);
HCURSOR LoadCursorA(HINSTANCE instance, LPCSTR name);
HGDIOBJ GetStockObject(int object);

// Never blocks. When the queue is empty it first gathers what the event source has (SDL's
// events, or the headless source) and translates it into messages. Returns TRUE and copies the
// first message for the window (any when window is NULL) within [filterMin, filterMax] (any
// when both are 0), removing it with PM_REMOVE; FALSE when none waits.
BOOL PeekMessageA(MSG* msg, HWND window, UINT filterMin, UINT filterMax, UINT removeMessage);
// Character messages are not produced; returns FALSE.
BOOL TranslateMessage(const MSG* msg);
// Calls the window procedure of msg->hwnd's class; 0 when the window is gone.
LRESULT DispatchMessageA(const MSG* msg);
// The default handling: WM_CLOSE destroys the window, as on Windows; everything else is
// ignored with result 0.
LRESULT DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Appends a message to the queue. FALSE when window is neither NULL nor a live window.
BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Appends WM_QUIT with wParam = exitCode.
void PostQuitMessage(int exitCode);

// The program entry of the shell, called by main (platform/linux/entry.cpp).
int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int showCommand);
