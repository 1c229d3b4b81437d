// win_probe: what Windows itself says about a top-level window, for the whole-program test
// under wine. Usage: win_probe "<window title>". Prints one line
//   class=<name> classstyle=<n> style=0x<8 hex> rect=<left>,<top>,<right>,<bottom> client=<w>x<h>
// and exits 0, or prints "none" and exits 1 when no window has that title.
// Usage: win_probe --box "<caption>": the same for a message box (the dialog class) with that
// caption. Prints one line
//   icon=<n> buttons=<text>[,<text>...] text=<the message>
// (n: how many icon controls it shows) and exits 0, or prints "none" and exits 1.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

// What a message box shows, gathered from its child controls.
struct BoxContents {
    int icons = 0;
    std::string buttons;
    std::string text;
};

BOOL CALLBACK ReadControl(HWND control, LPARAM param) {
    auto& box = *reinterpret_cast<BoxContents*>(param);
    char name[64] = {};
    GetClassNameA(control, name, sizeof name);
    char text[1024] = {};
    GetWindowTextA(control, text, sizeof text);
    const LONG style = GetWindowLongA(control, GWL_STYLE);
    if (lstrcmpiA(name, "Button") == 0) {
        box.buttons += (box.buttons.empty() ? "" : ",") + std::string(text);
    } else if (lstrcmpiA(name, "Static") == 0) {
        if ((style & SS_TYPEMASK) == SS_ICON)
            box.icons += SendMessageA(control, STM_GETICON, 0, 0) != 0 ? 1 : 0;
        else if (text[0] != '\0')
            box.text += text;
    }
    return TRUE;
}

int ProbeBox(const char* caption) {
    HWND box = FindWindowA("#32770", caption); // the dialog class
    if (box == nullptr) {
        std::printf("none\n");
        return 1;
    }
    BoxContents contents;
    EnumChildWindows(box, ReadControl, reinterpret_cast<LPARAM>(&contents));
    std::printf("icon=%d buttons=%s text=%s\n", contents.icons, contents.buttons.c_str(),
                contents.text.c_str());
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--box") return ProbeBox(argv[2]);
    if (argc != 2) {
        std::fprintf(stderr, "usage: win_probe [--box] \"<window title>\"\n");
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
