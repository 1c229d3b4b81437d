#include "cli/gdal_helper.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

#include <unistd.h>

#include "cli/printable.h"

int RunHelper(const char* name, char** argv) {
    std::error_code ec;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    const std::string helper = (self.parent_path() / name).string();
    if (!ec) {
        argv[0] = const_cast<char*>(helper.c_str());
        execv(helper.c_str(), argv);
    }
    const int why = ec ? ec.value() : errno;
    std::fprintf(stderr, "isocontour: cannot run %s for the raster form: %s\n",
                 Printable(helper).c_str(), std::strerror(why));
    return 2;
}
