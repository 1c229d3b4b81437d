#include "cli/bands_text.h"

#include <cmath>

namespace {

// Shortest round trip for the type; an infinite level (an open band's side) as empty.
template <class T> void Put(std::FILE* f, T v, const char* infinite) {
    if (!std::isfinite(v)) {
        std::fputs(infinite, f);
        return;
    }
    std::fprintf(f, sizeof(T) == sizeof(float) ? "%.9g" : "%.17g", double(v));
}

} // namespace

template <class T> bool WriteBandsCsv(std::FILE* f, const isocontour::Bands<T>& bands) {
    std::fputs("polygon,ring,lower,upper,x,y\n", f);
    for (std::size_t b = 0; b + 1 < bands.bandOffsets.size(); ++b) {
        for (auto p = bands.bandOffsets[b]; p < bands.bandOffsets[b + 1]; ++p) {
            const auto r0 = bands.polygonOffsets[std::size_t(p)];
            for (auto r = r0; r < bands.polygonOffsets[std::size_t(p) + 1]; ++r) {
                for (auto k = bands.ringOffsets[std::size_t(r)];
                     k < bands.ringOffsets[std::size_t(r) + 1]; ++k) {
                    const auto& q = bands.points[std::size_t(k)];
                    std::fprintf(f, "%lld,%lld,", static_cast<long long>(p),
                                 static_cast<long long>(r - r0));
                    Put(f, bands.lower[b], ""), std::fputc(',', f);
                    Put(f, bands.upper[b], ""), std::fputc(',', f);
                    Put(f, q.x, ""), std::fputc(',', f), Put(f, q.y, ""), std::fputc('\n', f);
                }
            }
        }
    }
    return std::ferror(f) == 0;
}

template <class T> bool WriteBandsGeoJson(std::FILE* f, const isocontour::Bands<T>& bands) {
    std::fputs("{\"type\":\"FeatureCollection\",\"features\":[", f);
    for (std::size_t b = 0; b + 1 < bands.bandOffsets.size(); ++b) {
        std::fputs(b ? ",\n{" : "\n{", f);
        std::fputs("\"type\":\"Feature\",\"properties\":{\"lower\":", f);
        Put(f, bands.lower[b], "null");
        std::fputs(",\"upper\":", f);
        Put(f, bands.upper[b], "null");
        std::fputs("},\"geometry\":{\"type\":\"MultiPolygon\",\"coordinates\":[", f);
        for (auto p = bands.bandOffsets[b]; p < bands.bandOffsets[b + 1]; ++p) {
            std::fputs(p > bands.bandOffsets[b] ? ",[" : "[", f);
            const auto r0 = bands.polygonOffsets[std::size_t(p)];
            for (auto r = r0; r < bands.polygonOffsets[std::size_t(p) + 1]; ++r) {
                std::fputs(r > r0 ? ",[" : "[", f);
                const auto k0 = bands.ringOffsets[std::size_t(r)];
                for (auto k = k0; k < bands.ringOffsets[std::size_t(r) + 1]; ++k) {
                    const auto& q = bands.points[std::size_t(k)];
                    std::fputs(k > k0 ? ",[" : "[", f);
                    Put(f, q.x, "null"), std::fputc(',', f), Put(f, q.y, "null");
                    std::fputc(']', f);
                }
                std::fputc(']', f);
            }
            std::fputc(']', f);
        }
        std::fputs("]}}", f);
    }
    std::fputs("\n]}\n", f);
    return std::ferror(f) == 0;
}

template bool WriteBandsCsv(std::FILE*, const isocontour::Bands<float>&);
template bool WriteBandsCsv(std::FILE*, const isocontour::Bands<double>&);
template bool WriteBandsGeoJson(std::FILE*, const isocontour::Bands<float>&);
template bool WriteBandsGeoJson(std::FILE*, const isocontour::Bands<double>&);
