#include "cli/lines_text.h"

#include <cmath>

namespace {

// Shortest round trip for the type; never NaN or infinite here, the library promises finite
// points and the tool takes finite levels, but JSON has no spelling for them: null.
template <class T> void Put(std::FILE* f, T v) {
    if (!std::isfinite(v)) {
        std::fputs("null", f);
        return;
    }
    std::fprintf(f, sizeof(T) == sizeof(float) ? "%.9g" : "%.17g", double(v));
}

} // namespace

template <class T>
bool WriteLinesCsv(std::FILE* f, const isocontour::Lines<T>& lines, std::span<const T> levels) {
    const bool normals = !lines.normals.empty();
    std::fputs(normals ? "line,level,x,y,nx,ny\n" : "line,level,x,y\n", f);
    for (std::size_t m = 0; m < levels.size(); ++m) {
        for (auto k = lines.levelOffsets[m]; k < lines.levelOffsets[m + 1]; ++k) {
            for (auto p = lines.offsets[std::size_t(k)]; p < lines.offsets[std::size_t(k) + 1];
                 ++p) {
                const auto& q = lines.points[std::size_t(p)];
                std::fprintf(f, "%lld,", static_cast<long long>(k));
                Put(f, levels[m]), std::fputc(',', f), Put(f, q.x), std::fputc(',', f);
                Put(f, q.y);
                if (normals) {
                    const auto& n = lines.normals[std::size_t(p)];
                    std::fputc(',', f), Put(f, n.x), std::fputc(',', f), Put(f, n.y);
                }
                std::fputc('\n', f);
            }
        }
    }
    return std::ferror(f) == 0;
}

template <class T>
bool WriteLinesGeoJson(std::FILE* f, const isocontour::Lines<T>& lines, std::span<const T> levels) {
    std::fputs("{\"type\":\"FeatureCollection\",\"features\":[", f);
    for (std::size_t m = 0; m < levels.size(); ++m) {
        std::fputs(m ? ",\n{" : "\n{", f);
        std::fputs("\"type\":\"Feature\",\"properties\":{\"level\":", f);
        Put(f, levels[m]);
        std::fputs("},\"geometry\":{\"type\":\"MultiLineString\",\"coordinates\":[", f);
        for (auto k = lines.levelOffsets[m]; k < lines.levelOffsets[m + 1]; ++k) {
            std::fputs(k > lines.levelOffsets[m] ? ",[" : "[", f);
            for (auto p = lines.offsets[std::size_t(k)]; p < lines.offsets[std::size_t(k) + 1];
                 ++p) {
                const auto& q = lines.points[std::size_t(p)];
                std::fputs(p > lines.offsets[std::size_t(k)] ? ",[" : "[", f);
                Put(f, q.x), std::fputc(',', f), Put(f, q.y), std::fputc(']', f);
            }
            std::fputc(']', f);
        }
        std::fputs("]}}", f);
    }
    std::fputs("\n]}\n", f);
    return std::ferror(f) == 0;
}

template bool WriteLinesCsv(std::FILE*, const isocontour::Lines<float>&, std::span<const float>);
template bool WriteLinesCsv(std::FILE*, const isocontour::Lines<double>&, std::span<const double>);
template bool WriteLinesGeoJson(std::FILE*, const isocontour::Lines<float>&, std::span<const float>);
template bool WriteLinesGeoJson(std::FILE*, const isocontour::Lines<double>&, std::span<const double>);
