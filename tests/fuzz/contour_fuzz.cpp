// Fuzz target for the size-generic contour core: arbitrary grid sizes (0, 1 and 2 per side
// included, negative ones too), field, gradient and threshold values from every corner of the
// float range, and either the demo's table or an arbitrary one.
//
// Input layout: nx, ny (one byte each), a flags byte, the threshold, then one value per node
// for the field and, unless the gradient is sampled from the field, two per node for the
// gradient. Values are decoded by fuzz::ConsumeValue; a short input reads as zeros.
//
// What must hold whatever the input:
// - no crash, no out-of-bounds access (the spans are exactly the grid's size), no leak;
// - the count is even, at most 4 x cells, and both arrays have that length;
// - with the demo's table, every cell adds exactly the crossings its case lists, and each end
//   point lies on the line of its edge with the moving coordinate inside the edge (or NaN);
// - with any table, each end point's fixed coordinate is the line of the edge it was put on.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <vector>

#include "field/case_table.h"
#include "field/charge_field.h"
#include "field/contour.h"
#include "fuzz_values.h"

namespace {

constexpr int kMaxSide = 24; // 23 x 23 cells at most: one input stays small and fast

enum Flags : std::uint8_t {
    kGradientFromField = 1, // the gradient is SampleGradient of the field at a fuzzed step
    kTableFromEntries = 2,  // the table comes through BuildCaseTable and CompactCaseTable
    kArbitraryTable = 4,    // a fuzzed table, edge numbers outside 0..3 included
    kNegativeSides = 8,     // the sides are negated: no cells
    kPrefilledOutputs = 16, // the output vectors hold stale entries on entry
};

[[noreturn]] void Fail(const char* what, int i) {
    std::fprintf(stderr, "contour_fuzz: %s (index %d)\n", what, i);
    std::abort();
}

void Check(bool ok, const char* what, int i = -1) {
    if (!ok) Fail(what, i);
}

// The edge an out-of-range edge number is walked as.
int WalkedEdge(std::int32_t e) { return (e == 0 || e == 1 || e == 2) ? e : 3; }

// The point lies on the line of edge e of cell (x, y): exact equality, the line is an integer.
bool OnEdgeLine(const Vector2& p, int e, int x, int y) {
    switch (e) {
    case 0:
        return p.y == float(y);
    case 1:
        return p.x == float(x + 1);
    case 2:
        return p.y == float(y + 1);
    default:
        return p.x == float(x);
    }
}

// The coordinate that moves along edge e lies within the edge, or is NaN.
bool InsideEdge(const Vector2& p, int e, int x, int y) {
    const float m = (e == 0 || e == 2) ? p.x : p.y;
    const float lo = float((e == 0 || e == 2) ? x : y);
    return std::isnan(m) || (m >= lo && m <= lo + 1.0f);
}

// Strictly above, written out here rather than taken from GridCell.
int Case(float c0, float c1, float c2, float c3, float t) {
    return (c0 > t) * 8 + (c1 > t) * 4 + (c2 > t) * 2 + (c3 > t) * 1;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const field::CaseSegments kFromEntries = [] {
        BuildCaseTable();
        return field::CompactCaseTable(caseTable);
    }();

    FuzzedDataProvider in(data, size);
    int nx = in.ConsumeIntegral<std::uint8_t>() % (kMaxSide + 1);
    int ny = in.ConsumeIntegral<std::uint8_t>() % (kMaxSide + 1);
    const std::uint8_t flags = in.ConsumeIntegral<std::uint8_t>();
    if (flags & kNegativeSides) {
        nx = -nx;
        ny = -ny;
    }
    const field::GridSize g{nx, ny};
    const float t = fuzz::ConsumeValue(in);

    // Exactly the grid's size, so any read past the last node is caught.
    std::vector<float> f(g.NodeCount());
    std::vector<Vector2> grad(g.NodeCount());
    for (float& v : f)
        v = fuzz::ConsumeValue(in);
    if (flags & kGradientFromField) {
        field::SampleGradient(f, g, fuzz::ConsumeValue(in), grad);
    } else {
        for (Vector2& v : grad)
            v = Vector2(fuzz::ConsumeValue(in), fuzz::ConsumeValue(in));
    }

    field::CaseSegments table = (flags & kTableFromEntries) ? kFromEntries : field::kCaseSegments;
    const bool arbitrary = flags & kArbitraryTable;
    if (arbitrary) {
        for (int k = 0; k < 16; ++k) {
            table.count[k] = in.ConsumeIntegral<std::uint8_t>() % 3;
            for (EdgeSegment& s : table.segment[k]) {
                s.firstEdge = in.ConsumeIntegral<std::int32_t>();
                s.secondEdge = in.ConsumeIntegral<std::int32_t>();
            }
        }
    }

    std::vector<Vector2> points, normals;
    if (flags & kPrefilledOutputs) {
        points.assign(3, Vector2(-1.0f, -1.0f));
        normals.assign(5, Vector2(-1.0f, -1.0f));
    }
    const int n = field::ExtractContourLines(f, grad, g, t, table, points, normals);

    Check(n >= 0 && n % 2 == 0, "count negative or odd", n);
    Check(std::size_t(n) <= 4 * g.CellCount(), "more than 4 end points per cell", n);
    Check(points.size() == std::size_t(n), "end-point array length differs from the count", n);
    Check(normals.size() == std::size_t(n), "normal array length differs from the count", n);

    // Walk the cells again in the extraction's order and account for every end point.
    std::size_t i = 0;
    for (int y = 0; y + 1 < g.ny; ++y) {
        for (int x = 0; x + 1 < g.nx; ++x) {
            const int k = Case(f[g.Index(x, y)], f[g.Index(x + 1, y)], f[g.Index(x + 1, y + 1)],
                               f[g.Index(x, y + 1)], t);
            for (int s = 0; s < table.count[k]; ++s) {
                const EdgeSegment seg = table.segment[k][s];
                for (const std::int32_t e : {seg.firstEdge, seg.secondEdge}) {
                    Check(i < points.size(), "fewer end points than the cells' cases list", int(i));
                    const Vector2 p = points[i];
                    const int w = WalkedEdge(e);
                    Check(OnEdgeLine(p, w, x, y), "end point off the line of its edge", int(i));
                    if (!arbitrary) {
                        // With the demo's table every listed edge has one corner above and one
                        // not above, so s lies in [0, 1] or is NaN.
                        Check(InsideEdge(p, w, x, y), "end point outside its edge", int(i));
                    }
                    ++i;
                }
            }
        }
    }
    Check(i == points.size(), "more end points than the cells' cases list", int(i));
    return 0;
}
