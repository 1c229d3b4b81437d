#include "cli/raster_tool.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <memory>
#include <new>
#include <span>
#include <string>
#include <tuple>
#include <utility>
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

// Reads raster rows for PaddedRows, keeping GDAL's reason when it cannot.
struct Reader {
    GdalRaster& raster;
    std::string error;

    template <class T>
    static bool Read(void* self, std::ptrdiff_t row0, std::ptrdiff_t count, T* dst,
                     std::ptrdiff_t rowStride) {
        Reader& r = *static_cast<Reader*>(self);
        return r.raster.ReadRows(row0, count, dst, rowStride, r.error);
    }
};

// The valid values' range, read a strip at a time ahead of contouring: -i and -e need it to
// know their levels.
template <class T>
void ScanRange(GdalRaster& raster, std::ptrdiff_t strip, Progress& progress, double& lo,
               double& hi) {
    const RasterDescription& d = raster.Description();
    PaddedRows<T> rows(d.cols, d.rows, strip);
    Reader reader{raster, {}};
    while (rows.End() < rows.GridNy()) {
        rows.DropBefore(rows.End());
        if (!rows.Append(rows.End() + strip, &Reader::Read<T>, &reader, d.nodata))
            throw Refusal{reader.error};
        progress.Show("scanning", double(rows.End()) / double(rows.GridNy()));
    }
    lo = rows.Lo();
    hi = rows.Hi();
}

template <class T>
isocontour::Options<T> LibraryOptions(const RasterToolOptions& o, const PaddedRows<T>& rows) {
    isocontour::Options<T> options;
    options.x = rows.X();
    options.y = rows.Y();
    options.saddle = o.saddle;
    options.atLevel = o.atLevel;
    options.interpolation =
        o.log ? isocontour::Interpolation::Log : isocontour::Interpolation::Linear;
    options.cornerMask = o.cornerMask;
    options.threads = o.threads;
    return options;
}

// Writes lines as features: each mapped through the geotransform, numbered in turn, left out
// when it has fewer than minPoints points.
struct LineWriter {
    LineWriter(const GeoTransform& gt, VectorOutput& out, std::size_t minPoints)
        : gt(gt), out(out), minPoints(minPoints) {}

    const GeoTransform& gt;
    VectorOutput& out;
    std::size_t minPoints;
    long long id = 0;
    std::vector<double> xs, ys;

    // False when the output refused the feature.
    template <class T> bool Write(std::span<const isocontour::Point<T>> line, double level) {
        if (line.size() < minPoints) return true;
        MapPoints(line, gt, xs, ys);
        return out.AddLine(id++, level, xs.data(), ys.data(), xs.size());
    }
};

// Writes the whole lines of joined (level by level, each level's in the grid's order) and
// keeps only its pieces, which go on into the strips still to come.
template <class T>
void WriteWholeLines(isocontour::LinePieces<T>& joined, const std::vector<double>& levels,
                     LineWriter& writer, std::vector<std::size_t>& rank) {
    rank.resize(joined.LineCount());
    for (std::size_t k = 0; k < rank.size(); ++k)
        rank[k] = k;
    std::sort(rank.begin(), rank.end(), [&](std::size_t a, std::size_t b) {
        return std::tie(joined.level[a], joined.order[a]) <
               std::tie(joined.level[b], joined.order[b]);
    });
    for (std::size_t k : rank) {
        const auto a = std::size_t(joined.offsets[k]), b = std::size_t(joined.offsets[k + 1]);
        if (!writer.Write(std::span<const isocontour::Point<T>>(joined.points).subspan(a, b - a),
                          levels[joined.level[k]]))
            return;
    }
    std::vector<isocontour::Point<T>>().swap(joined.points);
    joined.offsets.assign(1, 0);
    joined.closed.clear();
    joined.level.clear();
    joined.order.clear();
}

// One MultiPolygon feature per band that holds any polygon, its bounds clamped to the raster's
// range: the first band runs from the raster's minimum and the last to its maximum.
template <class T>
void WriteBands(const isocontour::Bands<T>& bands, const std::vector<double>& bounds, double lo,
                double hi, const GeoTransform& gt, VectorOutput& out, Progress& progress) {
    std::vector<double> xs, ys;
    const double total = double(std::max<std::size_t>(bands.PolygonCount(), 1));
    long long id = 0;
    for (std::size_t b = 0; b + 1 < bands.bandOffsets.size(); ++b) {
        const auto p0 = bands.bandOffsets[b], p1 = bands.bandOffsets[b + 1];
        if (p0 == p1) continue;
        const double lower = std::clamp(bounds[b], lo, hi);
        const double upper = std::clamp(bounds[b + 1], lo, hi);
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

// The levels in the values' type. Bands need bounds that rise in it: levels closer together
// than it resolves bound one band.
template <class T> std::vector<T> InType(bool bands, std::vector<double>& levels) {
    std::vector<T> inType;
    std::vector<double> kept;
    for (double l : levels) {
        if (bands && !inType.empty() && !(T(l) > inType.back())) continue;
        inType.push_back(T(l));
        kept.push_back(l);
    }
    if (kept.size() < levels.size())
        Warn("levels closer than the raster's float32 values resolve were merged");
    levels.swap(kept);
    return inType;
}

// The raster a strip of cell rows at a time: each strip's node rows (and the rows its
// neighbours share) read into a window, contoured by the library, its pieces joined to those
// still open (the bands' by twos, below); whole lines are written as they close, bands once the
// last strip is in.
template <class T>
void Contour(const RasterToolOptions& o, GdalRaster& raster, VectorOutput& out,
             Progress& progress) {
    using Kind = RasterToolOptions::LevelKind;
    const RasterDescription& d = raster.Description();
    const GeoTransform& gt = d.geoTransform;
    const std::ptrdiff_t strip = o.stripRows > 0 ? std::ptrdiff_t(o.stripRows) : d.stripRows;
    constexpr double inf = std::numeric_limits<double>::infinity();
    double lo = inf, hi = -inf;
    std::vector<double> levels;
    if (o.levelKind != Kind::Fixed) {
        ScanRange<T>(raster, strip, progress, lo, hi);
        const std::string error =
            o.polygons ? BandBounds(o, lo, hi, levels) : LineLevels(o, lo, hi, levels);
        if (!error.empty()) throw Refusal{error};
    } else {
        // -fl needs no range: a level outside it draws nothing, and bounds no band with a value.
        levels = o.fixed;
        std::sort(levels.begin(), levels.end());
        levels.erase(std::unique(levels.begin(), levels.end()), levels.end());
        if (o.polygons) {
            levels.insert(levels.begin(), -inf);
            levels.push_back(inf);
        }
    }
    const std::vector<T> inType = InType<T>(o.polygons, levels);
    const std::span<const T> ls(inType);

    PaddedRows<T> rows(d.cols, d.rows, strip + 3);
    const std::ptrdiff_t gridNx = rows.GridNx(), gridNy = rows.GridNy(), cellRows = gridNy - 1;
    Reader reader{raster, {}};
    isocontour::LinePieces<T> lines;
    // Strips' bands joined as a binary counter joins its bits: two joined parts of as many strips
    // each are joined together, so that a piece of a ring open across many strips is copied
    // about log2(strips) times (joined to all earlier strips at each strip, it would be copied
    // strips / 2 times). The rings found whole are taken out of each part as it is made, into
    // closed, so that joins copy only the pieces still open and each ring is copied once.
    std::vector<std::pair<isocontour::PolygonPieces<T>, std::ptrdiff_t>> bands;
    isocontour::PolygonPieces<T> closed;
    const auto joinLast = [&bands, &closed] {
        const isocontour::PolygonPieces<T>* two[2] = {&bands[bands.size() - 2].first,
                                                      &bands.back().first};
        isocontour::PolygonPieces<T> joined =
            isocontour::JoinPolygons(std::span<const isocontour::PolygonPieces<T>* const>(two));
        isocontour::MoveRings(joined, closed);
        const std::ptrdiff_t strips = bands[bands.size() - 2].second + bands.back().second;
        bands.pop_back();
        bands.back() = {std::move(joined), strips};
    };
    isocontour::Bands<T> whole;
    std::vector<std::size_t> rank;
    LineWriter writer(gt, out, std::size_t(o.minPoints));
    progress.Show("contouring", 0);
    try {
        for (std::ptrdiff_t c0 = 0; c0 < cellRows; c0 += strip) {
            const std::ptrdiff_t c1 = std::min(c0 + strip, cellRows);
            // The strip's node rows, and the row on either side that its neighbours share.
            rows.DropBefore(c0 - 1);
            if (!rows.Append(c1 + 2, &Reader::Read<T>, &reader, d.nodata))
                throw Refusal{reader.error};
            const isocontour::Window window{0, rows.First(), gridNx, gridNy, 0, c0, gridNx - 1, c1};
            const isocontour::Options<T> options = LibraryOptions(o, rows);
            if (c0 == 0 && c1 == cellRows) {
                // One strip holds the whole grid: the plain calls, which the windows' joined
                // pieces equal, without the joining.
                if (o.polygons) {
                    whole = isocontour::FilledContours(rows.Values(), ls, options);
                } else {
                    const isocontour::Lines<T> all =
                        isocontour::ContourLines(rows.Values(), ls, options);
                    for (std::size_t m = 0; m < levels.size(); ++m)
                        for (auto k = all.levelOffsets[m]; k < all.levelOffsets[m + 1]; ++k)
                            writer.Write(all.Line(std::size_t(k)), levels[m]);
                }
            } else if (o.polygons) {
                bands.push_back(
                    {isocontour::FilledContours(rows.Values(), window, ls, options), 1});
                isocontour::MoveRings(bands.back().first, closed);
                while (bands.size() >= 2 && bands[bands.size() - 2].second == bands.back().second)
                    joinLast();
            } else {
                isocontour::LinePieces<T> part =
                    isocontour::ContourLines(rows.Values(), window, ls, options);
                if (c0 == 0) {
                    lines = std::move(part);
                } else {
                    const isocontour::LinePieces<T> parts[2] = {std::move(lines), std::move(part)};
                    lines =
                        isocontour::JoinLines(std::span<const isocontour::LinePieces<T>>(parts));
                }
                WriteWholeLines(lines, levels, writer, rank);
            }
            progress.Show("contouring", double(c1) / double(cellRows));
        }
        if (o.levelKind == Kind::Fixed) lo = rows.Lo(), hi = rows.Hi();
        if (o.polygons) {
            if (cellRows > strip) {
                while (bands.size() >= 2)
                    joinLast();
                if (bands.back().first.PieceCount() > 0)
                    throw isocontour::Error("internal error, please report: bands left open after "
                                            "the last strip");
                bands = {};
                whole = isocontour::FinishPolygons(closed);
                closed = {}; // its rings are in whole now
            }
            WriteBands(whole, levels, lo, hi, gt, out, progress);
        } else if (lines.PieceCount() > 0)
            throw isocontour::Error("internal error, please report: lines left open after the "
                                    "last strip");
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
        VectorLayerRequest request;
        request.path = o.destination;
        request.format = o.format;
        request.datasetOptions = o.datasetOptions;
        request.layerOptions = o.layerOptions;
        request.layerName = o.layerName;
        request.spatialRefWkt = d.spatialRefWkt;
        request.polygons = o.polygons;
        request.threeD = o.threeD;
        request.elevation = o.elevation;
        request.elevationMin = o.elevationMin;
        request.elevationMax = o.elevationMax;
        std::vector<std::string> warnings;
        const std::unique_ptr<VectorOutput> out = VectorOutput::Create(request, error, warnings);
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
