#include "cli/bands_svg.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <string>

namespace {

constexpr double kWidthPx = 800; // the picture's width; its height follows the aspect

// Eight steps of a perceptually uniform map (even steps of lightness, dark blue through teal
// and green to yellow), interpolated in between.
constexpr std::array<std::array<double, 3>, 8> kMap{{{68, 1, 84},
                                                     {70, 50, 127},
                                                     {54, 92, 141},
                                                     {39, 127, 142},
                                                     {31, 161, 135},
                                                     {74, 194, 109},
                                                     {159, 218, 58},
                                                     {253, 231, 37}}};

std::string Colour(std::size_t b, std::size_t count) {
    const double t = count > 1 ? double(b) / double(count - 1) * double(kMap.size() - 1) : 0;
    const std::size_t s = std::min<std::size_t>(kMap.size() - 2, std::size_t(t));
    char hex[8];
    int rgb[3];
    for (int c = 0; c < 3; ++c)
        rgb[c] = int(std::lround(kMap[s][c] + (kMap[s + 1][c] - kMap[s][c]) * (t - double(s))));
    std::snprintf(hex, sizeof hex, "#%02x%02x%02x", rgb[0], rgb[1], rgb[2]);
    return hex;
}

} // namespace

template <class T>
bool WriteBandsSvg(std::FILE* f, isocontour::View<T> values, const isocontour::Options<T>& o,
                   const isocontour::Bands<T>& bands) {
    // The nodes' coordinate range (grid units, one coordinate per column and row, or per node).
    const bool curvilinear = o.x.Present() && o.x.ny == values.ny && values.ny > 1;
    double x0 = INFINITY, x1 = -INFINITY, y0 = INFINITY, y1 = -INFINITY;
    for (std::ptrdiff_t j = 0; j < values.ny; ++j) {
        for (std::ptrdiff_t i = 0; i < values.nx; ++i) {
            const double x =
                !o.x.Present() ? double(i) : double(curvilinear ? o.x(i, j) : o.x(i, 0));
            const double y =
                !o.y.Present() ? double(j) : double(curvilinear ? o.y(i, j) : o.y(j, 0));
            x0 = std::min(x0, x), x1 = std::max(x1, x), y0 = std::min(y0, y), y1 = std::max(y1, y);
        }
    }
    if (!(x1 > x0)) x0 = std::isfinite(x0) ? x0 - 0.5 : 0, x1 = x0 + 1;
    if (!(y1 > y0)) y0 = std::isfinite(y0) ? y0 - 0.5 : 0, y1 = y0 + 1;
    const double w = kWidthPx;
    const double h = std::clamp(std::round(w * (y1 - y0) / (x1 - x0)), 50.0, 3 * w);
    std::fprintf(f,
                 "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%g\" height=\"%g\" "
                 "viewBox=\"0 0 %g %g\">\n<rect width=\"100%%\" height=\"100%%\" "
                 "fill=\"white\"/>\n",
                 w, h, w, h);
    const std::size_t count = bands.bandOffsets.size() - 1;
    for (std::size_t b = 0; b < count; ++b) {
        const std::string colour = Colour(b, count);
        // A hairline of the fill's own colour closes the anti-aliasing seams between bands.
        std::fprintf(f,
                     "<g fill=\"%s\" stroke=\"%s\" stroke-width=\"0.5\" fill-rule=\"evenodd\">"
                     "<title>%.9g to %.9g</title>\n",
                     colour.c_str(), colour.c_str(), double(bands.lower[b]),
                     double(bands.upper[b]));
        for (auto p = bands.bandOffsets[b]; p < bands.bandOffsets[b + 1]; ++p) {
            std::fputs("<path d=\"", f);
            for (auto r = bands.polygonOffsets[std::size_t(p)];
                 r < bands.polygonOffsets[std::size_t(p) + 1]; ++r) {
                const auto k0 = bands.ringOffsets[std::size_t(r)];
                // A ring's last point repeats its first: Z closes it instead.
                for (auto k = k0; k + 1 < bands.ringOffsets[std::size_t(r) + 1]; ++k) {
                    const auto& q = bands.points[std::size_t(k)];
                    std::fprintf(f, "%s%.2f,%.2f", k == k0 ? "M" : " ",
                                 (double(q.x) - x0) * w / (x1 - x0),
                                 (y1 - double(q.y)) * h / (y1 - y0));
                }
                std::fputs("Z", f);
            }
            std::fputs("\"/>\n", f);
        }
        std::fputs("</g>\n", f);
    }
    std::fputs("</svg>\n", f);
    return std::ferror(f) == 0;
}

template bool WriteBandsSvg(std::FILE*, isocontour::View<float>, const isocontour::Options<float>&,
                            const isocontour::Bands<float>&);
template bool WriteBandsSvg(std::FILE*, isocontour::View<double>, const isocontour::Options<double>&,
                            const isocontour::Bands<double>&);
