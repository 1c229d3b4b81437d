// Fuzz target for gradient-render's command line and its all-or-nothing output files.
//
// Input layout: one control byte, then the arguments as NUL-separated strings (flags are
// easiest found with the dictionary render_args_fuzz.dict).
//
// What must hold whatever the input:
// - ParseRenderOptions never crashes; it gives either one non-empty line of error or options
//   within their documented ranges (a --frames run always has a folder, and the reverse);
// - every output path the options name, written through WriteFileAtomically into a scratch
//   folder (absolute paths and ".." are folded into it, nothing outside is ever touched) with
//   a writer that fails part-way or succeeds as the control byte says: on success the file
//   holds exactly what was written; on failure one line of error, the path exactly as it was
//   before (absent, an old file with its old bytes, or a folder) and no temporary left behind.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

#include "cli/output_file.h"
#include "app/render/render_options.h"

namespace fs = std::filesystem;

namespace {

[[noreturn]] void Fail(const std::string& what) {
    std::fprintf(stderr, "render_args_fuzz: %s\n", what.c_str());
    std::abort();
}

void Check(bool ok, const std::string& what) {
    if (!ok) Fail(what);
}

bool OneLine(const std::string& s) {
    return !s.empty() && s.find('\n') == std::string::npos && s.find('\r') == std::string::npos;
}

std::string ReadAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The scratch folder: under $FUZZ_SCRATCH when set (scripts/test-fuzz points it at memory:
// every input writes files, and a disk makes that slow), else under the working folder.
const fs::path& SandboxRoot() {
    static const fs::path root = [] {
        const char* scratch = std::getenv("FUZZ_SCRATCH");
        const fs::path base = scratch && *scratch ? fs::path(scratch) : fs::current_path();
        return base / "render_args_sandbox";
    }();
    return root;
}

// The scratch folder emptied and set up afresh for an input: a folder, an old file, and a file
// to be used as a path component that is not a folder.
fs::path Sandbox() {
    const fs::path& root = SandboxRoot();
    std::error_code ec;
    fs::remove_all(root, ec);
    fs::create_directories(root / "dir", ec);
    std::ofstream(root / "old.png", std::ios::binary) << "old bytes";
    std::ofstream(root / "notdir", std::ios::binary) << "a file";
    return root;
}

// A path from the command line, folded into the sandbox: no root, no "..".
fs::path Confine(const fs::path& root, const std::string& arg) {
    fs::path out = root;
    for (const fs::path& part : fs::path(arg).relative_path()) {
        out /= (part == ".." ? fs::path("up") : part);
    }
    return out.lexically_normal();
}

struct Before {
    bool exists = false;
    bool isFile = false;
    std::string bytes;
};

Before Look(const fs::path& p) {
    std::error_code ec;
    Before b;
    const fs::file_status st = fs::symlink_status(p, ec);
    b.exists = fs::exists(st);
    b.isFile = fs::is_regular_file(st);
    if (b.isFile) b.bytes = ReadAll(p);
    return b;
}

// Every entry under the sandbox, recursively.
std::vector<fs::path> Listing(const fs::path& root) {
    std::vector<fs::path> out;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(root, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        out.push_back(it->path());
    }
    std::sort(out.begin(), out.end());
    return out;
}

void WriteThrough(const fs::path& root, const std::string& arg, std::uint8_t control) {
    const fs::path path = Confine(root, arg);
    const Before before = Look(path);
    std::vector<fs::path> entries = Listing(root);
    const std::string payload(std::size_t(control & 0x3F) * 37, 'p');
    const bool writerFails = control & 0x40;

    std::string error;
    const bool ok = WriteFileAtomically(
        path.string(),
        [&](std::FILE* f) {
            const std::size_t n = writerFails ? payload.size() / 2 : payload.size();
            return std::fwrite(payload.data(), 1, n, f) == n && !writerFails;
        },
        error);

    if (ok) {
        Check(!writerFails, "a failed writer reported as success: " + path.string());
        Check(fs::is_regular_file(path) && ReadAll(path) == payload,
              "written file differs from what was written: " + path.string());
        if (!before.exists) {
            entries.push_back(path);
            std::sort(entries.begin(), entries.end());
        }
    } else {
        Check(OneLine(error), "output error is not one line: '" + error + "'");
        const Before after = Look(path);
        Check(after.exists == before.exists && after.isFile == before.isFile &&
                  after.bytes == before.bytes,
              "a failed write changed " + path.string());
    }
    // Nothing else appeared or went away: no temporary left behind.
    Check(Listing(root) == entries, "the folder holds other entries than before: " + arg);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::uint8_t control = data[0];
    std::vector<std::string> args{"gradient-render"};
    std::string current;
    for (std::size_t i = 1; i < size; ++i) {
        if (data[i] == 0) {
            args.push_back(current);
            current.clear();
        } else {
            current.push_back(char(data[i]));
        }
    }
    if (!current.empty()) args.push_back(current);
    if (args.size() > 64) return 0; // a command line, not a file
    std::vector<const char*> argv;
    for (const std::string& a : args)
        argv.push_back(a.c_str());
    argv.push_back(nullptr);

    const ParsedOptions r = ParseRenderOptions(int(args.size()), argv.data());
    if (!r.ok) {
        Check(OneLine(r.error), "parse error is not one line: '" + r.error + "'");
        return 0;
    }
    const RenderOptions& o = r.options;
    Check(std::isfinite(o.time) && o.time >= 0.0f, "time out of range");
    Check(std::isfinite(o.threshold) && o.threshold >= 0.0f, "threshold out of range");
    Check(std::isfinite(o.fps) && o.fps > 0.0, "fps out of range");
    Check(o.frames >= 0 && o.frames <= kMaxFrames, "frames out of range");
    Check((o.frames > 0) == !o.dir.empty(), "--frames without a folder, or the reverse");

    if (o.png.empty() && o.segments.empty()) return 0;
    const fs::path root = Sandbox();
    for (const std::string* p : {&o.png, &o.segments}) {
        if (!p->empty()) WriteThrough(root, *p, control);
    }
    return 0;
}
