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
        std::fprintf(stderr, "gradient-demo: cannot register the window class\n");
        return 1;
    }
    // (screen - window) >> 1 is an arithmetic shift: a small screen gives a negative position.
    const HWND window = CreateWindowExA(
        0, "TavWin", "Gradient Test in 2D", WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX,
        (GetSystemMetrics(SM_CXSCREEN) - demo::kWindowWidth) >> 1,
        (GetSystemMetrics(SM_CYSCREEN) - demo::kWindowHeight) >> 1, demo::kWindowWidth,
        demo::kWindowHeight, nullptr, nullptr, instance, nullptr);
    if (!window) {
        std::fprintf(stderr, "gradient-demo: cannot open a window (is there a display?)\n");
        return 1;
    }

    appState = InitDemo() ? 1 : 2;

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
