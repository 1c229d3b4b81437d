// The program entry in a web page: main hands over to the shell's WinMain as Windows would, and
// when WinMain returns (the window was closed) tells the page, which says the demo has stopped.
// The page calls main itself (it is not run on load), so that it can show a still frame instead.
#include <emscripten.h>

#include "platform/win32.h"

namespace {

EM_JS(void, TellPageStopped, (int code), {
    if (Module['onStopped']) Module['onStopped'](code);
});

} // namespace

int main() {
    static char commandLine[] = "";
    const int code = WinMain(GetModuleHandleA(nullptr), nullptr, commandLine, SW_SHOWDEFAULT);
    TellPageStopped(code);
    return code;
}
