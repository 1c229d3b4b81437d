// Uses the installed library as a user would: one header, one target. Exits 1 unless the lines
// and the band of a single peak come out as documented.
#include <cstdio>
#include <vector>

#include <isocontour/isocontour.h>

int main() {
    const std::vector<double> z = {0, 0, 0, 0, 2, 0, 0, 0, 0}; // a peak in a 3 x 3 grid
    const auto lines = isocontour::ContourLines(isocontour::RowMajor(z.data(), 3, 3), 1.0);
    const auto bands = isocontour::FilledContours(isocontour::RowMajor(z.data(), 3, 3), 1.0, 3.0);
    // One closed loop around the peak through the four edge midpoints, and one polygon of it.
    const bool ok = lines.LineCount() == 1 && lines.closed[0] == 1 && lines.points.size() == 5 &&
                    bands.PolygonCount() == 1 && bands.points.size() == 5;
    std::printf("consumer: %zu line(s), %zu polygon(s): %s\n", lines.LineCount(),
                bands.PolygonCount(), ok ? "ok" : "WRONG");
    return ok ? 0 : 1;
}
