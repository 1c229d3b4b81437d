#include "cli/options.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "cli/progress.h"
#include "cli/raster_grid.h"
#include "cli/raster_levels.h"
#include "cli/raster_options.h"

#include <gtest/gtest.h>

namespace {

ParsedContourOptions Parse(std::vector<const char*> args) {
    args.insert(args.begin(), "isocontour");
    return ParseContourOptions(int(args.size()), args.data());
}

TEST(ContourOptions, DefaultsAndValues) {
    const ParsedContourOptions few = Parse({"z.npy", "--levels", "0.5"});
    ASSERT_TRUE(few.ok) << few.error;
    EXPECT_EQ(few.options.field, "z.npy");
    EXPECT_EQ(few.options.levels, std::vector<double>{0.5});
    EXPECT_EQ(few.options.saddle, isocontour::Saddle::Above);
    EXPECT_EQ(few.options.threads, 1);
    EXPECT_FALSE(few.options.normals);
    EXPECT_EQ(few.options.sizeX, 0);

    const ParsedContourOptions all =
        Parse({"--size", "80,60",     "--levels", "-1,2.5e3,0", "field.f32", "--x",
               "x.npy",  "--y",       "y.npy",    "--mask",     "m.npy",     "--saddle",
               "centre", "--threads", "0",        "--normals",  "--geojson", "a.json",
               "--csv",  "a.csv",     "--svg",    "a.svg"});
    ASSERT_TRUE(all.ok) << all.error;
    const ContourToolOptions& o = all.options;
    EXPECT_EQ(o.field, "field.f32");
    EXPECT_EQ(o.sizeX, 80);
    EXPECT_EQ(o.sizeY, 60);
    EXPECT_EQ(o.levels, (std::vector<double>{-1, 2500, 0})); // in the order given
    EXPECT_EQ(o.x, "x.npy");
    EXPECT_EQ(o.y, "y.npy");
    EXPECT_EQ(o.mask, "m.npy");
    EXPECT_EQ(o.saddle, isocontour::Saddle::Centre);
    EXPECT_EQ(o.threads, 0);
    EXPECT_TRUE(o.normals);
    EXPECT_EQ(o.geojson, "a.json");
    EXPECT_EQ(o.csv, "a.csv");
    EXPECT_EQ(o.svg, "a.svg");

    EXPECT_EQ(Parse({"z.npy", "--nlevels", "7", "--saddle", "below"}).options.nlevels, 7);
    EXPECT_EQ(Parse({"z.npy", "--nlevels", "7", "--saddle", "below"}).options.saddle,
              isocontour::Saddle::Below);
    EXPECT_TRUE(Parse({"--help"}).options.help); // nothing else needed

    const ParsedContourOptions filled =
        Parse({"z.npy", "--filled", "--open-bands", "--levels", "0,1", "--svg", "b.svg"});
    ASSERT_TRUE(filled.ok) << filled.error;
    EXPECT_TRUE(filled.options.filled);
    EXPECT_TRUE(filled.options.openBands);
    EXPECT_FALSE(few.options.filled);

    const ParsedContourOptions rules =
        Parse({"z.npy", "--levels", "1", "--at-level", "above", "--log", "--corner-mask"});
    ASSERT_TRUE(rules.ok) << rules.error;
    EXPECT_EQ(rules.options.atLevel, isocontour::AtLevel::Above);
    EXPECT_TRUE(rules.options.log && rules.options.cornerMask);
    EXPECT_EQ(few.options.atLevel, isocontour::AtLevel::Below);
    EXPECT_FALSE(few.options.log || few.options.cornerMask);
}

TEST(ContourOptions, BadInputIsOneLineOfError) {
    for (const std::vector<const char*>& args : std::vector<std::vector<const char*>>{
             {},                                           // no field
             {"--levels", "1"},                            // no field
             {"z.npy"},                                    // no levels
             {"z.npy", "--levels", "1", "--nlevels", "3"}, // both
             {"z.npy", "w.npy", "--levels", "1"},          // two fields
             {"z.npy", "--levels"},
             {"z.npy", "--levels", ""},
             {"z.npy", "--levels", "1,,2"},
             {"z.npy", "--levels", "1,"},
             {"z.npy", "--levels", "nan"},
             {"z.npy", "--levels", "1,inf"},
             {"z.npy", "--levels", "1e999"},
             {"z.npy", "--levels", "0.5x"},
             {"z.npy", "--levels", " 1"},
             {"z.npy", "--nlevels", "0"},
             {"z.npy", "--nlevels", "2.5"},
             {"z.npy", "--nlevels", "100001"},
             {"z.npy", "--levels", "1", "--size", "80"},
             {"z.npy", "--levels", "1", "--size", "80,0"},
             {"z.npy", "--levels", "1", "--size", "80,60,2"},
             {"z.npy", "--levels", "1", "--size", "536870913,2"},
             {"z.npy", "--levels", "1", "--threads", "-1"},
             {"z.npy", "--levels", "1", "--threads", "1025"},
             {"z.npy", "--levels", "1", "--saddle", "middle"},
             {"z.npy", "--levels", "1", "--at-level", "on"},
             {"z.npy", "--levels", "1", "--at-level"},
             {"z.npy", "--levels", "1", "--x", "x.npy"},
             {"z.npy", "--levels", "1", "--y", "y.npy"},
             {"z.npy", "--levels", "1", "--normals"},
             {"z.npy", "--levels", "1", "--csv", ""},
             {"z.npy", "--levels", "1", "--bogus"},
             {"z.npy", "--levels", "1", "--filled"}, // one level, no band
             {"z.npy", "--nlevels", "1", "--filled"},
             {"z.npy", "--levels", "1,0", "--filled"},     // falling
             {"z.npy", "--levels", "1,1", "--filled"},     // repeated
             {"z.npy", "--levels", "0,1", "--open-bands"}, // without --filled
             {"z.npy", "--levels", "0,1", "--filled", "--normals", "--csv", "a.csv"},
         }) {
        const ParsedContourOptions p = Parse(args);
        EXPECT_FALSE(p.ok) << (args.empty() ? "(none)" : args.back());
        EXPECT_FALSE(p.error.empty());
        EXPECT_EQ(p.error.find('\n'), std::string::npos) << p.error;
    }
    const char* nulls[] = {"isocontour", "z.npy", "--csv", nullptr};
    EXPECT_FALSE(ParseContourOptions(4, nulls).ok);
}

TEST(ContourOptions, EvenLevelsLieStrictlyInsideTheRange) {
    EXPECT_EQ(EvenLevels(0, 4, 3), (std::vector<double>{1, 2, 3}));
    EXPECT_EQ(EvenLevels(-1, 1, 1), std::vector<double>{0});
    const double big = 1.7e308;
    for (double l : EvenLevels(-big, big, 4))
        EXPECT_TRUE(l > -big && l < big) << l;
}

// --nlevels spans the finite, unmasked values: a masked or infinite extreme moves no level.
TEST(ContourOptions, NLevelsSpanTheUnmaskedFiniteValues) {
    const double z[6] = {0, 1, 2, 3, 100, -INFINITY};
    const std::uint8_t m[6] = {0, 0, 0, 0, 1, 0};
    const auto view = isocontour::RowMajor(z, 2, 3);
    EXPECT_EQ(FieldLevels(3, view, isocontour::RowMajor(m, 2, 3)),
              (std::vector<double>{0.75, 1.5, 2.25}));
    EXPECT_EQ(FieldLevels(1, view, {}), (std::vector<double>{50}));
    const float flat[4] = {2, 2, NAN, 2};
    EXPECT_TRUE(FieldLevels(2, isocontour::RowMajor(flat, 2, 2), {}).empty());
}

// The raster form: gdal_contour's command line, its levels, the padded grid and the bar.

ParsedRasterOptions ParseRaster(std::vector<const char*> args) {
    args.insert(args.begin(), "isocontour");
    return ParseRasterOptions(int(args.size()), args.data());
}

bool IsRaster(std::vector<const char*> args) {
    args.insert(args.begin(), "isocontour");
    return IsRasterCommandLine(int(args.size()), args.data());
}

TEST(RasterOptions, GdalContourCommandLinesMeanWhatTheyMeanThere) {
    using Kind = RasterToolOptions::LevelKind;
    const ParsedRasterOptions lines = ParseRaster({"-a", "elev", "-i", "10", "dem.tif", "out.shp"});
    ASSERT_TRUE(lines.ok) << lines.error;
    const RasterToolOptions& l = lines.options;
    EXPECT_EQ(l.source, "dem.tif");
    EXPECT_EQ(l.destination, "out.shp");
    EXPECT_EQ(l.levelKind, Kind::Interval);
    EXPECT_EQ(l.interval, 10);
    EXPECT_EQ(l.offset, 0);
    EXPECT_EQ(l.elevation, "elev");
    EXPECT_EQ(l.layerName, "contour");
    EXPECT_EQ(l.band, 1);
    EXPECT_FALSE(l.polygons || l.threeD || l.quiet || l.hasNoData || l.ignoreNoData);
    // gdal_contour's side of a level and its saddle diagonal, one thread.
    EXPECT_EQ(l.atLevel, isocontour::AtLevel::Above);
    EXPECT_EQ(l.saddle, isocontour::Saddle::Diagonal);
    EXPECT_EQ(l.threads, 1);
    EXPECT_TRUE(l.warnings.empty());

    const ParsedRasterOptions all = ParseRaster({"-P",
                                                 "-amin",
                                                 "lo",
                                                 "-amax",
                                                 "hi",
                                                 "-fl",
                                                 "100",
                                                 "-5",
                                                 "2.5e2",
                                                 "dem.tif",
                                                 "-f",
                                                 "GPKG",
                                                 "-nln",
                                                 "bands",
                                                 "-3D",
                                                 "-snodata",
                                                 "-9999",
                                                 "-b",
                                                 "2",
                                                 "-dsco",
                                                 "A=1",
                                                 "-lco",
                                                 "SPATIAL_INDEX=NO",
                                                 "-lco",
                                                 "FID=fid",
                                                 "-quiet",
                                                 "--threads",
                                                 "0",
                                                 "--at-level",
                                                 "below",
                                                 "--saddle",
                                                 "centre",
                                                 "out.gpkg"});
    ASSERT_TRUE(all.ok) << all.error;
    const RasterToolOptions& o = all.options;
    EXPECT_TRUE(o.polygons && o.threeD && o.quiet && o.hasNoData); // any case, as gdal_contour
    EXPECT_EQ(o.levelKind, Kind::Fixed);
    EXPECT_EQ(o.fixed, (std::vector<double>{100, -5, 250})); // every number after -fl
    EXPECT_EQ(o.source, "dem.tif");
    EXPECT_EQ(o.destination, "out.gpkg");
    EXPECT_EQ(o.elevationMin, "lo");
    EXPECT_EQ(o.elevationMax, "hi");
    EXPECT_EQ(o.format, "GPKG");
    EXPECT_EQ(o.layerName, "bands");
    EXPECT_EQ(o.noData, -9999);
    EXPECT_EQ(o.band, 2);
    EXPECT_EQ(o.datasetOptions, std::vector<std::string>{"A=1"});
    EXPECT_EQ(o.layerOptions, (std::vector<std::string>{"SPATIAL_INDEX=NO", "FID=fid"}));
    EXPECT_EQ(o.threads, 0);
    EXPECT_EQ(o.atLevel, isocontour::AtLevel::Below);
    EXPECT_EQ(o.saddle, isocontour::Saddle::Centre);

    const ParsedRasterOptions e = ParseRaster({"-e", "3", "-off", "7", "-of", "CSV", "a", "b"});
    ASSERT_TRUE(e.ok) << e.error;
    EXPECT_EQ(e.options.levelKind, Kind::Exponential);
    EXPECT_EQ(e.options.base, 3);
    EXPECT_EQ(e.options.format, "CSV");
    EXPECT_TRUE(std::isnan(ParseRaster({"-i", "1", "-snodata", "nan", "a", "b"}).options.noData));
    EXPECT_TRUE(ParseRaster({"-i", "1", "-inodata", "a", "b"}).options.ignoreNoData);
    EXPECT_TRUE(ParseRaster({"-i", "1", "--help"}).options.help); // nothing else needed
    EXPECT_EQ(ParseRaster({"-i", "1", "--min-points", "5", "a", "b"}).options.minPoints, 5);

    // What gdal_contour ignores, said once: -a with -p, -amin/-amax without it, -i beside -fl.
    const ParsedRasterOptions ignored =
        ParseRaster({"-p", "-a", "z", "-i", "5", "-fl", "1", "2", "a.tif", "b.gpkg"});
    ASSERT_TRUE(ignored.ok) << ignored.error;
    EXPECT_EQ(ignored.options.levelKind, Kind::Fixed);
    EXPECT_TRUE(ignored.options.elevation.empty());
    EXPECT_EQ(ignored.options.warnings.size(), 2u);
    const ParsedRasterOptions minMax = ParseRaster({"-amin", "lo", "-i", "5", "a.tif", "b.gpkg"});
    EXPECT_TRUE(minMax.options.elevationMin.empty());
    EXPECT_EQ(minMax.options.warnings.size(), 1u);
}

TEST(RasterOptions, TheTwoGrammarsClaimTheirOwnCommandLines) {
    EXPECT_TRUE(IsRaster({"-i", "10", "dem.tif", "out.gpkg"}));
    EXPECT_TRUE(IsRaster({"dem.tif", "out.gpkg", "-FL", "3"}));
    EXPECT_TRUE(IsRaster({"-p", "--help"}));
    EXPECT_FALSE(IsRaster({"z.npy", "--levels", "-1,2", "--csv", "a.csv"}));
    EXPECT_FALSE(IsRaster({"z.npy", "--nlevels", "3", "--filled", "--threads", "2"}));
    EXPECT_FALSE(IsRaster({"--help"}));
    EXPECT_FALSE(IsRaster({"dem.tif", "out.gpkg"})); // the array form's error names -i
    EXPECT_NE(Parse({"dem.tif", "out.gpkg", "--levels", "1"}).error.find("-i INTERVAL"),
              std::string::npos);
}

TEST(RasterOptions, BadInputIsOneLineOfError) {
    for (const std::vector<const char*>& args : std::vector<std::vector<const char*>>{
             {"a.tif", "b.gpkg", "-p"},                 // no levels
             {"-i", "10", "a.tif"},                     // no DST
             {"-i", "10"},                              // no SRC
             {"-i", "10", "a.tif", "b.gpkg", "c.gpkg"}, // three files
             {"-i", "0", "a.tif", "b.gpkg"},            // gdal_contour: no levels
             {"-i", "-5", "a.tif", "b.gpkg"},           // gdal_contour: runs forever
             {"-i", "abc", "a.tif", "b.gpkg"},
             {"-i", "inf", "a.tif", "b.gpkg"},
             {"-i", "1e999", "a.tif", "b.gpkg"},
             {"-e", "1", "a.tif", "b.gpkg"},
             {"-e", "0.5", "a.tif", "b.gpkg"},
             {"-fl", "a.tif", "b.gpkg"}, // no level after -fl
             {"a.tif", "b.gpkg", "-fl"},
             {"-i", "1", "-off", "x", "a.tif", "b.gpkg"},
             {"-i", "1", "-b", "0", "a.tif", "b.gpkg"},
             {"-i", "1", "-b", "1.5", "a.tif", "b.gpkg"},
             {"-i", "1", "-snodata", "x", "a.tif", "b.gpkg"},
             {"-i", "1", "-dsco", "A", "a.tif", "b.gpkg"},
             {"-i", "1", "-lco", "=1", "a.tif", "b.gpkg"},
             {"-i", "1", "-a", "", "a.tif", "b.gpkg"},
             {"-i", "1", "-nln", "", "a.tif", "b.gpkg"},
             {"-i", "1", "-a", "id", "a.tif", "b.gpkg"}, // the ID field's name
             {"-p", "-i", "1", "-amin", "z", "-amax", "z", "a.tif", "b.gpkg"},
             {"-i", "1", "--threads", "-1", "a.tif", "b.gpkg"},
             {"-i", "1", "--min-points", "-1", "a.tif", "b.gpkg"},
             {"-p", "-i", "1", "--min-points", "3", "a.tif", "b.gpkg"}, // bands would not tile
             {"-i", "1", "--saddle", "middle", "a.tif", "b.gpkg"},
             {"-i", "1", "--at-level", "on", "a.tif", "b.gpkg"},
             {"-i", "1", "-xyz", "a.tif", "b.gpkg"},
             {"-i", "1", "--levels", "1", "a.tif", "b.gpkg"}, // the array form's
             {"-i", "1", "a.tif", "b.gpkg", "-b"},
         }) {
        const ParsedRasterOptions p = ParseRaster(args);
        EXPECT_FALSE(p.ok) << args[0] << " " << args[1];
        EXPECT_FALSE(p.error.empty());
        EXPECT_EQ(p.error.find('\n'), std::string::npos) << p.error;
    }
    // More -fl levels than any call takes: refused before anything is read.
    std::vector<std::string> many(std::size_t(kMaxLevels) + 1, "1");
    std::vector<const char*> args{"-fl"};
    for (const std::string& m : many)
        args.push_back(m.c_str());
    for (const char* f : {"a.tif", "b.gpkg"})
        args.push_back(f);
    {
        const ParsedRasterOptions p = ParseRaster(args);
        EXPECT_FALSE(p.ok);
        EXPECT_FALSE(p.error.empty());
        EXPECT_EQ(p.error.find('\n'), std::string::npos) << p.error;
    }
}

RasterToolOptions Interval(double interval, double offset = 0) {
    RasterToolOptions o;
    o.interval = interval;
    o.offset = offset;
    return o;
}

TEST(RasterLevels, IntervalsExponentsAndFixedLevelsOverTheRange) {
    std::vector<double> levels;
    // Every k * interval + offset in [lo, hi], both ends included, computed as gdal_contour does.
    ASSERT_EQ(LineLevels(Interval(10), 236, 1076, levels), "");
    ASSERT_EQ(levels.size(), 84u);
    EXPECT_EQ(levels.front(), 240);
    EXPECT_EQ(levels.back(), 1070);
    ASSERT_EQ(LineLevels(Interval(10, 6), 236, 1076, levels), "");
    EXPECT_EQ(levels.front(), 236);
    EXPECT_EQ(levels.back(), 1076);
    ASSERT_EQ(LineLevels(Interval(0.1), 0, 1, levels), "");
    ASSERT_EQ(levels.size(), 11u);
    for (std::size_t k = 0; k < levels.size(); ++k)
        EXPECT_EQ(levels[k], double(k) * 0.1) << k;
    ASSERT_EQ(LineLevels(Interval(100, -50), -1437, -1437, levels), ""); // one value: none on it
    EXPECT_TRUE(levels.empty());
    ASSERT_EQ(LineLevels(Interval(5), 1, 0, levels), ""); // no valid value
    EXPECT_TRUE(levels.empty());

    RasterToolOptions e;
    e.levelKind = RasterToolOptions::LevelKind::Exponential;
    e.base = 2;
    ASSERT_EQ(LineLevels(e, 0.5, 100, levels), "");
    EXPECT_EQ(levels, (std::vector<double>{1, 2, 4, 8, 16, 32, 64}));
    ASSERT_EQ(LineLevels(e, 4, 16, levels), ""); // both ends on a level
    EXPECT_EQ(levels, (std::vector<double>{4, 8, 16}));
    ASSERT_EQ(LineLevels(e, -5, 0.9, levels), "");
    EXPECT_TRUE(levels.empty());

    RasterToolOptions f;
    f.levelKind = RasterToolOptions::LevelKind::Fixed;
    f.fixed = {500, 100, 2000, 300, 100, -7};
    ASSERT_EQ(LineLevels(f, 0, 1000, levels), "");
    EXPECT_EQ(levels, (std::vector<double>{100, 300, 500})); // sorted, once, in range
}

TEST(RasterLevels, TooManyLevelsIsAClearErrorNotAnAllocation) {
    std::vector<double> levels;
    const std::string error = LineLevels(Interval(0.001), 236, 1076, levels);
    EXPECT_NE(error.find("840001"), std::string::npos) << error;
    EXPECT_NE(error.find(std::to_string(kMaxLevels)), std::string::npos) << error;
    EXPECT_TRUE(levels.empty());
    EXPECT_NE(LineLevels(Interval(1e-300), -1e300, 1e300, levels), ""); // endless
    RasterToolOptions e;
    e.levelKind = RasterToolOptions::LevelKind::Exponential;
    e.base = 1.0000001;
    EXPECT_NE(LineLevels(e, 1, 1e30, levels), "");
    EXPECT_EQ(LineLevels(Interval(1), 0, kMaxLevels - 1, levels), ""); // just within
}

TEST(RasterLevels, BandBoundsRunFromTheMinimumToTheMaximum) {
    constexpr double inf = std::numeric_limits<double>::infinity();
    std::vector<double> bounds;
    ASSERT_EQ(BandBounds(Interval(100), 236, 1076, bounds), "");
    EXPECT_EQ(bounds, (std::vector<double>{-inf, 300, 400, 500, 600, 700, 800, 900, 1000, inf}));
    // A level at the minimum or the maximum bounds no band with any area.
    ASSERT_EQ(BandBounds(Interval(100), 200, 1000, bounds), "");
    EXPECT_EQ(bounds.size(), 9u);
    EXPECT_EQ(bounds[1], 300);
    EXPECT_EQ(bounds[7], 900);
    ASSERT_EQ(BandBounds(Interval(10), 5, 5, bounds), ""); // flat: one band
    EXPECT_EQ(bounds, (std::vector<double>{-inf, inf}));
    EXPECT_NE(BandBounds(Interval(0.001), 236, 1076, bounds), "");
}

// A 3 x 4 raster read through a callback, as GdalRaster reads rows.
struct FakeRaster {
    float rows[4][3] = {{1, 2, 3}, {4, -9999, NAN}, {7, 8, INFINITY}, {10, 11, 12}};
    int reads = 0;
    static bool Read(void* self, std::ptrdiff_t row0, std::ptrdiff_t count, float* dst,
                     std::ptrdiff_t stride) {
        auto& r = *static_cast<FakeRaster*>(self);
        ++r.reads;
        if (row0 < 0 || row0 + count > 4) return false;
        for (std::ptrdiff_t k = 0; k < count; ++k)
            std::copy(r.rows[row0 + k], r.rows[row0 + k] + 3, dst + k * stride);
        return true;
    }
};

TEST(RasterGrid, PaddedRowsSlideDownTheRasterWithNoDataAsNaN) {
    FakeRaster raster;
    const NoDataRule nodata{true, -9999};
    // The whole padded grid at once: node (i, j) is pixel (i - 1, j - 1) clamped to the raster.
    PaddedRows<float> whole(3, 4, 1000);
    ASSERT_TRUE(whole.Append(6, &FakeRaster::Read, &raster, nodata));
    const auto v = whole.Values();
    ASSERT_EQ(v.nx, 5);
    ASSERT_EQ(v.ny, 6);
    EXPECT_EQ(whole.GridNy(), 6);
    for (std::ptrdiff_t j = 0; j < 6; ++j)
        for (std::ptrdiff_t i = 0; i < 5; ++i) {
            const float was = raster.rows[std::clamp<std::ptrdiff_t>(j - 1, 0, 3)]
                                         [std::clamp<std::ptrdiff_t>(i - 1, 0, 2)];
            if (!std::isfinite(was) || was == -9999)
                EXPECT_TRUE(std::isnan(v(i, j))) << i << "," << j;
            else
                EXPECT_EQ(v(i, j), was) << i << "," << j;
        }
    EXPECT_EQ(whole.Lo(), 1); // nodata, NaN and infinity left out
    EXPECT_EQ(whole.Hi(), 12);
    const std::vector<float> x = {0, 0.5f, 1.5f, 2.5f, 3}, y = {0, 0.5f, 1.5f, 2.5f, 3.5f, 4};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(whole.X()(i, 0), x[std::size_t(i)]);
    for (int j = 0; j < 6; ++j)
        EXPECT_EQ(whole.Y()(j, 0), y[std::size_t(j)]);

    // Three node rows at a time, each window keeping the row it shares with the next.
    PaddedRows<float> rows(3, 4, 3);
    for (std::ptrdiff_t first = 0; first < 5; first += 2) {
        rows.DropBefore(first);
        ASSERT_TRUE(rows.Append(first + 3, &FakeRaster::Read, &raster, nodata));
        ASSERT_EQ(rows.First(), first);
        ASSERT_EQ(rows.End(), std::min<std::ptrdiff_t>(first + 3, 6));
        const auto w = rows.Values();
        for (std::ptrdiff_t j = 0; j < w.ny; ++j) {
            EXPECT_EQ(rows.Y()(j, 0), y[std::size_t(first + j)]);
            for (std::ptrdiff_t i = 0; i < 5; ++i)
                EXPECT_TRUE(w(i, j) == v(i, first + j) ||
                            (std::isnan(w(i, j)) && std::isnan(v(i, first + j))))
                    << "window " << first << " node " << i << "," << j;
        }
    }
    EXPECT_EQ(rows.Lo(), 1);
    EXPECT_EQ(rows.Hi(), 12);

    PaddedRows<float> failing(3, 9, 4); // rows past the fake raster's four: the read fails
    EXPECT_TRUE(failing.Append(4, &FakeRaster::Read, &raster, nodata));
    failing.DropBefore(4);
    EXPECT_FALSE(failing.Append(8, &FakeRaster::Read, &raster, nodata));
}

TEST(RasterGrid, PointsMapThroughTheGeotransformHigherValuesLeft) {
    using P = isocontour::Point<float>;
    const std::vector<P> line = {{0, 0}, {1, 0}, {1, 2}};
    std::vector<double> xs, ys;
    // North-up: x = 100 + 10 px, y = 50 - 5 py; the map mirrors, so the points come reversed.
    GeoTransform north;
    const double n[6] = {100, 10, 0, 50, 0, -5};
    std::copy(n, n + 6, north.c);
    EXPECT_TRUE(north.Mirrors());
    MapPoints(std::span<const P>(line), north, xs, ys);
    EXPECT_EQ(xs, (std::vector<double>{110, 110, 100}));
    EXPECT_EQ(ys, (std::vector<double>{40, 50, 50}));
    // Rotated, not mirrored: the terms at 2 and 4 mix the pixel axes, the order stays.
    GeoTransform rotated;
    const double r[6] = {0, 3, 4, 0, -4, 3};
    std::copy(r, r + 6, rotated.c);
    EXPECT_FALSE(rotated.Mirrors());
    MapPoints(std::span<const P>(line), rotated, xs, ys);
    EXPECT_EQ(xs, (std::vector<double>{0, 3, 11}));
    EXPECT_EQ(ys, (std::vector<double>{0, -4, 2}));
}

TEST(Progress, TheBarShowsThePhaseAndTheShareDone) {
    EXPECT_EQ(ProgressLine("reading", 0, 10), "isocontour: reading    [----------]   0%");
    EXPECT_EQ(ProgressLine("contouring", 0.5, 10), "isocontour: contouring [#####-----]  50%");
    EXPECT_EQ(ProgressLine("writing", 1, 10), "isocontour: writing    [##########] 100%");
    EXPECT_EQ(ProgressLine("writing", 7, 10), ProgressLine("writing", 1, 10)); // clamped
    EXPECT_EQ(ProgressLine("writing", NAN, 10), ProgressLine("writing", 0, 10));
    EXPECT_EQ(ProgressLine("reading", 0.999, 10).size(), ProgressLine("writing", 0.2, 10).size());
}

} // namespace
