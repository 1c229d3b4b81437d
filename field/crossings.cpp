#include "field/crossings.h"

#include <cassert>

namespace field {

int ExtractContourLines(std::span<const float> field, std::span<const Vector2> gradient,
                        field::GridSize g, float t, const field::CaseSegments& table,
                        std::vector<Vector2>& points, std::vector<Vector2>& normals,
                        field::WalkWorkspace& work) {
    points.clear();
    normals.clear();
    if (g.CellCount() == 0) return 0;
    assert(field.size() >= g.NodeCount() && "field smaller than the grid");
    assert(gradient.size() >= g.NodeCount() && "gradient smaller than the grid");
    const field::CellWalk walk(field, g, t, table, work);
    ForEachCrossing(walk, gradient, [&](const Vector2& point, const Vector2& normal) {
        points.push_back(point);
        normals.push_back(normal);
    });
    return int(points.size());
}

int ExtractContourLines(std::span<const float> field, std::span<const Vector2> gradient,
                        field::GridSize g, float t, const field::CaseSegments& table,
                        std::vector<Vector2>& points, std::vector<Vector2>& normals) {
    field::WalkWorkspace work;
    return ExtractContourLines(field, gradient, g, t, table, points, normals, work);
}

} // namespace field
