// win_probe: what Windows itself says about a top-level window, for the whole-program test
// under wine. Usage: win_probe "<window title>". Prints one line
//   class=<name> classstyle=<n> style=0x<8 hex> rect=<left>,<top>,<right>,<bottom> client=<w>x<h>
// and exits 0, or prints "none" and exits 1 when no window has that title.
#include <windows.h>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: win_probe \"<window title>\"\n");
        return 2;
    }
    HWND window = FindWindowA(nullptr, argv[1]);
    if (window == nullptr) {
        std::printf("none\n");
        return 1;
    }
    char name[256] = {};
    GetClassNameA(window, name, sizeof name);
    RECT outer{}, client{};
    GetWindowRect(window, &outer);
    GetClientRect(window, &client);
    std::printf("class=%s classstyle=%lu style=0x%08lX rect=%ld,%ld,%ld,%ld client=%ldx%ld\n", name,
                static_cast<unsigned long>(GetClassLongPtrA(window, GCL_STYLE)),
                static_cast<unsigned long>(GetWindowLongA(window, GWL_STYLE)), outer.left,
                outer.top, outer.right, outer.bottom, client.right - client.left,
                client.bottom - client.top);
    return 0;
}
