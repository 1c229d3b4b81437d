#include "app/state.h"

#include <cassert>
#include <optional>

#include "field/crossings.h"
#include "field/walk.h"

float threshold = 0.6f;
Vector2 charges[field::kChargeCount];
float fieldGrid[demo::kNodes];
Vector2 gradientGrid[demo::kNodes];
CaseEntry caseTable[16];

float FieldValue(float x, float y) { return field::ChargeFieldAt(charges, Vector2(x, y)); }

Vector2 FieldGradient(int a, int b, float step) {
    return field::NodeGradient(fieldGrid, demo::kGrid, a, b, step);
}

void BuildCaseTable() {
    const field::CaseSegments& rows = field::kCaseSegments;
    for (int i = 0; i < 16; ++i) {
        std::optional<EdgeSegment> first, second;
        const field::EdgePair* s = rows.segment[i];
        if (rows.count[i] > 0) first = EdgeSegment(s[0].firstEdge, s[0].secondEdge);
        if (rows.count[i] > 1) second = EdgeSegment(s[1].firstEdge, s[1].secondEdge);
        // The temporary's records pass to the table; its destruction releases nothing.
        caseTable[i] = CaseEntry(first, second);
    }
}

std::int32_t ExtractContour(Vector2** endPoints, Vector2** normals) {
    const field::CaseSegments table = field::CompactCaseTable(caseTable);
    // The grid's bits live on the stack; the crossings are counted first so that each array is
    // allocated once, at its final length, and written in place: one end point, then its normal.
    std::uint32_t above[field::AboveWords(demo::kGrid)];
    const field::CellWalk walk(fieldGrid, demo::kGrid, threshold, table, above);
    const std::size_t n = walk.EndPoints();
    Vector2* points = new Vector2[n];
    Vector2* norms = new Vector2[n];
    std::size_t written = 0;
    field::ForEachCrossing(walk, gradientGrid, [&](const Vector2& point, const Vector2& normal) {
        points[written] = point;
        norms[written] = normal;
        ++written;
    });
    assert(written == n && "one normal per end point, as many as counted");
    *endPoints = points;
    *normals = norms;
    return std::int32_t(n);
}
