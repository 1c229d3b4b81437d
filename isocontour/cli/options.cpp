#include "cli/options.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "cli/printable.h"

const char* const kContourUsage =
    "usage: isocontour FIELD (--levels L1,L2,... | --nlevels N) [options]\n"
    "Contour lines of a 2-D array. FIELD is a .npy file (float32 or float64, C or Fortran\n"
    "order; z[row][col] is the value at x = col, y = row), or raw little-endian float32 stored\n"
    "x-major (node (i, j) at i * NY + j) with --size.\n"
    "  --size NX,NY         FIELD is raw float32 with these extents\n"
    "  --levels L1,L2,...   the levels, in this order (one number is one level)\n"
    "  --nlevels N          N levels evenly spaced strictly inside the finite values' range\n"
    "  --x FILE --y FILE    coordinates as .npy: 1-D of the columns' and rows' lengths, or\n"
    "                       2-D the field's shape (default: grid units)\n"
    "  --mask FILE          .npy of bools the field's shape; true removes the node\n"
    "  --saddle RULE        above (default), below, centre or diagonal: how a saddle cell\n"
    "                       is joined\n"
    "  --at-level SIDE      below (default) or above: the side of a level that a value\n"
    "                       exactly at it lies on (bands lower < z <= upper, or lower <= z\n"
    "                       < upper)\n"
    "  --log                crossings interpolated in the logarithms (values and levels > 0)\n"
    "  --corner-mask        a cell with exactly one masked or NaN corner is contoured as the\n"
    "                       triangle of the other three\n"
    "  --threads N          worker threads, 0 for one per core (default 1)\n"
    "  --normals            with --csv: the unit normal, towards lower values, at each point\n"
    "  --filled             filled bands between consecutive levels (at least two, rising)\n"
    "                       instead of lines, as polygons with holes\n"
    "  --open-bands         with --filled: also the bands below the first level and above\n"
    "                       the last, so that the bands cover every unmasked cell\n"
    "  --geojson FILE       the lines as a GeoJSON FeatureCollection, one Feature per level\n"
    "                       (--filled: per band, properties lower and upper, a MultiPolygon)\n"
    "  --csv FILE           one row per point: line,level,x,y (and nx,ny with --normals);\n"
    "                       --filled: polygon,ring,lower,upper,x,y\n"
    "  --svg FILE           the lines over a grey-scale image of the values (--filled: the\n"
    "                       bands, one colour each)\n"
    "  --help               this text\n"
    "Without an output file it prints each level's count of lines and points.\n";

namespace {

// Every flag and whether a value follows it. A new flag is a row here and a branch in Apply.
struct Flag {
    std::string_view name;
    bool takesValue;
};
constexpr Flag kFlags[] = {
    {"--size", true},     {"--levels", true},  {"--nlevels", true},      {"--x", true},
    {"--y", true},        {"--mask", true},    {"--saddle", true},       {"--threads", true},
    {"--normals", false}, {"--geojson", true}, {"--csv", true},          {"--svg", true},
    {"--help", false},    {"-h", false},       {"--filled", false},      {"--open-bands", false},
    {"--at-level", true}, {"--log", false},    {"--corner-mask", false},
};

bool ParseNumber(std::string_view text, double& out) {
    const std::string s(text);
    if (s.empty() || s.find_first_of(" \t\n") != std::string::npos) return false;
    errno = 0;
    char* end = nullptr;
    const double v = std::strtod(s.c_str(), &end);
    if (*end != '\0' || errno == ERANGE || !std::isfinite(v)) return false;
    out = v;
    return true;
}

bool ParseWhole(std::string_view text, long long lo, long long hi, long long& out) {
    double v = 0;
    if (!ParseNumber(text, v) || v != std::floor(v) || v < double(lo) || v > double(hi))
        return false;
    out = (long long)v;
    return true;
}

std::string Shortest(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.17g", v);
    return text;
}

// The comma-separated items of text; false if any is empty.
bool Split(std::string_view text, std::vector<std::string_view>& items) {
    items.clear();
    for (std::size_t start = 0;;) {
        const std::size_t comma = text.find(',', start);
        items.push_back(text.substr(start, comma - start));
        if (items.back().empty()) return false;
        if (comma == std::string_view::npos) return true;
        start = comma + 1;
    }
}

// Applies one flag (value is null for a switch); returns the error, empty when all is well.
std::string Apply(std::string_view flag, const char* value, ContourToolOptions& o) {
    const std::string_view v = value ? value : "";
    std::vector<std::string_view> items;
    long long whole = 0;
    if (flag == "--help" || flag == "-h") {
        o.help = true;
    } else if (flag == "--normals") {
        o.normals = true;
    } else if (flag == "--filled") {
        o.filled = true;
    } else if (flag == "--open-bands") {
        o.openBands = true;
    } else if (flag == "--log") {
        o.log = true;
    } else if (flag == "--corner-mask") {
        o.cornerMask = true;
    } else if (flag == "--at-level") {
        if (v == "below")
            o.atLevel = isocontour::AtLevel::Below;
        else if (v == "above")
            o.atLevel = isocontour::AtLevel::Above;
        else
            return "--at-level must be below or above, not '" + Printable(v) + "'";
    } else if (flag == "--size") {
        constexpr long long kMax = 1LL << 29;
        long long nx = 0, ny = 0;
        if (!Split(v, items) || items.size() != 2 || !ParseWhole(items[0], 1, kMax, nx) ||
            !ParseWhole(items[1], 1, kMax, ny))
            return "--size needs NX,NY: two whole numbers from 1 to " + std::to_string(kMax);
        o.sizeX = nx;
        o.sizeY = ny;
    } else if (flag == "--levels") {
        if (!Split(v, items) || items.size() > std::size_t(kMaxLevels))
            return "--levels needs finite numbers separated by commas (at most " +
                   std::to_string(kMaxLevels) + ")";
        o.levels.clear();
        for (std::string_view item : items) {
            double level = 0;
            if (!ParseNumber(item, level))
                return "--levels: '" + Printable(item) + "' is not a finite number";
            o.levels.push_back(level);
        }
    } else if (flag == "--nlevels") {
        if (!ParseWhole(v, 1, kMaxLevels, whole))
            return "--nlevels must be a whole number from 1 to " + std::to_string(kMaxLevels);
        o.nlevels = int(whole);
    } else if (flag == "--threads") {
        if (!ParseWhole(v, 0, kMaxThreads, whole))
            return "--threads must be a whole number from 0 (all cores) to " +
                   std::to_string(kMaxThreads);
        o.threads = int(whole);
    } else if (flag == "--saddle") {
        if (v == "above")
            o.saddle = isocontour::Saddle::Above;
        else if (v == "below")
            o.saddle = isocontour::Saddle::Below;
        else if (v == "centre" || v == "center")
            o.saddle = isocontour::Saddle::Centre;
        else if (v == "diagonal")
            o.saddle = isocontour::Saddle::Diagonal;
        else
            return "--saddle must be above, below, centre or diagonal, not '" + Printable(v) + "'";
    } else {
        if (v.empty()) return std::string(flag) + " needs a non-empty path";
        std::string& path = flag == "--x"      ? o.x
                            : flag == "--y"    ? o.y
                            : flag == "--mask" ? o.mask
                            : flag == "--csv"  ? o.csv
                            : flag == "--svg"  ? o.svg
                                               : o.geojson;
        path = v;
    }
    return {};
}

// What only the whole command line can tell.
std::string CheckTogether(const ContourToolOptions& o) {
    if (o.help) return {};
    if (o.field.empty()) return "no FIELD file given (see --help)";
    if (o.levels.empty() == (o.nlevels == 0)) return "give either --levels or --nlevels";
    if (o.x.empty() != o.y.empty()) return "--x and --y go together";
    if (o.normals && o.csv.empty()) return "--normals goes with --csv FILE";
    if (o.openBands && !o.filled) return "--open-bands goes with --filled";
    if (o.filled && o.normals) return "--normals is for lines, not --filled";
    if (o.filled && (o.levels.size() == 1 || o.nlevels == 1))
        return "--filled needs at least two levels";
    if (o.filled)
        for (std::size_t k = 1; k < o.levels.size(); ++k)
            if (!(o.levels[k - 1] < o.levels[k]))
                return "--filled needs rising levels; " + Shortest(o.levels[k]) + " follows " +
                       Shortest(o.levels[k - 1]);
    return {};
}

} // namespace

ParsedContourOptions ParseContourOptions(int argc, const char* const* argv) {
    ParsedContourOptions r;
    auto fail = [&](std::string message) {
        r.ok = false;
        r.error = std::move(message);
        return r;
    };
    for (int i = 1; i < argc; ++i) {
        if (!argv[i]) return fail("a missing argument");
        const std::string_view arg = argv[i];
        if (arg.size() > 1 && arg[0] == '-') {
            const Flag* flag = nullptr;
            for (const Flag& f : kFlags)
                if (f.name == arg) flag = &f;
            if (!flag) return fail("unknown option '" + Printable(arg) + "' (see --help)");
            const char* value = nullptr;
            if (flag->takesValue) {
                if (i + 1 >= argc || !argv[i + 1]) return fail(std::string(arg) + " needs a value");
                value = argv[++i];
            }
            if (std::string error = Apply(arg, value, r.options); !error.empty())
                return fail(std::move(error));
        } else if (r.options.field.empty() && !arg.empty()) {
            r.options.field = arg;
        } else {
            return fail("unexpected argument '" + Printable(arg) +
                        "' (one FIELD file; a raster and a vector file take gdal_contour's "
                        "options: isocontour -i INTERVAL SRC DST)");
        }
    }
    if (std::string error = CheckTogether(r.options); !error.empty()) return fail(std::move(error));
    r.ok = true;
    return r;
}

std::vector<double> EvenLevels(double lo, double hi, int n) {
    std::vector<double> levels;
    for (int k = 1; k <= n; ++k) {
        const double t = double(k) / (n + 1);
        // The difference overflows only for ranges wider than the largest double.
        levels.push_back(std::isfinite(hi - lo) ? lo + (hi - lo) * t : lo * (1 - t) + hi * t);
    }
    return levels;
}

template <class T>
std::vector<double> FieldLevels(int n, isocontour::View<T> z, isocontour::View<std::uint8_t> mask) {
    double lo = INFINITY, hi = -INFINITY;
    for (std::ptrdiff_t j = 0; j < z.ny; ++j)
        for (std::ptrdiff_t i = 0; i < z.nx; ++i)
            if (const double v = double(z(i, j));
                std::isfinite(v) && !(mask.Present() && mask(i, j)))
                lo = std::min(lo, v), hi = std::max(hi, v);
    if (!(lo < hi)) return {};
    return EvenLevels(lo, hi, n);
}
template std::vector<double> FieldLevels(int, isocontour::View<float>,
                                         isocontour::View<std::uint8_t>);
template std::vector<double> FieldLevels(int, isocontour::View<double>,
                                         isocontour::View<std::uint8_t>);
