// The demo program's shell: one window, a message loop that never blocks, and a frame drawn on
// every idle turn while the window is active.
#include "app/shell.h"

#include <cstdio>

#include "app/frame.h"
#include "app/sizes.h"
#include "app/state.h"

std::int32_t appState = 0;
unsigned char isActive = 1;

namespace {

constexpr float kThresholdStep = 0.01f;
constexpr const char* kTitle = "Gradient Test in 2D";

// A failure a person must see: the demo is a GUI program on Windows, where stderr goes nowhere
// anyone looks, so the line is also shown in a message box that waits for OK. (The Linux
// window layer shows no box: there the line on stderr is the report.)
void ShowFailure(HWND owner, const char* line) {
    MessageBoxA(owner, line, kTitle, MB_OK | MB_ICONERROR);
}

// The line on stderr and in the box.
void Fail(const char* line) {
    std::fprintf(stderr, "%s\n", line);
    ShowFailure(nullptr, line);
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof(WNDCLASSEXA);
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = WndProc;
    wc.cbClsExtra = 0;
    wc.cbWndExtra = 0;
    wc.hInstance = instance;
    wc.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
    wc.hIconSm = wc.hIcon;
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    wc.lpszMenuName = nullptr;
    wc.lpszClassName = "TavWin";
    // Without a class or a window the loop would spin forever with nothing to close.
    if (!RegisterClassExA(&wc)) {
        Fail("gradient-demo: cannot register the window class");
        return 1;
    }
    // (screen - window) >> 1 is an arithmetic shift: a small screen gives a negative position.
    const HWND window = CreateWindowExA(
        0, "TavWin", kTitle, WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX,
        (GetSystemMetrics(SM_CXSCREEN) - demo::kWindowWidth) >> 1,
        (GetSystemMetrics(SM_CYSCREEN) - demo::kWindowHeight) >> 1, demo::kWindowWidth,
        demo::kWindowHeight, nullptr, nullptr, instance, nullptr);
    if (!window) {
        Fail("gradient-demo: cannot open a window (is there a display?)");
        return 1;
    }

    appState = InitDemo() ? 1 : 2;
    // InitDemo has written its line to stderr; the box shows it over the (empty) window, which
    // stays until it is closed, as it does with no box.
    if (appState == 2) ShowFailure(window, DemoStartError());

    MSG msg{};
    for (;;) {
        if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) break;
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        } else if (appState == 1 && isActive) {
            RenderFrame(); // only when no message waits
        }
    }
    return int(msg.wParam);
}

LRESULT CALLBACK WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    case WM_MOVE:
        OnWindowMoved();
        return 0;
    case WM_ACTIVATE:
        // The minimised flag in the high word is ignored on purpose.
        isActive = LOWORD(wParam) != 0;
        return 0;
    case WM_CLOSE:
        appState = 2;
        ShutdownDemo(); // while the window still exists
        DestroyWindow(window);
        return 0;
    case WM_KEYDOWN:
        // Every auto-repeat is one more step.
        switch (wParam) {
        case VK_ESCAPE:
            PostMessageA(window, WM_CLOSE, 0, 0);
            return 0;
        case VK_UP:
            threshold = threshold + kThresholdStep;
            return 0;
        case VK_DOWN:
            threshold = threshold - kThresholdStep;
            if (threshold < 0.0f) threshold = 0.0f;
            return 0;
        default:
            break;
        }
        break;
    default:
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

void OnWindowMoved() {
    if (gfx) gfx->WindowMoved();
}
