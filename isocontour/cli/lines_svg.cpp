#include "cli/lines_svg.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace {

constexpr double kWidthPx = 800;           // the picture's width; its height follows the aspect
constexpr std::ptrdiff_t kMaxImage = 1024; // the embedded image's largest side in pixels

// ---- A PNG of grey (and alpha), 8 bits each, in stored (uncompressed) deflate blocks: no zlib,
// so the tool builds wherever the library does.

std::uint32_t Crc(const std::string& bytes, std::size_t from) {
    static const std::array<std::uint32_t, 256> table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t c = n;
            for (int k = 0; k < 8; ++k)
                c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    std::uint32_t c = 0xFFFFFFFFu;
    for (std::size_t i = from; i < bytes.size(); ++i)
        c = table[(c ^ std::uint8_t(bytes[i])) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

void Big32(std::string& out, std::uint32_t v) {
    for (int s = 24; s >= 0; s -= 8)
        out += char((v >> s) & 0xFF);
}

void Chunk(std::string& png, const char* type, const std::string& data) {
    Big32(png, std::uint32_t(data.size()));
    const std::size_t start = png.size();
    png += type;
    png += data;
    Big32(png, Crc(png, start));
}

// pixels: height rows of width * channels bytes: grey, or grey and alpha.
std::string GreyPng(std::uint32_t width, std::uint32_t height, int channels,
                    const std::string& pixels) {
    std::string raw; // each scanline behind its filter byte (0, none)
    const std::size_t line = std::size_t(width) * std::size_t(channels);
    for (std::uint32_t r = 0; r < height; ++r)
        raw += '\0', raw.append(pixels, r * line, line);
    std::string z = "\x78\x01"; // zlib header: deflate, no preset dictionary
    std::uint32_t a = 1, b = 0; // Adler-32
    for (std::size_t at = 0; at < raw.size() || at == 0; at += 65535) {
        const std::size_t n = std::min<std::size_t>(65535, raw.size() - at);
        z += char(at + n >= raw.size() ? 1 : 0); // BFINAL on the last block, BTYPE 00
        for (std::uint16_t v : {std::uint16_t(n), std::uint16_t(~n)})
            z += char(v & 0xFF), z += char(v >> 8);
        z.append(raw, at, n);
        if (raw.empty()) break;
    }
    for (const char c : raw)
        a = (a + std::uint8_t(c)) % 65521, b = (b + a) % 65521;
    Big32(z, b << 16 | a);
    std::string ihdr;
    Big32(ihdr, width);
    Big32(ihdr, height);
    ihdr += std::string(channels == 2 ? "\x08\x04\x00\x00\x00" : "\x08\x00\x00\x00\x00", 5);
    std::string png = "\x89PNG\r\n\x1a\n";
    Chunk(png, "IHDR", ihdr);
    Chunk(png, "IDAT", z);
    Chunk(png, "IEND", "");
    return png;
}

std::string Base64(const std::string& in) {
    static constexpr char k[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (std::size_t i = 0; i < in.size(); i += 3) {
        const std::size_t n = std::min<std::size_t>(3, in.size() - i);
        std::uint32_t v = 0;
        for (std::size_t j = 0; j < 3; ++j)
            v = v << 8 | (j < n ? std::uint8_t(in[i + j]) : 0u);
        for (std::size_t j = 0; j < 4; ++j)
            out += j <= n ? k[(v >> (18 - 6 * j)) & 63] : '=';
    }
    return out;
}

// ---- Where the nodes are.

template <class T> struct Grid {
    isocontour::View<T> values;
    const isocontour::Options<T>& o;
    bool Curvilinear() const { return o.x.Present() && o.x.ny == values.ny && values.ny > 1; }
    double X(std::ptrdiff_t i, std::ptrdiff_t j) const {
        return !o.x.Present() ? double(i) : double(Curvilinear() ? o.x(i, j) : o.x(i, 0));
    }
    double Y(std::ptrdiff_t i, std::ptrdiff_t j) const {
        return !o.y.Present() ? double(j) : double(Curvilinear() ? o.y(i, j) : o.y(j, 0));
    }
    bool Hidden(std::ptrdiff_t i, std::ptrdiff_t j) const {
        return !std::isfinite(double(values(i, j))) || (o.mask.Present() && o.mask(i, j));
    }
};

// The node nearest to each of n pixel centres spread over [lo, hi], by one coordinate.
std::vector<std::ptrdiff_t> Nearest(std::ptrdiff_t n, double lo, double hi, std::ptrdiff_t nodes,
                                    auto coordinate) {
    std::vector<std::ptrdiff_t> out(std::size_t(n), 0);
    for (std::ptrdiff_t p = 0; p < n; ++p) {
        const double at = lo + (hi - lo) * (double(p) + 0.5) / double(n);
        double best = std::numeric_limits<double>::infinity();
        for (std::ptrdiff_t i = 0; i < nodes; ++i)
            if (const double d = std::fabs(coordinate(i) - at); d < best) best = d, out[p] = i;
    }
    return out;
}

// A colour per level, from blue through green and orange to red.
std::string Colour(std::size_t m, std::size_t count) {
    static constexpr std::array<std::array<double, 3>, 4> kStops{
        {{33, 102, 172}, {27, 158, 119}, {230, 145, 30}, {200, 30, 45}}};
    const double t = count > 1 ? double(m) / double(count - 1) * 3 : 0;
    const std::size_t s = std::min<std::size_t>(2, std::size_t(t));
    char hex[8];
    int rgb[3];
    for (int c = 0; c < 3; ++c)
        rgb[c] = int(std::lround(kStops[s][c] + (kStops[s + 1][c] - kStops[s][c]) * (t - s)));
    std::snprintf(hex, sizeof hex, "#%02x%02x%02x", rgb[0], rgb[1], rgb[2]);
    return hex;
}

} // namespace

template <class T>
bool WriteLinesSvg(std::FILE* f, isocontour::View<T> values, const isocontour::Options<T>& o,
                   const isocontour::Lines<T>& lines, std::span<const T> levels) {
    const Grid<T> g{values, o};
    const std::ptrdiff_t nx = values.nx, ny = values.ny;
    // The coordinate range of the nodes (finite ones), and the range of the shown values.
    double x0 = INFINITY, x1 = -INFINITY, y0 = INFINITY, y1 = -INFINITY;
    double v0 = INFINITY, v1 = -INFINITY;
    for (std::ptrdiff_t j = 0; j < ny; ++j) {
        for (std::ptrdiff_t i = 0; i < nx; ++i) {
            if (const double x = g.X(i, j); std::isfinite(x))
                x0 = std::min(x0, x), x1 = std::max(x1, x);
            if (const double y = g.Y(i, j); std::isfinite(y))
                y0 = std::min(y0, y), y1 = std::max(y1, y);
            if (!g.Hidden(i, j))
                v0 = std::min(v0, double(values(i, j))), v1 = std::max(v1, double(values(i, j)));
        }
    }
    if (!(x1 > x0)) x0 = std::isfinite(x0) ? x0 - 0.5 : 0, x1 = x0 + 1;
    if (!(y1 > y0)) y0 = std::isfinite(y0) ? y0 - 0.5 : 0, y1 = y0 + 1;
    const double w = kWidthPx;
    const double h = std::clamp(std::round(w * (y1 - y0) / (x1 - x0)), 50.0, 3 * w);
    std::fprintf(
        f,
        "<svg xmlns=\"http://www.w3.org/2000/svg\" "
        "xmlns:xlink=\"http://www.w3.org/1999/xlink\" width=\"%g\" height=\"%g\" "
        "viewBox=\"0 0 %g %g\">\n<rect width=\"100%%\" height=\"100%%\" fill=\"white\"/>\n",
        w, h, w, h);

    if (!g.Curvilinear() && nx >= 2 && ny >= 2) {
        const std::ptrdiff_t iw = std::min(nx, kMaxImage), ih = std::min(ny, kMaxImage);
        const auto col = Nearest(iw, x0, x1, nx, [&](std::ptrdiff_t i) { return g.X(i, 0); });
        // Image rows run from the top, y down.
        const auto row = Nearest(ih, y1, y0, ny, [&](std::ptrdiff_t j) { return g.Y(0, j); });
        std::string pixels; // grey and alpha; the alpha is dropped when nothing is hidden
        bool hidden = false;
        for (std::ptrdiff_t r = 0; r < ih; ++r) {
            for (std::ptrdiff_t c = 0; c < iw; ++c) {
                const std::ptrdiff_t i = col[std::size_t(c)], j = row[std::size_t(r)];
                const double t = v1 > v0 ? (double(values(i, j)) - v0) / (v1 - v0) : 0.5;
                hidden = hidden || g.Hidden(i, j);
                pixels += g.Hidden(i, j) ? '\0' : char(std::lround(40 + 190 * t));
                pixels += g.Hidden(i, j) ? '\0' : '\xff';
            }
        }
        if (!hidden)
            for (std::size_t k = 0; 2 * k < pixels.size(); ++k)
                pixels[k] = pixels[2 * k];
        if (!hidden) pixels.resize(pixels.size() / 2);
        std::fprintf(
            f,
            "<image width=\"%g\" height=\"%g\" preserveAspectRatio=\"none\" "
            "xlink:href=\"data:image/png;base64,%s\"/>\n",
            w, h,
            Base64(GreyPng(std::uint32_t(iw), std::uint32_t(ih), hidden ? 2 : 1, pixels)).c_str());
    }

    for (std::size_t m = 0; m < levels.size(); ++m) {
        std::fprintf(f,
                     "<g fill=\"none\" stroke=\"%s\" stroke-width=\"1.5\" "
                     "stroke-linejoin=\"round\"><title>level %.9g</title>\n",
                     Colour(m, levels.size()).c_str(), double(levels[m]));
        for (auto k = lines.levelOffsets[m]; k < lines.levelOffsets[m + 1]; ++k) {
            std::fputs("<path d=\"", f);
            const auto line = lines.Line(std::size_t(k));
            for (std::size_t p = 0; p < line.size(); ++p)
                std::fprintf(f, "%s%.2f,%.2f", p ? " " : "M",
                             (double(line[p].x) - x0) * w / (x1 - x0),
                             (y1 - double(line[p].y)) * h / (y1 - y0));
            std::fputs("\"/>\n", f);
        }
        std::fputs("</g>\n", f);
    }
    std::fputs("</svg>\n", f);
    return std::ferror(f) == 0;
}

template bool WriteLinesSvg(std::FILE*, isocontour::View<float>, const isocontour::Options<float>&,
                            const isocontour::Lines<float>&, std::span<const float>);
template bool WriteLinesSvg(std::FILE*, isocontour::View<double>, const isocontour::Options<double>&,
                            const isocontour::Lines<double>&, std::span<const double>);
