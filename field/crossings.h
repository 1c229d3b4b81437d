// The contour of a sampled field with a normal at every end point: contour/'s walk and edge
// crossings, plus the gradient interpolated along each crossed edge.
//
// For a crossing on edge e from corner A to corner B at parameter s (contour/walk.h):
//   normal = -Normalized(GA + (GB - GA) * s)            away from the region above t
// Each segment contributes its first edge's crossing, then its second's; in a saddle cell the
// first segment's two come before the second's. A zero interpolated gradient (every edge on the
// outer ring of a gradient that is zero there) makes the normal (NaN, NaN).
#pragma once

#include <span>
#include <vector>

#include "field/walk.h"
#include "math/vector2.h"

namespace field {

// Calls emit(point, normal) for every crossing of every cell walk visits, in walk order and, in
// each cell, in the order of walk's table. gradient holds one vector per node in the layout of
// the walk's values.
template <class Emit>
void ForEachCrossing(const field::CellWalk& walk, std::span<const Vector2> gradient,
                     Emit&& emit) {
    const std::span<const float> f = walk.Values();
    const field::GridSize g = walk.Grid();
    const float t = walk.Threshold();
    const field::CaseSegments& table = walk.Table();
    walk.ForEach([&](int x, int y, int k) {
        const int segments = table.count[k];
        if (segments == 0) return;
        const std::size_t i[4] = {g.Index(x, y), g.Index(x + 1, y), g.Index(x + 1, y + 1),
                                  g.Index(x, y + 1)};
        const float c[4] = {f[i[0]], f[i[1]], f[i[2]], f[i[3]]};
        auto cross = [&](int e) {
            const field::EdgeCrossing at = field::CrossEdge(e, x, y, c, t);
            const Vector2 ga = gradient[i[at.a]], gb = gradient[i[at.b]];
            const Vector2 grad = ga + (gb - ga) * at.s;
            emit(Vector2(at.x, at.y), -grad.Normalized());
        };
        for (int s = 0; s < segments; ++s) {
            cross(table.segment[k][s].firstEdge);
            cross(table.segment[k][s].secondEdge);
        }
    });
}

// Replaces the contents of points and normals with the contour of field at threshold t and
// returns the number of end points (always even, at most 4 * g.CellCount()). gradient holds one
// vector per node in the same layout as field. work's memory is reused between calls.
int ExtractContourLines(std::span<const float> field, std::span<const Vector2> gradient,
                        field::GridSize g, float t, const field::CaseSegments& table,
                        std::vector<Vector2>& points, std::vector<Vector2>& normals,
                        field::WalkWorkspace& work);

// The same with memory of its own.
int ExtractContourLines(std::span<const float> field, std::span<const Vector2> gradient,
                        field::GridSize g, float t, const field::CaseSegments& table,
                        std::vector<Vector2>& points, std::vector<Vector2>& normals);

} // namespace field
