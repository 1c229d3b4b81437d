// The web page's hooks for tests and links: one still frame at a given time and threshold,
// parsed and rendered exactly as gradient-render does, that frame's contour segments as
// gradient-render's CSV, and the sines and cosines the frames take from this C library. The
// page calls them instead of main.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <emscripten.h>

#include "app/frame.h"
#include "app/state.h"
#include "app/render/render_options.h"
#include "app/render/segments_csv.h"

namespace {

std::string segments;            // the last CSV handed to the page
std::vector<std::uint32_t> trig; // the last sines and cosines handed to the page

} // namespace

// Draws the frame at time seconds and the threshold (each null for gradient-render's default)
// and leaves the demo's globals holding it. 1 on success; 0 after one line on stderr when an
// argument is not one gradient-render accepts or the graphics cannot start.
extern "C" EMSCRIPTEN_KEEPALIVE int web_still(const char* time, const char* threshold) {
    const char* argv[5] = {"gradient-render"};
    int argc = 1;
    if (time != nullptr) {
        argv[argc++] = "--time";
        argv[argc++] = time;
    }
    if (threshold != nullptr) {
        argv[argc++] = "--threshold";
        argv[argc++] = threshold;
    }
    const ParsedOptions parsed = ParseRenderOptions(argc, argv);
    if (!parsed.ok) {
        std::fprintf(stderr, "still frame: %s\n", parsed.error.c_str());
        return 0;
    }
    if (gfx == nullptr && !InitDemo()) return 0;
    ::threshold = parsed.options.threshold;
    RenderFrameAt(parsed.options.time);
    return 1;
}

// The contour of the frame in the grids at the current threshold, as gradient-render
// --segments writes it. Valid until the next call.
extern "C" EMSCRIPTEN_KEEPALIVE const char* web_segments() {
    const FrameContour c;
    char* text = nullptr;
    std::size_t size = 0;
    if (std::FILE* f = open_memstream(&text, &size)) {
        WriteSegmentsCsv(f, c.points, c.normals, c.count);
        std::fclose(f);
    }
    segments.assign(text != nullptr ? text : "", size);
    std::free(text);
    return segments.c_str();
}

// For the count millisecond readings from first on, the four values the charges are placed with,
// as float bits: sin t, cos t, sin 2t, cos 2t, with t the frame's seconds and 2t formed as t + t,
// each taken in double and rounded to float. Valid until the next call.
extern "C" EMSCRIPTEN_KEEPALIVE const std::uint32_t* web_trig_bits(std::uint32_t first,
                                                                   std::uint32_t count) {
    trig.resize(std::size_t(count) * 4);
    for (std::uint32_t i = 0; i < count; ++i) {
        const float t = FrameSeconds(first + i), t2 = t + t;
        const float v[4] = {float(std::sin(double(t))), float(std::cos(double(t))),
                            float(std::sin(double(t2))), float(std::cos(double(t2)))};
        std::memcpy(&trig[std::size_t(i) * 4], v, sizeof v);
    }
    return trig.data();
}
