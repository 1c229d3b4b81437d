#include "cli/raster_tool.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <new>
#include <span>
#include <string>
#include <vector>

#include "cli/gdal_raster.h"
#include "cli/ogr_output.h"
#include "cli/progress.h"
#include "cli/raster_grid.h"
#include "cli/raster_levels.h"
#include "isocontour/isocontour.h"

namespace {

// Bad input exits 2, a failed write 1; either way nothing is left written.
struct Refusal {
    std::string message;
    int code = 2;
};

void Warn(const std::string& message) {
    std::fprintf(stderr, "isocontour: warning: %s\n", message.c_str());
}

// The band's rows, a strip at a time, into the padded grid.
template <class T> std::unique_ptr<PaddedGrid<T>> ReadGrid(GdalRaster& raster, Progress& progress) {
    const RasterDescription& d = raster.Description();
    auto grid = std::make_unique<PaddedGrid<T>>(d.cols, d.rows);
    std::string error;
    for (std::ptrdiff_t r0 = 0; r0 < d.rows; r0 += d.stripRows) {
        const std::ptrdiff_t n = std::min(d.stripRows, d.rows - r0);
        if (!raster.ReadRows(r0, n, grid->Row(r0), grid->RowStride(), error)) throw Refusal{error};
        grid->FinishRows(r0, n, d.nodata);
        progress.Show("reading", double(r0 + n) / double(d.rows));
    }
    grid->Finish();
    return grid;
}

template <class T>
isocontour::Options<T> LibraryOptions(const RasterToolOptions& o, const PaddedGrid<T>& grid) {
    isocontour::Options<T> options;
    options.x = grid.X();
    options.y = grid.Y();
    options.saddle = o.saddle;
    options.atLevel = o.atLevel;
    options.interpolation =
        o.log ? isocontour::Interpolation::Log : isocontour::Interpolation::Linear;
    options.cornerMask = o.cornerMask;
    options.threads = o.threads;
    return options;
}

template <class T>
void WriteLines(const isocontour::Lines<T>& lines, const std::vector<double>& levels,
                const GeoTransform& gt, VectorOutput& out, Progress& progress) {
    std::vector<double> xs, ys;
    const double total = double(std::max<std::size_t>(lines.LineCount(), 1));
    long long id = 0;
    for (std::size_t m = 0; m < levels.size(); ++m)
        for (auto k = lines.levelOffsets[m]; k < lines.levelOffsets[m + 1]; ++k) {
            MapPoints(lines.Line(std::size_t(k)), gt, xs, ys);
            if (!out.AddLine(id, levels[m], xs.data(), ys.data(), xs.size())) return;
            if (++id % 4096 == 0) progress.Show("writing", double(id) / total);
        }
}

// One MultiPolygon feature per band that holds any polygon; the open ends are the raster's
// minimum and maximum.
template <class T>
void WriteBands(const isocontour::Bands<T>& bands, const std::vector<double>& bounds, double lo,
                double hi, const GeoTransform& gt, VectorOutput& out, Progress& progress) {
    std::vector<double> xs, ys;
    const double total = double(std::max<std::size_t>(bands.PolygonCount(), 1));
    long long id = 0;
    for (std::size_t b = 0; b + 1 < bands.bandOffsets.size(); ++b) {
        const auto p0 = bands.bandOffsets[b], p1 = bands.bandOffsets[b + 1];
        if (p0 == p1) continue;
        const double lower = std::isinf(bounds[b]) ? lo : bounds[b];
        const double upper = std::isinf(bounds[b + 1]) ? hi : bounds[b + 1];
        out.BeginBand(upper);
        for (auto p = p0; p < p1; ++p) {
            const auto r0 = bands.polygonOffsets[std::size_t(p)];
            for (auto r = r0; r < bands.polygonOffsets[std::size_t(p) + 1]; ++r) {
                const auto a = bands.ringOffsets[std::size_t(r)];
                const auto e = bands.ringOffsets[std::size_t(r) + 1];
                MapPoints(std::span(bands.points).subspan(std::size_t(a), std::size_t(e - a)), gt,
                          xs, ys);
                out.AddRing(r == r0, xs.data(), ys.data(), xs.size());
            }
            progress.Show("writing", double(p + 1) / total);
        }
        if (!out.EndBand(id++, lower, upper)) return;
    }
}

template <class T>
void Contour(const RasterToolOptions& o, GdalRaster& raster, VectorOutput& out,
             Progress& progress) {
    std::unique_ptr<PaddedGrid<T>> grid = ReadGrid<T>(raster, progress);
    const double lo = grid->Lo(), hi = grid->Hi();
    const isocontour::Options<T> options = LibraryOptions(o, *grid);
    const GeoTransform& gt = raster.Description().geoTransform;
    std::vector<double> levels;
    std::string error = o.polygons ? BandBounds(o, lo, hi, levels) : LineLevels(o, lo, hi, levels);
    if (!error.empty()) throw Refusal{error};
    std::vector<T> inType;
    std::vector<double> kept;
    for (double l : levels) {
        // Bands need bounds that rise in the values' type: levels closer together than it
        // resolves bound one band.
        if (o.polygons && !inType.empty() && !(T(l) > inType.back())) continue;
        inType.push_back(T(l));
        kept.push_back(l);
    }
    if (kept.size() < levels.size())
        Warn("levels closer than the raster's float32 values resolve were merged");
    progress.Show("contouring", 0);
    try {
        if (o.polygons) {
            const isocontour::Bands<T> bands =
                isocontour::FilledContours(grid->Values(), std::span<const T>(inType), options);
            grid.reset(); // the values are no longer needed while the polygons are written
            WriteBands(bands, kept, lo, hi, gt, out, progress);
        } else {
            const isocontour::Lines<T> lines =
                isocontour::ContourLines(grid->Values(), std::span<const T>(inType), options);
            grid.reset();
            WriteLines(lines, kept, gt, out, progress);
        }
    } catch (const isocontour::Error& e) {
        throw Refusal{e.what()};
    }
}

} // namespace

int RunRasterTool(const RasterToolOptions& o) {
    for (const std::string& w : o.warnings)
        Warn(w);
    Progress progress(ProgressWanted(o.quiet));
    try {
        std::string error;
        const std::unique_ptr<GdalRaster> raster = GdalRaster::Open(
            o.source, o.band, o.ignoreNoData, o.hasNoData ? &o.noData : nullptr, error);
        if (!raster) throw Refusal{error};
        const RasterDescription& d = raster->Description();
        VectorLayerSpec spec;
        spec.path = o.destination;
        spec.format = o.format;
        spec.datasetOptions = o.datasetOptions;
        spec.layerOptions = o.layerOptions;
        spec.layerName = o.layerName;
        spec.spatialRefWkt = d.spatialRefWkt;
        spec.polygons = o.polygons;
        spec.threeD = o.threeD;
        spec.elevation = o.elevation;
        spec.elevationMin = o.elevationMin;
        spec.elevationMax = o.elevationMax;
        std::vector<std::string> warnings;
        const std::unique_ptr<VectorOutput> out = VectorOutput::Create(spec, error, warnings);
        for (const std::string& w : warnings)
            Warn(w);
        if (!out) throw Refusal{error};
        if (d.exactInFloat)
            Contour<float>(o, *raster, *out, progress);
        else
            Contour<double>(o, *raster, *out, progress);
        if (!out->Commit(error)) throw Refusal{error, 1};
        progress.Show("writing", 1);
    } catch (const Refusal& r) {
        progress.Finish();
        std::fprintf(stderr, "isocontour: %s\n", r.message.c_str());
        return r.code;
    } catch (const std::bad_alloc&) {
        progress.Finish();
        std::fputs("isocontour: out of memory\n", stderr);
        return 1;
    }
    return 0;
}
