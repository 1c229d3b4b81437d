#include "tools/output_file.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "tools/printable.h"

namespace fs = std::filesystem;

bool WriteFileAtomically(const std::string& path, const std::function<bool(std::FILE*)>& write,
                         std::string& error) {
    std::error_code ec;
    if (fs::is_directory(path, ec)) {
        error = "cannot write " + Printable(path) + ": it is a directory";
        return false;
    }
    const std::string temp = path + ".partial";
    std::FILE* f = std::fopen(temp.c_str(), "wb");
    if (!f) {
        error = "cannot write " + Printable(path) + ": " + std::strerror(errno);
        return false;
    }
    bool ok = write(f);
    ok = std::ferror(f) == 0 && ok;
    ok = std::fclose(f) == 0 && ok;
    if (ok) {
        fs::rename(temp, path, ec);
        if (!ec) return true;
        error = "cannot write " + Printable(path) + ": " + ec.message();
    } else {
        error = "cannot write " + Printable(path) + ": the write failed";
    }
    fs::remove(temp, ec);
    return false;
}
