// Fuzz target for the contour core: arbitrary grid sizes up to the demo's 80 per side (0, 1 and
// 2 included, negative ones too, and widths on both sides of the 32-node plane words), field,
// gradient and threshold values from every corner of the float range, the demo's table or an
// arbitrary one, a fresh or a reused workspace, and the demo's ExtractContour over its globals.
//
// Input layout: nx, ny (one byte each), a flags byte, the threshold, then the node values,
// decoded by fuzz::ConsumeValue (a short input reads as zeros). With kTiled a tile of up to 64
// values is read and repeated over the grid, so a short input still paints a large grid with
// many crossings; the gradient is read the same way unless it is sampled from the field.
//
// What must hold whatever the input:
// - no crash, no out-of-bounds access (the spans are exactly the grid's size), no leak;
// - the count is even, at most 4 x cells, and both arrays have that length;
// - every cell adds exactly the crossings its case lists, in the walk's order, and each end
//   point and normal is what the crossing's formula gives (bit for bit; NaN matches any NaN,
//   and zeros match whatever their sign), computed here independently;
// - with the demo's table every end point lies on its edge: the fixed coordinate is the edge's
//   grid line and the moving one lies within the edge, or is NaN;
// - ExtractContour over the globals returns the same contour as the core.
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <vector>

#include "app/state.h"
#include "field/case_table.h"
#include "field/charge_field.h"
#include "field/crossings.h"
#include "fuzz_values.h"
#include "tests/reference_contour.h"

namespace {

constexpr int kMaxSide = 80;
constexpr int kMaxTile = 64;

enum Flags : std::uint8_t {
    kGradientFromField = 1, // the gradient is SampleGradient of the field at a fuzzed step
    kTableFromEntries = 2,  // the table comes through BuildCaseTable and CompactCaseTable
    kArbitraryTable = 4,    // a fuzzed table, edge numbers outside 0..3 included
    kNegativeSides = 8,     // the sides are negated: no cells
    kPrefilledOutputs = 16, // the output vectors hold stale entries on entry
    kTiled = 32,            // node values repeat a short tile
    kReuseWorkspace = 64,   // one workspace for every input, whatever its grid size
    kDemoGlobals = 128,     // an 80 x 80 grid, also run through ExtractContour's globals
};

[[noreturn]] void Fail(const char* what, long i) {
    std::fprintf(stderr, "contour_fuzz: %s (index %ld)\n", what, i);
    std::abort();
}

void Check(bool ok, const char* what, long i = -1) {
    if (!ok) Fail(what, i);
}

// Bit equality, except that any NaN matches any NaN and a zero matches either zero.
bool Same(float a, float b) {
    if (std::isnan(a) || std::isnan(b)) return std::isnan(a) && std::isnan(b);
    return a == b; // for numbers, equal values have equal bits, but for the sign of zero
}
bool Same(const Vector2& a, const Vector2& b) { return Same(a.x, b.x) && Same(a.y, b.y); }

// The moving coordinate of a point on edge e lies within the edge, or is NaN.
bool InsideEdge(const Vector2& p, int e, int x, int y) {
    const float m = (e == 0 || e == 2) ? p.x : p.y;
    const float lo = float((e == 0 || e == 2) ? x : y);
    return std::isnan(m) || (m >= lo && m <= lo + 1.0f);
}

// A side from one byte: mostly small grids (0 to 24 nodes, fast to run), a quarter of the time
// 25 to 80, across the 32-node words of the bit planes.
int Side(std::uint8_t b) { return b < 192 ? b % 25 : 25 + (b - 192) % (kMaxSide - 24); }

// Values for n nodes: read one by one, or a tile read once and repeated.
void Fill(FuzzedDataProvider& in, bool tiled, std::span<float> out) {
    if (!tiled) {
        for (float& v : out)
            v = fuzz::ConsumeValue(in);
        return;
    }
    float tile[kMaxTile];
    const int n = 1 + in.ConsumeIntegral<std::uint8_t>() % kMaxTile;
    for (int i = 0; i < n; ++i)
        tile[i] = fuzz::ConsumeValue(in);
    for (std::size_t i = 0; i < out.size(); ++i)
        out[i] = tile[i % std::size_t(n)];
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const field::CaseSegments kFromEntries = [] {
        BuildCaseTable();
        return field::CompactCaseTable(caseTable);
    }();
    static field::WalkWorkspace shared;

    FuzzedDataProvider in(data, size);
    int nx = Side(in.ConsumeIntegral<std::uint8_t>());
    int ny = Side(in.ConsumeIntegral<std::uint8_t>());
    const std::uint8_t flags = in.ConsumeIntegral<std::uint8_t>();
    const bool demo = flags & kDemoGlobals;
    if (demo) nx = ny = demo::kGridSide;
    if ((flags & kNegativeSides) && !demo) {
        nx = -nx;
        ny = -ny;
    }
    const field::GridSize g{nx, ny};
    const float t = fuzz::ConsumeValue(in);
    const bool tiled = flags & kTiled;

    // Exactly the grid's size, so any read past the last node is caught.
    std::vector<float> f(g.NodeCount());
    std::vector<Vector2> grad(g.NodeCount());
    Fill(in, tiled, f);
    if (flags & kGradientFromField) {
        field::SampleGradient(f, g, fuzz::ConsumeValue(in), grad);
    } else {
        std::vector<float> gx(g.NodeCount()), gy(g.NodeCount());
        Fill(in, tiled, gx);
        Fill(in, tiled, gy);
        for (std::size_t i = 0; i < grad.size(); ++i)
            grad[i] = Vector2(gx[i], gy[i]);
    }

    field::CaseSegments table =
        (flags & kTableFromEntries) ? kFromEntries : field::kCaseSegments;
    const bool arbitrary = (flags & kArbitraryTable) && !demo;
    if (arbitrary) {
        for (int k = 0; k < 16; ++k) {
            table.count[k] = in.ConsumeIntegral<std::uint8_t>() % 3;
            for (field::EdgePair& s : table.segment[k]) {
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
    field::WalkWorkspace fresh;
    field::WalkWorkspace& work = (flags & kReuseWorkspace) ? shared : fresh;
    const int n = field::ExtractContourLines(f, grad, g, t, table, points, normals, work);

    Check(n >= 0 && n % 2 == 0, "count negative or odd", n);
    Check(std::size_t(n) <= 4 * g.CellCount(), "more than 4 end points per cell", n);
    Check(points.size() == std::size_t(n), "end-point array length differs from the count", n);
    Check(normals.size() == std::size_t(n), "normal array length differs from the count", n);

    // The reference walk (tests/reference_contour.h) accounts for every end point in order.
    std::size_t i = 0;
    reference::Walk(f, grad, g, t, table, [&](const reference::Crossing& want) {
        Check(i < points.size(), "fewer end points than the cells' cases list", long(i));
        Check(Same(points[i], want.point), "end point differs from its formula", long(i));
        Check(Same(normals[i], want.normal), "normal differs from its formula", long(i));
        // With the demo's table every listed edge has one corner above and one not above, so
        // s lies in [0, 1] or is NaN.
        if (!arbitrary)
            Check(InsideEdge(points[i], want.edge, want.x, want.y), "end point outside its edge",
                  long(i));
        ++i;
    });
    Check(i == points.size(), "more end points than the cells' cases list", long(i));

    if (demo) {
        // The same grid through the globals and the demo's table.
        std::copy(f.begin(), f.end(), fieldGrid);
        std::copy(grad.begin(), grad.end(), gradientGrid);
        threshold = t;
        Vector2 *p = nullptr, *q = nullptr;
        const std::int32_t m = ExtractContour(&p, &q);
        Check(p != nullptr && q != nullptr, "ExtractContour left an array unset", m);
        Check(m == n, "ExtractContour's count differs from the core's", m);
        for (int j = 0; j < m && j < n; ++j) {
            Check(Same(p[j], points[j]), "ExtractContour's end point differs", j);
            Check(Same(q[j], normals[j]), "ExtractContour's normal differs", j);
        }
        delete[] p;
        delete[] q;
    }
    return 0;
}
