// gradient-render: renders frames of the demo without a window, to PNG files and a CSV of the
// contour segments. The frame is the program's own: same charges, grids, contour and picture.
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

#include "app/frame.h"
#include "app/state.h"
#include "cli/output_file.h"
#include "app/render/png_writer.h"
#include "cli/printable.h"
#include "app/render/render_options.h"
#include "app/render/segments_csv.h"

namespace {

int Fail(const std::string& message, int code) {
    std::fprintf(stderr, "gradient-render: %s\n", message.c_str());
    return code;
}

bool SavePng(const std::string& path, std::string& error) {
    const FrameView frame = gfx->LastFrame();
    return WriteFileAtomically(
        path, [&](std::FILE* f) { return WritePng(f, frame, error); }, error);
}

bool SaveSegments(const std::string& path, std::string& error) {
    const FrameContour c;
    return WriteFileAtomically(
        path, [&](std::FILE* f) { return WriteSegmentsCsv(f, c.points, c.normals, c.count); },
        error);
}

int Render(const RenderOptions& o) {
    threshold = o.threshold;
    std::string error;
    if (o.frames > 0) {
        std::error_code ec;
        std::filesystem::create_directories(o.dir, ec);
        if (!std::filesystem::is_directory(o.dir, ec))
            return Fail("cannot create the folder " + Printable(o.dir), 1);
    }
    // The single frame at --time, unless a sequence is all that was asked for.
    if (o.frames == 0 || !o.png.empty() || !o.segments.empty()) {
        RenderFrameAt(o.time);
        if (!o.png.empty() && !SavePng(o.png, error)) return Fail(error, 1);
        if (!o.segments.empty() && !SaveSegments(o.segments, error)) return Fail(error, 1);
        if (o.png.empty() && o.segments.empty()) {
            std::printf("t = %g s, threshold = %g: %d contour end points\n", double(o.time),
                        double(o.threshold), int(FrameContour().count));
        }
    }
    for (int k = 0; k < o.frames; ++k) {
        RenderFrameAt(float(double(o.time) + double(k) / o.fps));
        char name[32];
        std::snprintf(name, sizeof name, "frame-%05d.png", k);
        if (!SavePng((std::filesystem::path(o.dir) / name).string(), error)) return Fail(error, 1);
    }
    if (o.frames > 0) std::printf("%d frames in %s\n", o.frames, o.dir.c_str());
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const ParsedOptions parsed = ParseRenderOptions(argc, argv);
    if (!parsed.ok) return Fail(parsed.error, 2);
    if (parsed.options.help) {
        std::fputs(kRenderUsage, stdout);
        return 0;
    }
    if (!InitDemo()) return 1; // InitDemo has said what is missing
    const int code = Render(parsed.options);
    ShutdownDemo();
    return code;
}
