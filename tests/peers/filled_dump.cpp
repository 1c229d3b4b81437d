// filled_dump: writes the library's filled bands of a raw float64 array as text, for the peer
// checks in Python (tests/peers/filled_valid.py).
//   filled_dump VALUES ROWS COLS LEVELS [--open] [--saddle above|below|centre] [--mask FILE]
//     [--threads N]
// VALUES holds z[row][col] row-major (float64), FILE the mask as one byte per node, LEVELS
// comma-separated. Output: per band "band LOWER UPPER POLYGONS", per polygon "polygon RINGS",
// per ring "ring POINTS x y x y ...", numbers in %.17g.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "contour/contour.h"

namespace {

template <class V> std::vector<V> Read(const std::string& path, std::size_t n) {
    std::ifstream in(path, std::ios::binary);
    std::vector<V> v(n);
    if (!in.read(reinterpret_cast<char*>(v.data()), std::streamsize(n * sizeof(V)))) {
        std::fprintf(stderr, "filled_dump: cannot read %zu values from %s\n", n, path.c_str());
        std::exit(2);
    }
    return v;
}

} // namespace

int main(int argc, char** argv) try {
    if (argc < 5) {
        std::fprintf(stderr, "usage: filled_dump VALUES ROWS COLS LEVELS [options]\n");
        return 2;
    }
    const long rows = std::atol(argv[2]), cols = std::atol(argv[3]);
    const auto z = Read<double>(argv[1], std::size_t(rows * cols));
    std::vector<double> levels;
    std::stringstream list(argv[4]);
    for (std::string item; std::getline(list, item, ',');)
        levels.push_back(std::stod(item));
    contour::Options<double> o;
    std::vector<std::uint8_t> mask;
    for (int a = 5; a < argc; ++a) {
        const std::string flag = argv[a];
        if (flag == "--open") {
            o.openBands = true;
        } else if (flag == "--saddle" && a + 1 < argc) {
            const std::string s = argv[++a];
            o.saddle = s == "below"    ? contour::Saddle::Below
                       : s == "centre" ? contour::Saddle::Centre
                                       : contour::Saddle::Above;
        } else if (flag == "--mask" && a + 1 < argc) {
            mask = Read<std::uint8_t>(argv[++a], std::size_t(rows * cols));
            o.mask = contour::RowMajor(mask.data(), rows, cols);
        } else if (flag == "--threads" && a + 1 < argc) {
            o.threads = std::atoi(argv[++a]);
        } else {
            std::fprintf(stderr, "filled_dump: unknown argument %s\n", flag.c_str());
            return 2;
        }
    }
    const auto bands = contour::FilledContours(contour::RowMajor(z.data(), rows, cols),
                                               std::span<const double>(levels), o);
    std::string out;
    char buf[64];
    for (std::size_t b = 0; b + 1 < bands.bandOffsets.size(); ++b) {
        std::snprintf(buf, sizeof buf, "band %.17g %.17g %lld\n", bands.lower[b], bands.upper[b],
                      static_cast<long long>(bands.bandOffsets[b + 1] - bands.bandOffsets[b]));
        out += buf;
        for (auto p = bands.bandOffsets[b]; p < bands.bandOffsets[b + 1]; ++p) {
            const auto r0 = bands.polygonOffsets[std::size_t(p)];
            const auto r1 = bands.polygonOffsets[std::size_t(p) + 1];
            out += "polygon " + std::to_string(r1 - r0) + "\n";
            for (auto r = r0; r < r1; ++r) {
                const auto a = bands.ringOffsets[std::size_t(r)];
                const auto e = bands.ringOffsets[std::size_t(r) + 1];
                out += "ring " + std::to_string(e - a);
                for (auto k = a; k < e; ++k) {
                    std::snprintf(buf, sizeof buf, " %.17g %.17g", bands.points[std::size_t(k)].x,
                                  bands.points[std::size_t(k)].y);
                    out += buf;
                }
                out += "\n";
            }
        }
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    return 0;
} catch (const contour::Error& e) {
    std::fprintf(stderr, "filled_dump: %s\n", e.what());
    return 2;
}
