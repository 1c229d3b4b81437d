// The demo program: one window, a message loop that never blocks, and a frame drawn on every
// idle turn while the window is active.
#include <cstdio>
#include <string>

#include "app/demo.h"
#include "field/case_table.h"
#include "field/charge_field.h"
#include "field/contour.h"

std::int32_t appState = 0;
unsigned char isActive = 1;
TavGFX* gfx = nullptr;
Stopwatch demoTimer;

namespace {

constexpr int kScreenX = 800, kScreenY = 600; // the clipping bounds, not read from gfx
constexpr int kOrigin = 10, kPixelsPerUnit = 7; // node (a, b) is drawn at (10 + 7a, 10 + 7b)
constexpr std::uint32_t kBlack = 0x000000, kAbove = 0xFF0000, kNotAbove = 0x0000FF;
constexpr std::uint32_t kContour = 0xFF0000, kText = 0xFFFFFF;
constexpr float kThresholdStep = 0.01f;
constexpr const char* kTitle = "Gradient Test in 2D";

std::string startError; // DemoStartError's line

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

// 7 * v + 10, exact in double and rounded to float once.
float ToScreen(float v) { return float(double(kPixelsPerUnit) * double(v) + double(kOrigin)); }

bool OnScreen(float x, float y) {
    return x >= 0.0f && x < float(kScreenX) && y >= 0.0f && y < float(kScreenY);
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
        (GetSystemMetrics(SM_CXSCREEN) - 800) >> 1, (GetSystemMetrics(SM_CYSCREEN) - 600) >> 1, 800,
        600, nullptr, nullptr, instance, nullptr);
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
    case WM_DESTROY: PostQuitMessage(0); return 0;
    case WM_MOVE: OnWindowMoved(); return 0;
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
        case VK_ESCAPE: PostMessageA(window, WM_CLOSE, 0, 0); return 0;
        case VK_UP: threshold = threshold + kThresholdStep; return 0;
        case VK_DOWN:
            threshold = threshold - kThresholdStep;
            if (threshold < 0.0f) threshold = 0.0f;
            return 0;
        default: break;
        }
        break;
    default: break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

void OnWindowMoved() {
    if (gfx) gfx->WindowMoved();
}

std::int32_t InitDemo() {
    startError.clear();
    gfx = new TavGFX(800, 600, 32, 2, 2);
    if (const char* why = gfx->Error()) {
        startError = std::string("cannot start the graphics: ") + why;
        std::fprintf(stderr, "%s\n", startError.c_str());
        delete gfx;
        gfx = nullptr;
        return 0;
    }
    BuildCaseTable();
    demoTimer.Start();
    return 1;
}

const char* DemoStartError() { return startError.c_str(); }

void RenderFrame() { RenderFrameAt(FrameSeconds(demoTimer.GetMilliseconds())); }

void RenderFrameAt(float t) {
    SampleFrame(t);
    DrawFrame();
    gfx->Flip();
}

void SampleFrame(float t) {
    field::PlaceCharges(t, charges);
    // FieldValue(x, y) at every node, then FieldGradient(x, y, 1) at every node once the whole
    // field holds this frame's values: the same bits, a node row at a time.
    field::SampleField(charges, field::kDemoGrid, 1.0f, fieldGrid);
    field::SampleGradient(fieldGrid, field::kDemoGrid, 1.0f, gradientGrid);
}

void DrawFrame() {
    gfx->ClearSurf(kBlack, gfx->backSurface);

    Vector2* VecArray = nullptr;
    Vector2* NormArray = nullptr;
    const std::int32_t count = ExtractContour(&VecArray, &NormArray);

    gfx->Lock(gfx->backSurface);
    for (int y = 0; y < 80; ++y) {
        for (int x = 0; x < 80; ++x) {
            const int sx = kOrigin + kPixelsPerUnit * x, sy = kOrigin + kPixelsPerUnit * y;
            if (sx < 0 || sx >= kScreenX || sy < 0 || sy >= kScreenY) continue;
            // Equal, or NaN, is not above.
            const std::uint32_t colour = fieldGrid[x * 80 + y] > threshold ? kAbove : kNotAbove;
            gfx->PutPixel(std::uint16_t(sx), std::uint16_t(sy), colour, gfx->lockedBits);
        }
    }
    // A trailing odd end point would be ignored; each segment is clipped by itself, and a NaN
    // end point fails the test.
    for (std::int32_t s = 0; s < (count >> 1); ++s) {
        const Vector2 p = VecArray[2 * s], q = VecArray[2 * s + 1];
        const float x1 = ToScreen(p.x), y1 = ToScreen(p.y);
        const float x2 = ToScreen(q.x), y2 = ToScreen(q.y);
        if (!OnScreen(x1, y1) || !OnScreen(x2, y2)) continue;
        gfx->Line(std::uint16_t(int(x1)), std::uint16_t(int(y1)), std::uint16_t(int(x2)),
                  std::uint16_t(int(y2)), kContour, gfx->lockedBits, gfx->lockedPitch);
    }
    gfx->UnLock(gfx->backSurface);

    delete[] VecArray;
    delete[] NormArray; // the normals are not drawn

    char str[100];
    std::snprintf(str, sizeof str, "Threshold = %f", double(threshold));
    gfx->TxtOutGDI(5, 5, str, kText, gfx->backSurface);
}

void ShutdownDemo() {
    if (gfx) {
        delete gfx;
        gfx = nullptr;
    }
}
