// The program entry on Linux: main hands over to the shell's WinMain as Windows would, with
// the module handle, no previous instance, the arguments joined into one command line and the
// default show command.
#include <string>

#include "platform/win32.h"

int main(int argc, char** argv) {
    static std::string commandLine;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) commandLine += ' ';
        commandLine += argv[i];
    }
    return WinMain(GetModuleHandleA(nullptr), nullptr, commandLine.data(), SW_SHOWDEFAULT);
}
