#include "cli/output_file.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "cli/printable.h"

namespace fs = std::filesystem;

namespace {

// The writer's own reason when it gave one, else a plain one.
std::string WriteFailure(const std::string& path, const std::string& reason) {
    return "cannot write " + Printable(path) + ": " +
           (reason.empty() ? "the write failed" : reason);
}

// Why the file for path could not be opened; errno still holds the open's reason.
bool OpenFailure(const std::string& path, std::string& error) {
    const int why = errno;
    error = "cannot write " + Printable(path) + ": " + std::strerror(why);
    return false;
}

// Hands the open file f to write and closes it: true when write succeeded and every byte reached
// the file; otherwise error is one line about path.
bool WriteAndClose(std::FILE* f, const std::string& path,
                   const std::function<bool(std::FILE*)>& write, std::string& error) {
    error.clear();
    bool ok = write(f);
    ok = std::ferror(f) == 0 && ok;
    ok = std::fclose(f) == 0 && ok;
    if (!ok) error = WriteFailure(path, error);
    return ok;
}

} // namespace

bool WriteFileAtomically(const std::string& path, const std::function<bool(std::FILE*)>& write,
                         std::string& error) {
    std::error_code ec;
    const fs::file_status st = fs::status(path, ec);
    if (fs::is_directory(st)) {
        error = "cannot write " + Printable(path) + ": it is a directory";
        return false;
    }
    if (fs::exists(st) && !fs::is_regular_file(st)) {
        // A device or a pipe (/dev/null, /dev/stdout, a FIFO): written straight through. A
        // temporary renamed over it would replace the device node with a plain file.
        std::FILE* f = std::fopen(path.c_str(), "wb");
        if (!f) return OpenFailure(path, error);
        return WriteAndClose(f, path, write, error);
    }
    // A temporary name nothing uses yet, so no file of the user's is overwritten on the way.
    std::string temp = path + ".partial";
    for (int i = 1; fs::exists(fs::symlink_status(temp, ec)) && i < 1000; ++i)
        temp = path + ".partial" + std::to_string(i);
    std::FILE* f =
        fs::exists(fs::symlink_status(temp, ec)) ? nullptr : std::fopen(temp.c_str(), "wb");
    if (!f) return OpenFailure(path, error);
    if (WriteAndClose(f, path, write, error)) {
        fs::rename(temp, path, ec);
        if (!ec) return true;
        error = "cannot write " + Printable(path) + ": " + ec.message();
    }
    fs::remove(temp, ec);
    return false;
}
