// Fuzz target for the isocontour tool's raster front end: a file GDAL opens as a raster (the
// seeds are small GeoTIFFs: integer and float types, nodata values, NaN, tiles, compression,
// several bands, rotated and PixelIsPoint georeferencing), read through GdalRaster in strips
// into the padded grid, its levels from gdal_contour's options, contoured by the library and
// written through OGR (its Memory driver, so nothing reaches the disk).
//
// Input layout: a control byte (bit 0 polygons, bit 1 -inodata, bit 2 a value at a level lies
// below it, bits 3-4 the band, 1 to 4), a byte for the number of intervals the valid range is
// split into for the levels (1 to 32, both ends included, as -fl), then the file. Rasters of more
// than 65536 pixels are left alone after opening (the reader's memory is the raster's; that is not
// what is fuzzed here).
//
// What must hold whatever the input:
// - opening and reading either succeed or give one non-empty line of error; never a crash, a
//   sanitizer report or a leak;
// - an opened raster has positive extents and strips of at least one row;
// - the grid holds every pixel read, NaN exactly where the value is nodata or not finite, its
//   pads copy the border, and its range is the valid values' range;
// - the levels rise, lie in that range, and the bands' bounds rise from -inf to +inf;
// - every line and ring point lies within the raster's pixel extent [0, cols] x [0, rows];
// - the bands' areas sum to at most the raster's;
// - every feature is written and the output commits.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include <cpl_vsi.h>
#include <gdal_priv.h>

#include "cli/gdal_raster.h"
#include "cli/ogr_output.h"
#include "cli/raster_grid.h"
#include "cli/raster_levels.h"
#include "isocontour/isocontour.h"

namespace {

void Check(bool ok, const char* what) {
    if (ok) return;
    std::fprintf(stderr, "gdal_raster_fuzz: %s\n", what);
    std::abort();
}

bool OneLine(const std::string& s) { return !s.empty() && s.find('\n') == std::string::npos; }

// GDAL with the drivers the seeds need: every other driver would only probe the bytes.
void Start() {
    static const bool started = [] {
        StartGdal();
        GDALDriverManager* m = GetGDALDriverManager();
        for (int k = m->GetDriverCount() - 1; k >= 0; --k) {
            GDALDriver* d = m->GetDriver(k);
            const std::string name = d->GetDescription();
            if (name == "GTiff" || name == "Memory") continue;
            m->DeregisterDriver(d);
            GDALDestroyDriver(d);
        }
        return true;
    }();
    (void)started;
}

template <class T> bool Inside(const isocontour::Point<T>& p, double cols, double rows) {
    return p.x >= 0 && p.y >= 0 && double(p.x) <= cols && double(p.y) <= rows;
}

// Reads, checks and contours the raster at levels splitting its valid range into `intervals`
// (as -fl, including both ends), and writes the result.
template <class T>
void Run(GdalRaster& raster, RasterToolOptions o, int intervals, VectorOutput& out) {
    const RasterDescription& d = raster.Description();
    PaddedGrid<T> grid(d.cols, d.rows);
    std::vector<T> raw(std::size_t(d.cols * d.rows));
    std::string error;
    for (std::ptrdiff_t r0 = 0; r0 < d.rows; r0 += d.stripRows) {
        const std::ptrdiff_t n = std::min(d.stripRows, d.rows - r0);
        if (!raster.ReadRows(r0, n, grid.Row(r0), grid.RowStride(), error)) {
            Check(OneLine(error), "read error not one line");
            return;
        }
        for (std::ptrdiff_t r = r0; r < r0 + n; ++r)
            std::copy_n(grid.Row(r), d.cols, raw.begin() + r * d.cols);
        grid.FinishRows(r0, n, d.nodata);
    }
    grid.Finish();
    const auto v = grid.Values();
    Check(v.nx == d.cols + 2 && v.ny == d.rows + 2, "grid extents");
    double lo = INFINITY, hi = -INFINITY;
    for (std::ptrdiff_t r = 0; r < d.rows; ++r)
        for (std::ptrdiff_t c = 0; c < d.cols; ++c) {
            const T was = raw[std::size_t(r * d.cols + c)], is = v(c + 1, r + 1);
            const bool nodata =
                !std::isfinite(was) || (d.nodata.use && double(was) == d.nodata.value);
            Check(nodata ? std::isnan(is) : is == was, "a pixel changed on its way in");
            if (!nodata) lo = std::min(lo, double(was)), hi = std::max(hi, double(was));
        }
    Check(lo == grid.Lo() && hi == grid.Hi(), "the valid range");
    for (std::ptrdiff_t j = 0; j < v.ny; ++j) {
        const auto same = [](T a, T b) { return a == b || (std::isnan(a) && std::isnan(b)); };
        Check(same(v(0, j), v(1, j)) && same(v(v.nx - 1, j), v(v.nx - 2, j)), "side pads");
    }

    o.levelKind = RasterToolOptions::LevelKind::Fixed;
    for (int k = 0; k <= intervals && lo <= hi; ++k)
        o.fixed.push_back(lo + (hi - lo) * k / intervals);
    std::vector<double> levels;
    error = o.polygons ? BandBounds(o, lo, hi, levels) : LineLevels(o, lo, hi, levels);
    if (!error.empty()) {
        Check(OneLine(error), "level error not one line");
        return;
    }
    for (std::size_t k = 1; k < levels.size(); ++k)
        Check(levels[k - 1] < levels[k], "levels do not rise");
    if (o.polygons)
        Check(levels.size() >= 2 && std::isinf(levels.front()) && std::isinf(levels.back()),
              "band bounds end at infinity");
    else
        for (double l : levels)
            Check(l >= lo && l <= hi, "a level outside the range");

    std::vector<T> inType;
    for (double l : levels)
        if (!o.polygons || inType.empty() || T(l) > inType.back()) inType.push_back(T(l));
    isocontour::Options<T> options;
    options.x = grid.X();
    options.y = grid.Y();
    options.saddle = o.saddle;
    options.atLevel = o.atLevel;
    const double cols = double(d.cols), rows = double(d.rows);
    std::vector<double> xs, ys;
    long long id = 0;
    if (o.polygons) {
        const auto bands = isocontour::FilledContours(v, std::span<const T>(inType), options);
        double area = 0;
        for (std::size_t b = 0; b + 1 < bands.bandOffsets.size(); ++b) {
            out.BeginBand(0);
            for (auto p = bands.bandOffsets[b]; p < bands.bandOffsets[b + 1]; ++p)
                for (auto r = bands.polygonOffsets[std::size_t(p)];
                     r < bands.polygonOffsets[std::size_t(p) + 1]; ++r) {
                    const auto a = std::size_t(bands.ringOffsets[std::size_t(r)]);
                    const auto e = std::size_t(bands.ringOffsets[std::size_t(r) + 1]);
                    const std::span ring = std::span(bands.points).subspan(a, e - a);
                    double twice = 0;
                    for (std::size_t k = 0; k + 1 < ring.size(); ++k) {
                        Check(Inside(ring[k], cols, rows), "a ring point outside the raster");
                        twice += double(ring[k].x) * double(ring[k + 1].y) -
                                 double(ring[k + 1].x) * double(ring[k].y);
                    }
                    area += twice / 2;
                    MapPoints(ring, d.geoTransform, xs, ys);
                    out.AddRing(r == bands.polygonOffsets[std::size_t(p)], xs.data(), ys.data(),
                                xs.size());
                }
            if (bands.bandOffsets[b] < bands.bandOffsets[b + 1])
                Check(out.EndBand(id++, levels[b], levels[b + 1]), "a band not written");
        }
        Check(area <= cols * rows * (1 + 1e-5), "bands larger than the raster");
    } else {
        const auto lines = isocontour::ContourLines(v, std::span<const T>(inType), options);
        for (std::size_t k = 0; k < lines.LineCount(); ++k) {
            for (const auto& p : lines.Line(k))
                Check(Inside(p, cols, rows), "a line point outside the raster");
            MapPoints(lines.Line(k), d.geoTransform, xs, ys);
            Check(out.AddLine(id++, 0, xs.data(), ys.data(), xs.size()), "a line not written");
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    Start();
    RasterToolOptions o;
    o.polygons = data[0] & 1;
    o.ignoreNoData = data[0] & 2;
    if (data[0] & 4) o.atLevel = isocontour::AtLevel::Below;
    const int band = 1 + ((data[0] >> 3) & 3);
    const std::string path = "/vsimem/gdal_raster_fuzz.tif";
    VSILFILE* f = VSIFileFromMemBuffer(path.c_str(), const_cast<GByte*>(data + 2),
                                       vsi_l_offset(size - 2), FALSE);
    VSIFCloseL(f);
    std::string error;
    const std::unique_ptr<GdalRaster> raster =
        GdalRaster::Open(path, band, o.ignoreNoData, nullptr, error);
    if (raster) {
        const RasterDescription& d = raster->Description();
        Check(d.cols > 0 && d.rows > 0 && d.stripRows > 0, "description");
        if (d.cols * d.rows <= 65536) {
            const char* scratch = std::getenv("FUZZ_SCRATCH");
            VectorLayerSpec spec;
            spec.path =
                (std::filesystem::path(scratch && *scratch ? scratch : ".") / "out.mem").string();
            spec.format = "Memory";
            spec.layerName = "contour";
            spec.polygons = o.polygons;
            spec.spatialRefWkt = d.spatialRefWkt;
            std::vector<std::string> warnings;
            std::unique_ptr<VectorOutput> out = VectorOutput::Create(spec, error, warnings);
            Check(out != nullptr, "the Memory output refused");
            const int intervals = 1 + data[1] % 32;
            if (d.exactInFloat)
                Run<float>(*raster, o, intervals, *out);
            else
                Run<double>(*raster, o, intervals, *out);
            Check(out->Commit(error), "the Memory output did not commit");
        }
    } else {
        Check(OneLine(error), "open error not one line");
    }
    VSIUnlink(path.c_str());
    return 0;
}
