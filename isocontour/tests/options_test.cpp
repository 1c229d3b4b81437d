#include "cli/options.h"

#include <cmath>
#include <cstdint>
#include <vector>

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

} // namespace
