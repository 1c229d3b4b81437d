// Fuzz target for the isocontour tool's raster front end: a file GDAL opens as a raster (the
// seeds are small GeoTIFFs: integer and float types, nodata values, NaN, tiles, compression,
// several bands, rotated and PixelIsPoint georeferencing), read through GdalRaster into the
// padded grid whole and in strips of node rows, its levels from gdal_contour's options,
// contoured by the library strip by strip and joined, and written through OGR (its Memory
// driver, so nothing reaches the disk).
//
// Input layout: a control byte (bit 0 polygons, bit 1 -inodata, bit 2 a value at a level lies
// below it, bits 3-4 the band, 1 to 4, bits 5-7 the strip's cell rows less one), a byte for the
// number of intervals the valid range is split into for the levels (1 to 32, both ends
// included, as -fl), then the file. Rasters of more
// than 65536 pixels are left alone after opening (the reader's memory is the raster's; that is not
// what is fuzzed here).
//
// What must hold whatever the input:
// - opening and reading either succeed or give one non-empty line of error; never a crash, a
//   sanitizer report or a leak;
// - an opened raster has positive extents and strips of at least one row;
// - the grid holds every pixel read, NaN exactly where the value is nodata or not finite, its
//   pads copy the border, and its range is the valid values' range; every strip holds its node
//   rows and the rows it shares with its neighbours, the grid's values;
// - the strips' lines and bands, joined, are the whole grid's, point for point;
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
#include <span>
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

template <class T> bool Same(T a, T b) { return a == b || (std::isnan(a) && std::isnan(b)); }

struct Reader {
    GdalRaster& raster;
    std::string error;
    template <class T>
    static bool Read(void* self, std::ptrdiff_t row0, std::ptrdiff_t count, T* dst,
                     std::ptrdiff_t stride) {
        Reader& r = *static_cast<Reader*>(self);
        return r.raster.ReadRows(row0, count, dst, stride, r.error);
    }
};

// Reads and checks the raster whole, then in strips of `strip` cell rows as the tool does; the
// strips' lines and bands, joined, must be the whole grid's; they are written to out.
template <class T>
void Run(GdalRaster& raster, RasterToolOptions o, int intervals, std::ptrdiff_t strip,
         VectorOutput& out) {
    const RasterDescription& d = raster.Description();
    Reader reader{raster, {}};
    PaddedRows<T> whole(d.cols, d.rows, d.rows + 2);
    if (!whole.Append(d.rows + 2, &Reader::Read<T>, &reader, d.nodata)) {
        Check(OneLine(reader.error), "read error not one line");
        return;
    }
    std::vector<T> raw(std::size_t(d.cols * d.rows));
    Check(raster.ReadRows(0, d.rows, raw.data(), d.cols, reader.error), "a second read failed");
    const auto v = whole.Values();
    Check(v.nx == d.cols + 2 && v.ny == d.rows + 2 && whole.First() == 0, "grid extents");
    double lo = INFINITY, hi = -INFINITY;
    for (std::ptrdiff_t j = 0; j < v.ny; ++j)
        for (std::ptrdiff_t i = 0; i < v.nx; ++i) {
            // Pads copy the border: node (i, j) is pixel (i - 1, j - 1) clamped to the raster.
            const std::ptrdiff_t r = std::clamp<std::ptrdiff_t>(j - 1, 0, d.rows - 1);
            const std::ptrdiff_t c = std::clamp<std::ptrdiff_t>(i - 1, 0, d.cols - 1);
            const T was = raw[std::size_t(r * d.cols + c)];
            const bool nodata =
                !std::isfinite(was) || (d.nodata.use && double(was) == d.nodata.value);
            Check(nodata ? std::isnan(v(i, j)) : v(i, j) == was, "a pixel changed on its way in");
            if (!nodata) lo = std::min(lo, double(was)), hi = std::max(hi, double(was));
        }
    Check(lo == whole.Lo() && hi == whole.Hi(), "the valid range");

    o.levelKind = RasterToolOptions::LevelKind::Fixed;
    for (int k = 0; k <= intervals && lo <= hi; ++k)
        o.fixed.push_back(lo + (hi - lo) * k / intervals);
    std::vector<double> levels;
    const std::string error =
        o.polygons ? BandBounds(o, lo, hi, levels) : LineLevels(o, lo, hi, levels);
    if (!error.empty()) {
        Check(OneLine(error), "level error not one line");
        return;
    }
    for (std::size_t k = 1; k < levels.size(); ++k)
        Check(levels[k - 1] < levels[k], "levels do not rise");
    std::vector<T> inType;
    for (double l : levels)
        if (!o.polygons || inType.empty() || T(l) > inType.back()) inType.push_back(T(l));
    const std::span<const T> ls(inType);
    isocontour::Options<T> options;
    options.saddle = o.saddle;
    options.atLevel = o.atLevel;
    options.x = whole.X();
    options.y = whole.Y();

    // The strips, as the tool reads them: a window of node rows slid down the grid.
    PaddedRows<T> rows(d.cols, d.rows, strip + 3);
    const std::ptrdiff_t gridNx = rows.GridNx(), gridNy = rows.GridNy(), cellRows = gridNy - 1;
    isocontour::LinePieces<T> lines;
    isocontour::PolygonPieces<T> bands;
    for (std::ptrdiff_t c0 = 0; c0 < cellRows; c0 += strip) {
        const std::ptrdiff_t c1 = std::min(c0 + strip, cellRows);
        rows.DropBefore(c0 - 1);
        Check(rows.Append(c1 + 2, &Reader::Read<T>, &reader, d.nodata), "a strip's read failed");
        Check(rows.First() == std::max<std::ptrdiff_t>(c0 - 1, 0) &&
                  rows.End() == std::min(c1 + 2, gridNy),
              "a strip's node rows");
        const auto sv = rows.Values();
        for (std::ptrdiff_t j = 0; j < sv.ny; ++j)
            for (std::ptrdiff_t i = 0; i < sv.nx; ++i)
                Check(Same(sv(i, j), v(i, j + rows.First())), "a strip's values");
        isocontour::Options<T> so = options;
        so.x = rows.X();
        so.y = rows.Y();
        const isocontour::Window w{0, rows.First(), gridNx, gridNy, 0, c0, gridNx - 1, c1};
        if (o.polygons) {
            auto part = isocontour::FilledContours(sv, w, ls, so);
            if (c0 == 0) {
                bands = std::move(part);
            } else {
                const isocontour::PolygonPieces<T> parts[2] = {std::move(bands), std::move(part)};
                bands =
                    isocontour::JoinPolygons(std::span<const isocontour::PolygonPieces<T>>(parts));
            }
        } else {
            auto part = isocontour::ContourLines(sv, w, ls, so);
            if (c0 == 0) {
                lines = std::move(part);
            } else {
                const isocontour::LinePieces<T> parts[2] = {std::move(lines), std::move(part)};
                lines = isocontour::JoinLines(std::span<const isocontour::LinePieces<T>>(parts));
            }
        }
    }

    const double cols = double(d.cols), rowsExtent = double(d.rows);
    std::vector<double> xs, ys;
    long long id = 0;
    if (o.polygons) {
        const auto joined = isocontour::FinishPolygons(bands);
        const auto one = isocontour::FilledContours(v, ls, options);
        Check(joined.points == one.points && joined.ringOffsets == one.ringOffsets &&
                  joined.polygonOffsets == one.polygonOffsets &&
                  joined.bandOffsets == one.bandOffsets,
              "the strips' bands are not the whole grid's");
        double area = 0;
        for (std::size_t b = 0; b + 1 < one.bandOffsets.size(); ++b) {
            out.BeginBand(0);
            for (auto p = one.bandOffsets[b]; p < one.bandOffsets[b + 1]; ++p)
                for (auto r = one.polygonOffsets[std::size_t(p)];
                     r < one.polygonOffsets[std::size_t(p) + 1]; ++r) {
                    const auto a = std::size_t(one.ringOffsets[std::size_t(r)]);
                    const auto e = std::size_t(one.ringOffsets[std::size_t(r) + 1]);
                    const auto ring = std::span(one.points).subspan(a, e - a);
                    double twice = 0;
                    for (std::size_t k = 0; k + 1 < ring.size(); ++k) {
                        Check(Inside(ring[k], cols, rowsExtent), "a ring point outside the raster");
                        twice += double(ring[k].x) * double(ring[k + 1].y) -
                                 double(ring[k + 1].x) * double(ring[k].y);
                    }
                    area += twice / 2;
                    MapPoints(ring, d.geoTransform, xs, ys);
                    out.AddRing(r == one.polygonOffsets[std::size_t(p)], xs.data(), ys.data(),
                                xs.size());
                }
            if (one.bandOffsets[b] < one.bandOffsets[b + 1])
                Check(out.EndBand(id++, levels[b], levels[b + 1]), "a band not written");
        }
        Check(area <= cols * rowsExtent * (1 + 1e-5), "bands larger than the raster");
    } else {
        const auto joined = isocontour::FinishLines(lines);
        const auto one = isocontour::ContourLines(v, ls, options);
        Check(joined.points == one.points && joined.offsets == one.offsets &&
                  joined.levelOffsets == one.levelOffsets,
              "the strips' lines are not the whole grid's");
        for (std::size_t k = 0; k < one.LineCount(); ++k) {
            for (const auto& p : one.Line(k))
                Check(Inside(p, cols, rowsExtent), "a line point outside the raster");
            MapPoints(one.Line(k), d.geoTransform, xs, ys);
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
            VectorLayerRequest request;
            request.path =
                (std::filesystem::path(scratch && *scratch ? scratch : ".") / "out.mem").string();
            request.format = "Memory";
            request.layerName = "contour";
            request.polygons = o.polygons;
            request.spatialRefWkt = d.spatialRefWkt;
            std::vector<std::string> warnings;
            std::unique_ptr<VectorOutput> out = VectorOutput::Create(request, error, warnings);
            Check(out != nullptr, "the Memory output refused");
            const int intervals = 1 + data[1] % 32;
            const std::ptrdiff_t strip = 1 + (data[0] >> 5);
            if (d.exactInFloat)
                Run<float>(*raster, o, intervals, strip, *out);
            else
                Run<double>(*raster, o, intervals, strip, *out);
            Check(out->Commit(error), "the Memory output did not commit");
        }
    } else {
        Check(OneLine(error), "open error not one line");
    }
    VSIUnlink(path.c_str());
    return 0;
}
