#include "field/polyline_normals.h"

#include <algorithm>
#include <vector>

std::int32_t PolylineNormals(const Vector2* points, std::int32_t n, Vector2** normals) {
    std::vector<Vector2> normlist;
    if (n > 1) normlist.reserve(std::size_t(n - 1));
    for (std::int32_t k = 0; k + 1 < n; ++k) { // k + 1 < n: no overflow for any n
        const Vector2 line = points[k + 1] - points[k];
        normlist.push_back(Vector2(line.y, -line.x).Normalized());
    }
    Vector2* out = new Vector2[normlist.size()];
    std::copy(normlist.begin(), normlist.end(), out);
    *normals = out;
    return std::int32_t(normlist.size());
}
