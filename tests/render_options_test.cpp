#include "app/render/render_options.h"

#include <initializer_list>
#include <vector>

#include <gtest/gtest.h>

namespace {

ParsedOptions Parse(std::initializer_list<const char*> args) {
    std::vector<const char*> argv{"gradient-render"};
    argv.insert(argv.end(), args);
    return ParseRenderOptions(int(argv.size()), argv.data());
}

TEST(RenderOptions, DefaultsAndValues) {
    const ParsedOptions none = Parse({});
    ASSERT_TRUE(none.ok);
    EXPECT_EQ(none.options.time, 0.0f);
    EXPECT_EQ(none.options.threshold, 0.6f);
    EXPECT_EQ(none.options.fps, 30.0);
    EXPECT_EQ(none.options.frames, 0);

    const ParsedOptions all = Parse({"--time", "1.3", "--threshold", "0.5865", "--png", "a.png",
                                     "--segments", "s.csv", "--frames", "60", "--fps", "24",
                                     "--dir", "out"});
    ASSERT_TRUE(all.ok) << all.error;
    EXPECT_EQ(all.options.time, 1.3f);
    EXPECT_EQ(all.options.threshold, 0.5865f);
    EXPECT_EQ(all.options.png, "a.png");
    EXPECT_EQ(all.options.segments, "s.csv");
    EXPECT_EQ(all.options.frames, 60);
    EXPECT_EQ(all.options.fps, 24.0);
    EXPECT_EQ(all.options.dir, "out");
    EXPECT_TRUE(Parse({"--help"}).options.help);
}

TEST(RenderOptions, BadInputIsOneLineOfError) {
    for (auto args : std::vector<std::vector<const char*>>{
             {"--bogus"},
             {"--time"},
             {"--time", "abc"},
             {"--time", "-1"},
             {"--time", "nan"},
             {"--time", "inf"},
             {"--time", "1e400"},
             {"--time", "5000000"},
             {"--threshold", "-0.1"},
             {"--threshold", "NaN"},
             {"--threshold", "1e39"},
             {"--threshold", "0.6x"},
             {"--frames", "0", "--dir", "d"},
             {"--frames", "2.5", "--dir", "d"},
             {"--frames", "100001", "--dir", "d"},
             {"--frames", "10"},
             {"--dir", "d"},
             {"--frames", "3", "--dir", "d", "--fps", "0"},
             {"--frames", "3", "--dir", "d", "--fps", "-5"},
             {"--fps", "10"},
             {"--png", ""},
         }) {
        std::vector<const char*> argv{"gradient-render"};
        argv.insert(argv.end(), args.begin(), args.end());
        const ParsedOptions p = ParseRenderOptions(int(argv.size()), argv.data());
        EXPECT_FALSE(p.ok) << args[0];
        EXPECT_FALSE(p.error.empty());
        EXPECT_EQ(p.error.find('\n'), std::string::npos) << p.error;
    }
}

TEST(RenderOptions, NullArgumentsAreRejectedNotRead) {
    const char* argv[] = {"gradient-render", "--png", nullptr};
    EXPECT_FALSE(ParseRenderOptions(3, argv).ok);
    const char* argv2[] = {"gradient-render", nullptr};
    EXPECT_FALSE(ParseRenderOptions(2, argv2).ok);
}

} // namespace
