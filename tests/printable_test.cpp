// Messages stay one line whatever the user typed: control characters in arguments and paths
// come out as escapes, in the parser's errors and in the output files' errors alike.
#include "cli/printable.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include <gtest/gtest.h>

#include "cli/output_file.h"
#include "app/render/render_options.h"

namespace {

bool OneLine(const std::string& s) {
    return std::none_of(s.begin(), s.end(), [](char c) { return c == '\n' || c == '\r'; });
}

TEST(Printable, EscapesControlCharactersOnly) {
    EXPECT_EQ(Printable("plain/path-1.png"), "plain/path-1.png");
    EXPECT_EQ(Printable("a\nb\rc\td"), "a\\nb\\rc\\td");
    EXPECT_EQ(Printable(std::string("\x01\x1f\x7f", 3)), "\\x01\\x1f\\x7f");
    EXPECT_EQ(Printable(std::string("nul\0end", 7)), "nul\\x00end");
    EXPECT_EQ(Printable("C:\\out\\frame.png"), "C:\\out\\frame.png"); // separators stay
    EXPECT_EQ(Printable("gr\xc3\xbc\xc3\x9f"), "gr\xc3\xbc\xc3\x9f"); // UTF-8 passes through
    EXPECT_EQ(Printable(""), "");
}

TEST(Printable, UnknownArgumentWithNewlineGivesOneLineError) {
    const char* argv[] = {"gradient-render", "\rframes\nrm -rf"};
    const ParsedOptions r = ParseRenderOptions(2, argv);
    ASSERT_FALSE(r.ok);
    EXPECT_TRUE(OneLine(r.error)) << r.error;
    EXPECT_NE(r.error.find("\\rframes\\nrm -rf"), std::string::npos) << r.error;
}

TEST(Printable, UnwritablePathWithNewlineGivesOneLineError) {
    std::string error;
    const bool ok = WriteFileAtomically(
        "no-such-folder\n/frame.png", [](std::FILE*) { return true; }, error);
    ASSERT_FALSE(ok);
    EXPECT_TRUE(OneLine(error)) << error;
    EXPECT_NE(error.find("no-such-folder\\n/frame.png"), std::string::npos) << error;
}

} // namespace
