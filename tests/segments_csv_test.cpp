#include "app/render/segments_csv.h"

#include <cstdio>
#include <limits>
#include <string>

#include <gtest/gtest.h>

namespace {

std::string Csv(const Vector2* p, const Vector2* n, int count) {
    std::FILE* f = std::tmpfile();
    EXPECT_TRUE(WriteSegmentsCsv(f, p, n, count));
    std::rewind(f);
    std::string s;
    for (int c; (c = std::fgetc(f)) != EOF;) s.push_back(char(c));
    std::fclose(f);
    return s;
}

TEST(SegmentsCsv, OneRowPerSegmentWithRoundTripDigits) {
    constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
    constexpr float kInf = std::numeric_limits<float>::infinity();
    const Vector2 p[] = {{5, 4.5f}, {0.1f, -0.0f}, {-kNaN, kInf}, {1, -kInf}, {9, 9}};
    const Vector2 n[] = {{0, -1}, {-1, 0}, {kNaN, kNaN}, {0.6f, 0.8f}, {1, 1}};
    EXPECT_EQ(Csv(p, n, 5), // the odd fifth end point makes no row
              "x1,y1,x2,y2,nx1,ny1,nx2,ny2\n"
              "5,4.5,0.100000001,-0,0,-1,-1,0\n"
              "nan,inf,1,-inf,nan,nan,0.600000024,0.800000012\n");
    EXPECT_EQ(Csv(p, n, 0), "x1,y1,x2,y2,nx1,ny1,nx2,ny2\n");
}

} // namespace
