#include "app/render/segments_csv.h"

#include <cmath>

namespace {

void PutNumber(std::FILE* f, float v) {
    if (std::isnan(v)) {
        std::fputs("nan", f);
    } else if (std::isinf(v)) {
        std::fputs(v > 0 ? "inf" : "-inf", f);
    } else {
        std::fprintf(f, "%.9g", double(v));
    }
}

} // namespace

bool WriteSegmentsCsv(std::FILE* file, const Vector2* points, const Vector2* normals,
                      std::int32_t count) {
    std::fputs("x1,y1,x2,y2,nx1,ny1,nx2,ny2\n", file);
    for (std::int32_t s = 0; s < (count >> 1); ++s) {
        const Vector2& p = points[2 * s];
        const Vector2& q = points[2 * s + 1];
        const Vector2& n = normals[2 * s];
        const Vector2& m = normals[2 * s + 1];
        const float row[8] = {p.x, p.y, q.x, q.y, n.x, n.y, m.x, m.y};
        for (int i = 0; i < 8; ++i) {
            if (i) std::fputc(',', file);
            PutNumber(file, row[i]);
        }
        std::fputc('\n', file);
    }
    return std::ferror(file) == 0;
}
