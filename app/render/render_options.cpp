#include "app/render/render_options.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "cli/printable.h"

const char* const kRenderUsage =
    "usage: gradient-render [--time SECONDS] [--threshold VALUE] [--png FILE] [--segments FILE]\n"
    "                       [--frames N --dir FOLDER [--fps F]]\n"
    "Renders frames of the demo without a window.\n"
    "  --time SECONDS     time into the animation (default 0)\n"
    "  --threshold VALUE  the contour's iso-value, 0 or more (default 0.6)\n"
    "  --png FILE         write the frame as a PNG\n"
    "  --segments FILE    write the contour segments as CSV, in grid units\n"
    "  --frames N         write N frames from --time on, as FOLDER/frame-00000.png, ...\n"
    "  --dir FOLDER       the folder for --frames (created if missing)\n"
    "  --fps F            frames per second for --frames (default 30)\n"
    "  --help             this text\n";

namespace {

bool ParseNumber(const char* text, double& out) {
    if (!text || !*text) return false;
    errno = 0;
    char* end = nullptr;
    const double v = std::strtod(text, &end);
    if (*end != '\0' || errno == ERANGE || !std::isfinite(v)) return false;
    out = v;
    return true;
}

} // namespace

ParsedOptions ParseRenderOptions(int argc, const char* const* argv) {
    ParsedOptions r;
    RenderOptions& o = r.options;
    auto fail = [&](std::string message) {
        r.ok = false;
        r.error = std::move(message);
        return r;
    };
    bool haveFps = false;
    for (int i = 1; i < argc; ++i) {
        const std::string flag = argv[i] ? argv[i] : "";
        if (flag == "--help" || flag == "-h") {
            o.help = true;
            continue;
        }
        const bool takesValue = flag == "--time" || flag == "--threshold" || flag == "--png" ||
                                flag == "--segments" || flag == "--frames" || flag == "--fps" ||
                                flag == "--dir";
        if (!takesValue) return fail("unknown argument '" + Printable(flag) + "' (see --help)");
        if (i + 1 >= argc || !argv[i + 1]) return fail(flag + " needs a value");
        const char* value = argv[++i];
        double v = 0.0;
        if (flag == "--time") {
            if (!ParseNumber(value, v) || v < 0.0 || v > 4294967.295)
                return fail("--time must be a number of seconds from 0 to 4294967.295");
            o.time = float(v);
        } else if (flag == "--threshold") {
            if (!ParseNumber(value, v) || v < 0.0 || v > double(std::numeric_limits<float>::max()))
                return fail("--threshold must be a finite number, 0 or more");
            o.threshold = float(v);
        } else if (flag == "--fps") {
            if (!ParseNumber(value, v) || v <= 0.0 || v > 1e6)
                return fail("--fps must be a number above 0 and at most 1000000");
            o.fps = v;
            haveFps = true;
        } else if (flag == "--frames") {
            if (!ParseNumber(value, v) || v != std::floor(v) || v < 1 || v > kMaxFrames)
                return fail("--frames must be a whole number from 1 to " +
                            std::to_string(kMaxFrames));
            o.frames = int(v);
        } else {
            if (!*value) return fail(flag + " needs a non-empty path");
            (flag == "--png" ? o.png : flag == "--segments" ? o.segments : o.dir) = value;
        }
    }
    if (o.frames > 0 && o.dir.empty()) return fail("--frames needs --dir FOLDER");
    if (!o.dir.empty() && o.frames == 0) return fail("--dir goes with --frames N");
    if (haveFps && o.frames == 0) return fail("--fps goes with --frames N");
    r.ok = true;
    return r;
}
