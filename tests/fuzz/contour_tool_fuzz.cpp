// Fuzz target for isocontour's inputs: the .npy reader and the command line, both its forms.
//
// Input layout: one control byte; when it is even, the rest is a file handed to ReadNpy (and
// its first bytes to ParseNpyHeader); when odd, the rest is the arguments as NUL-separated
// strings for ParseContourOptions.
//
// What must hold whatever the input:
// - each either succeeds or gives one non-empty line of error, and never crashes;
// - a header that parses has 1 or 2 dimensions, non-negative extents and its values after it;
//   a file that reads holds exactly rows x cols values of its type and agrees with its header;
// - parsed options are within their documented ranges, with a field and levels unless --help;
//   the raster form's have SRC, DST and one kind of level with a usable value.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "cli/npy_file.h"
#include "cli/options.h"
#include "cli/raster_options.h"

namespace {

void Check(bool ok, const char* what) {
    if (ok) return;
    std::fprintf(stderr, "contour_tool_fuzz: %s\n", what);
    std::abort();
}

bool OneLine(const std::string& s) { return !s.empty() && s.find('\n') == std::string::npos; }

void Npy(const std::string& bytes) {
    NpyHeader h;
    std::string error;
    if (ParseNpyHeader(bytes, h, error)) {
        Check(h.dims == 1 || h.dims == 2, "dimensions");
        Check(h.rows >= 0 && h.cols >= 0 && (h.dims == 2 || h.rows == 1), "extents");
        Check(h.dataOffset <= bytes.size(), "values before the header's end");
    } else {
        Check(OneLine(error), "header error not one line");
    }
    const char* scratch = std::getenv("FUZZ_SCRATCH");
    const std::filesystem::path path =
        std::filesystem::path(scratch && *scratch ? scratch : ".") / "contour_tool_fuzz.npy";
    std::ofstream(path, std::ios::binary) << bytes;
    NpyArray a;
    if (!ReadNpy(path.string(), a, error)) {
        Check(OneLine(error), "read error not one line");
        return;
    }
    Check(ParseNpyHeader(bytes, h, error), "a file read whose header is refused");
    const std::size_t n = std::size_t(a.rows) * std::size_t(a.cols);
    const std::size_t size = a.type == NpyArray::Type::Float32   ? a.f32.size() * 4
                             : a.type == NpyArray::Type::Float64 ? a.f64.size() * 8
                                                                 : a.bools.size();
    Check(a.f32.size() + a.f64.size() + a.bools.size() == n, "value count");
    Check(h.dataOffset + size == bytes.size(), "the file is not header and values");
    for (std::uint8_t b : a.bools)
        Check(b <= 1, "bool not 0 or 1");
}

// The raster form's command line: the same words, whichever grammar claims them.
void RasterArgs(const std::vector<const char*>& argv) {
    const int argc = int(argv.size());
    const ParsedRasterOptions p = ParseRasterOptions(argc, argv.data());
    if (!p.ok) {
        Check(OneLine(p.error), "raster option error not one line");
        return;
    }
    const RasterToolOptions& o = p.options;
    for (const std::string& w : o.warnings)
        Check(OneLine(w), "a warning not one line");
    if (o.help) return;
    // Levels need -i, -fl or -e: the array form never claims such a command line.
    Check(IsRasterCommandLine(argc, argv.data()), "raster options the array form would claim");
    Check(!o.source.empty() && !o.destination.empty(), "SRC and DST");
    Check(o.band >= 1 && o.threads >= 0 && o.threads <= kMaxThreads, "band and threads");
    using Kind = RasterToolOptions::LevelKind;
    Check(o.levelKind != Kind::Fixed || !o.fixed.empty(), "-fl without levels");
    Check(o.levelKind != Kind::Exponential || o.base > 1, "-e base");
    Check(o.levelKind != Kind::Interval || (o.interval > 0 && std::isfinite(o.interval)),
          "-i interval");
    for (double l : o.fixed)
        Check(std::isfinite(l), "a fixed level not finite");
    Check(!o.layerName.empty(), "layer name");
}

void Args(const std::string& bytes) {
    std::vector<std::string> words{"isocontour"};
    std::string word;
    for (char c : bytes) {
        if (c)
            word += c;
        else
            words.push_back(word), word.clear();
    }
    words.push_back(word);
    std::vector<const char*> argv;
    for (const std::string& w : words)
        argv.push_back(w.c_str());
    RasterArgs(argv);
    const ParsedContourOptions p = ParseContourOptions(int(argv.size()), argv.data());
    if (!p.ok) {
        Check(OneLine(p.error), "option error not one line");
        return;
    }
    const ContourToolOptions& o = p.options;
    if (o.help) return;
    Check(!o.field.empty(), "no field");
    Check(o.levels.empty() != (o.nlevels == 0), "levels and nlevels");
    Check(o.nlevels >= 0 && o.nlevels <= kMaxLevels && o.levels.size() <= kMaxLevels, "count");
    Check(o.threads >= 0 && o.threads <= kMaxThreads, "threads");
    Check((o.sizeX == 0) == (o.sizeY == 0) && o.sizeX >= 0, "size");
    Check(o.x.empty() == o.y.empty(), "x and y");
    for (double l : o.levels)
        Check(std::isfinite(l), "a level not finite");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::string rest(reinterpret_cast<const char*>(data) + 1, size - 1);
    if (data[0] % 2 == 0)
        Npy(rest);
    else
        Args(rest);
    return 0;
}
