// isocontour: the contour lines, or filled bands, of a 2-D array read from a .npy or raw
// float32 file, as GeoJSON, CSV or SVG, through the contouring library; or, with gdal_contour's
// command line, of a raster read through GDAL, written through OGR.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <new>
#include <span>
#include <string>
#include <vector>

#include "cli/bands_svg.h"
#include "cli/bands_text.h"
#include "cli/lines_svg.h"
#include "cli/lines_text.h"
#include "cli/npy_file.h"
#include "cli/options.h"
#include "cli/output_file.h"
#include "cli/printable.h"
#include "cli/raster_options.h"
#include "isocontour/isocontour.h"
#ifdef ISOCONTOUR_GDAL_HELPER
#include "cli/gdal_helper.h"
#endif

namespace {

// Bad input: exits 2 with its one line; a failed write exits 1.
struct Refusal {
    std::string message;
    int code = 2;
};

template <class T> const std::vector<T>& ValuesOf(const NpyArray& a) {
    if constexpr (sizeof(T) == sizeof(float))
        return a.f32;
    else
        return a.f64;
}

template <class T> isocontour::View<T> ViewOf(const NpyArray& a, const std::vector<T>& v) {
    return {v.data(), a.cols, a.rows, a.ColumnStride(), a.RowStride(), v.size()};
}

NpyArray Load(const std::string& path, const char* what) {
    NpyArray a;
    std::string error;
    if (!ReadNpy(path, a, error)) throw Refusal{error};
    if (a.type == NpyArray::Type::Bool) {
        if (std::string(what) != "--mask")
            throw Refusal{std::string(what) + " " + Printable(path) + ": a bool array; values " +
                          "and coordinates are float32 or float64"};
    } else if (std::string(what) == "--mask") {
        throw Refusal{"--mask " + Printable(path) + ": a " + a.Describe() + ", not bool"};
    }
    return a;
}

NpyArray LoadField(const ContourToolOptions& o) {
    if (o.sizeX == 0) {
        NpyArray a = Load(o.field, "FIELD");
        if (a.dims != 2) throw Refusal{"FIELD " + Printable(o.field) + ": a 1-D array"};
        return a;
    }
    // x-major raw data is a Fortran-order array of shape (NY, NX): z[j][i] at j + i * NY.
    NpyArray a;
    a.type = NpyArray::Type::Float32;
    a.dims = 2;
    a.rows = std::ptrdiff_t(o.sizeY);
    a.cols = std::ptrdiff_t(o.sizeX);
    a.fortranOrder = true;
    std::string error;
    if (!ReadRawFloat32(o.field, std::size_t(o.sizeX) * std::size_t(o.sizeY), a.f32, error))
        throw Refusal{error};
    return a;
}

std::string Number(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", v);
    return text;
}

std::string Shape(const NpyArray& a) { return a.Describe().substr(a.Describe().find("shape")); }

// Coordinates in the values' type, and their view: 1-D of the columns' (x) or rows' (y) count,
// or 2-D the field's shape.
template <class T> struct Coordinates {
    std::vector<T> values;
    isocontour::View<T> view;

    Coordinates(const NpyArray& field, const NpyArray& a, const std::string& path, bool isX) {
        const char* flag = isX ? "--x" : "--y";
        const std::ptrdiff_t want = isX ? field.cols : field.rows;
        if (a.dims == 1 && a.cols != want)
            throw Refusal{std::string(flag) + " " + Printable(path) + ": " +
                          std::to_string(a.cols) + " values for the field's " +
                          std::to_string(want) + (isX ? " columns" : " rows")};
        if (a.dims == 2 && (a.rows != field.rows || a.cols != field.cols))
            throw Refusal{std::string(flag) + " " + Printable(path) + ": " + Shape(a) +
                          ", not the field's " + Shape(field)};
        values.reserve(std::size_t(a.rows * a.cols));
        for (double v : a.type == NpyArray::Type::Float32
                            ? std::vector<double>(a.f32.begin(), a.f32.end())
                            : a.f64)
            values.push_back(T(v));
        view = a.dims == 1 ? isocontour::View<T>{values.data(), a.cols, 1, 1, a.cols, values.size()}
                           : ViewOf(a, values);
    }
};

template <class T>
std::vector<T> Levels(const ContourToolOptions& o, isocontour::View<T> z,
                      isocontour::View<std::uint8_t> mask) {
    std::vector<double> levels = o.levels;
    if (o.nlevels > 0) {
        levels = FieldLevels(o.nlevels, z, mask);
        if (levels.empty()) throw Refusal{"--nlevels: the field has no range of finite values"};
    }
    std::vector<T> out;
    for (double l : levels) {
        if (!std::isfinite(T(l)))
            throw Refusal{"level " + Number(l) + " is beyond the float32 range of the field"};
        out.push_back(T(l));
    }
    return out;
}

void Save(const std::string& path, const std::function<bool(std::FILE*)>& write) {
    std::string error;
    if (!path.empty() && !WriteFileAtomically(path, write, error)) throw Refusal{error, 1};
}

// Outputs that cannot be written are refused before any is: each file is written whole or not
// at all, and this keeps a later one's failure from leaving an earlier one behind.
void CheckOutputs(const ContourToolOptions& o) {
    namespace fs = std::filesystem;
    for (const std::string* path : {&o.csv, &o.geojson, &o.svg}) {
        if (path->empty()) continue;
        std::error_code ec;
        const fs::path parent = fs::absolute(*path, ec).parent_path();
        if (fs::is_directory(*path, ec))
            throw Refusal{"cannot write " + Printable(*path) + ": it is a directory"};
        if (!fs::is_directory(parent, ec))
            throw Refusal{"cannot write " + Printable(*path) + ": no folder " +
                          Printable(parent.string())};
    }
}

// The bands between the levels (and the open ones on request), written or summed up.
template <class T>
void RunFilled(const ContourToolOptions& o, isocontour::View<T> z, isocontour::Options<T> options,
               const std::vector<T>& levels) {
    for (std::size_t k = 1; k < levels.size(); ++k)
        if (!(levels[k - 1] < levels[k]))
            throw Refusal{"--filled needs rising levels; " + Number(double(levels[k])) +
                          " follows " + Number(double(levels[k - 1])) + " in the field's type"};
    options.openBands = o.openBands;
    isocontour::Bands<T> bands;
    try {
        bands = isocontour::FilledContours(z, std::span<const T>(levels), options);
    } catch (const isocontour::Error& e) {
        throw Refusal{e.what()};
    }
    Save(o.csv, [&](std::FILE* f) { return WriteBandsCsv(f, bands); });
    Save(o.geojson, [&](std::FILE* f) { return WriteBandsGeoJson(f, bands); });
    Save(o.svg, [&](std::FILE* f) { return WriteBandsSvg(f, z, options, bands); });
    if (!o.csv.empty() || !o.geojson.empty() || !o.svg.empty()) return;
    for (std::size_t b = 0; b + 1 < bands.bandOffsets.size(); ++b) {
        const auto p0 = bands.bandOffsets[b], p1 = bands.bandOffsets[b + 1];
        const auto r0 = bands.polygonOffsets[std::size_t(p0)];
        const auto r1 = bands.polygonOffsets[std::size_t(p1)];
        std::printf("band %.9g to %.9g: %lld polygons (%lld holes), %lld points\n",
                    double(bands.lower[b]), double(bands.upper[b]), static_cast<long long>(p1 - p0),
                    static_cast<long long>(r1 - r0 - (p1 - p0)),
                    static_cast<long long>(bands.ringOffsets[std::size_t(r1)] -
                                           bands.ringOffsets[std::size_t(r0)]));
    }
}

template <class T> void Run(const ContourToolOptions& o, const NpyArray& field) {
    const isocontour::View<T> z = ViewOf(field, ValuesOf<T>(field));
    isocontour::Options<T> options;
    options.saddle = o.saddle;
    options.atLevel = o.atLevel;
    options.interpolation =
        o.log ? isocontour::Interpolation::Log : isocontour::Interpolation::Linear;
    options.cornerMask = o.cornerMask;
    options.threads = o.threads;
    options.normals = o.normals;
    NpyArray maskFile;
    if (!o.mask.empty()) {
        maskFile = Load(o.mask, "--mask");
        if (maskFile.dims != 2 || maskFile.rows != field.rows || maskFile.cols != field.cols)
            throw Refusal{"--mask " + Printable(o.mask) + ": " + Shape(maskFile) +
                          ", not the field's " + Shape(field)};
        options.mask = ViewOf(maskFile, maskFile.bools);
    }
    std::vector<Coordinates<T>> xy; // their views point into their own vectors: no regrowth
    xy.reserve(2);
    if (!o.x.empty()) {
        xy.emplace_back(field, Load(o.x, "--x"), o.x, true);
        xy.emplace_back(field, Load(o.y, "--y"), o.y, false);
        options.x = xy[0].view;
        options.y = xy[1].view;
    }
    const std::vector<T> levels = Levels(o, z, options.mask);
    if (o.filled) return RunFilled(o, z, options, levels);

    isocontour::Lines<T> lines;
    try {
        lines = isocontour::ContourLines(z, std::span<const T>(levels), options);
    } catch (const isocontour::Error& e) {
        throw Refusal{e.what()};
    }
    const std::span<const T> ls(levels);
    Save(o.csv, [&](std::FILE* f) { return WriteLinesCsv(f, lines, ls); });
    Save(o.geojson, [&](std::FILE* f) { return WriteLinesGeoJson(f, lines, ls); });
    Save(o.svg, [&](std::FILE* f) { return WriteLinesSvg(f, z, options, lines, ls); });
    if (o.csv.empty() && o.geojson.empty() && o.svg.empty()) {
        for (std::size_t m = 0; m < levels.size(); ++m) {
            std::size_t closed = 0;
            for (auto k = lines.levelOffsets[m]; k < lines.levelOffsets[m + 1]; ++k)
                closed += lines.closed[std::size_t(k)];
            const auto first = lines.levelOffsets[m], last = lines.levelOffsets[m + 1];
            std::printf("level %.9g: %lld lines (%zu closed), %lld points\n", double(levels[m]),
                        static_cast<long long>(last - first), closed,
                        static_cast<long long>(lines.offsets[std::size_t(last)] -
                                               lines.offsets[std::size_t(first)]));
        }
    }
}

// gdal_contour's command line: a raster in, a vector file out.
int RasterMain(int argc, char** argv) {
    const ParsedRasterOptions parsed = ParseRasterOptions(argc, argv);
    if (!parsed.ok) {
        std::fprintf(stderr, "isocontour: %s\n", parsed.error.c_str());
        return 2;
    }
    if (parsed.options.help) {
        std::fputs(kRasterUsage, stdout);
        return 0;
    }
#ifdef ISOCONTOUR_GDAL_HELPER
    return RunHelper(ISOCONTOUR_GDAL_HELPER, argv);
#else
    std::fputs("isocontour: this build reads no rasters (it was built without GDAL); give a .npy "
               "or raw FIELD (see --help)\n",
               stderr);
    return 2;
#endif
}

} // namespace

int main(int argc, char** argv) {
    if (IsRasterCommandLine(argc, argv)) return RasterMain(argc, argv);
    const ParsedContourOptions parsed = ParseContourOptions(argc, argv);
    if (!parsed.ok) {
        std::fprintf(stderr, "isocontour: %s\n", parsed.error.c_str());
        return 2;
    }
    const ContourToolOptions& o = parsed.options;
    if (o.help) {
        std::printf("%s\n%s", kContourUsage, kRasterUsage);
        return 0;
    }
    try {
        CheckOutputs(o);
        const NpyArray field = LoadField(o);
        if (field.type == NpyArray::Type::Float32)
            Run<float>(o, field);
        else
            Run<double>(o, field);
    } catch (const Refusal& r) {
        std::fprintf(stderr, "isocontour: %s\n", r.message.c_str());
        return r.code;
    } catch (const std::bad_alloc&) {
        std::fputs("isocontour: out of memory\n", stderr);
        return 1;
    }
    return 0;
}
