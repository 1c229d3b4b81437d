#include "cli/raster_options.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <string_view>

#include "cli/options.h"
#include "cli/printable.h"

const char* const kRasterUsage =
    "usage: isocontour [options] SRC DST\n"
    "Contour lines, or with -p filled bands, of a raster GDAL reads (GeoTIFF and every other\n"
    "raster format it knows), written through OGR in its coordinate system; gdal_contour's\n"
    "command line and options, with the same meanings.\n"
    "  -i INTERVAL          a level every INTERVAL (above 0), counted from -off OFFSET (0)\n"
    "  -fl L1 L2 ...        these levels\n"
    "  -e BASE              the levels BASE^k, k = 0, 1, 2, ... (BASE above 1)\n"
    "  -p                   filled bands between consecutive levels, the first from the\n"
    "                       raster's minimum and the last to its maximum: one MultiPolygon\n"
    "                       feature per band\n"
    "  -a NAME              lines: the level in a Real field NAME\n"
    "  -amin NAME -amax NAME  polygons: the band's lower and upper level in Real fields\n"
    "  -3d                  the level (polygons: the upper one) as every point's Z\n"
    "  -b BAND              the band to read, from 1 (default 1)\n"
    "  -snodata VALUE       this value is nodata (else the band's own; NaN always is)\n"
    "  -inodata             ignore the band's nodata value\n"
    "  -f FORMAT, -of       an OGR vector driver (default: from DST's extension)\n"
    "  -dsco NAME=VALUE     a dataset creation option of the driver (repeatable)\n"
    "  -lco NAME=VALUE      a layer creation option of the driver (repeatable)\n"
    "  -nln NAME            the layer's name (default contour)\n"
    "  -q, -quiet           no progress bar (none is drawn off a terminal either)\n"
    "  --threads N          worker threads, 0 for one per core (default 1); the output is\n"
    "                       the same for any N\n"
    "  --strip-rows N       raster rows read and contoured at a time (default: about four\n"
    "                       million values); memory holds a few strips and the open lines\n"
    "  --min-points N       lines: leave out every line of fewer than N points (a closed\n"
    "                       line counts its closing point)\n"
    "  --at-level SIDE      above (default, as gdal_contour) or below: which side of a level a\n"
    "                       value exactly at it lies on\n"
    "  --saddle RULE        diagonal (default, gdal_contour's), above, below or centre\n"
    "  --log                crossings interpolated in the logarithms (values and levels > 0)\n"
    "  --corner-mask        lines: a cell with exactly one nodata corner is contoured as the\n"
    "                       triangle of the other three\n"
    "Every feature has an ID field. DST is written whole or not at all, replacing any file\n"
    "of that name. Levels keep their full precision.\n";

namespace {

// gdal_contour's options, and whether a value follows. It compares them in any case.
struct Flag {
    std::string_view name;
    bool takesValue;
};
constexpr Flag kGdalFlags[] = {
    {"-a", true},   {"-amin", true}, {"-amax", true},   {"-b", true},        {"-i", true},
    {"-off", true}, {"-fl", true},   {"-e", true},      {"-p", false},       {"-f", true},
    {"-of", true},  {"-dsco", true}, {"-lco", true},    {"-3d", false},      {"-snodata", true},
    {"-nln", true}, {"-q", false},   {"-quiet", false}, {"-inodata", false},
};
// The tool's own, spelt exactly.
constexpr Flag kOwnFlags[] = {
    {"--threads", true},      {"--strip-rows", true}, {"--min-points", true},
    {"--saddle", true},       {"--at-level", true},   {"--log", false},
    {"--corner-mask", false}, {"--help", false},      {"-h", false},
};

bool SameFlag(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

const Flag* GdalFlag(std::string_view arg) {
    for (const Flag& f : kGdalFlags)
        if (SameFlag(f.name, arg)) return &f;
    return nullptr;
}

// A number as strtod reads it, whole text and nothing else; finite unless anyValue.
bool Number(std::string_view text, double& out, bool anyValue = false) {
    const std::string s(text);
    if (s.empty() || std::isspace(static_cast<unsigned char>(s[0]))) return false;
    errno = 0;
    char* end = nullptr;
    const double v = std::strtod(s.c_str(), &end);
    if (*end != '\0') return false;
    if (!anyValue && (errno == ERANGE || !std::isfinite(v))) return false;
    out = v;
    return true;
}

bool Whole(std::string_view text, long long lo, long long hi, long long& out) {
    double v = 0;
    if (!Number(text, v) || v != std::floor(v) || v < double(lo) || v > double(hi)) return false;
    out = static_cast<long long>(v);
    return true;
}

// Applies one option with its value (empty for a switch); returns the error, empty if none.
std::string Apply(std::string_view flag, std::string_view v, RasterToolOptions& o,
                  bool& exponential, bool& interval) {
    const std::string name(flag);
    long long whole = 0;
    double number = 0;
    auto lower = [&](std::string_view n) { return SameFlag(flag, n); };
    if (lower("-p")) {
        o.polygons = true;
    } else if (lower("-3d")) {
        o.threeD = true;
    } else if (lower("-inodata")) {
        o.ignoreNoData = true;
    } else if (lower("-q") || lower("-quiet")) {
        o.quiet = true;
    } else if (flag == "--help" || flag == "-h") {
        o.help = true;
    } else if (lower("-b")) {
        if (!Whole(v, 1, 1 << 30, whole)) return "-b needs a band number from 1";
        o.band = int(whole);
    } else if (lower("-i")) {
        if (!Number(v, number) || !(number > 0))
            return "-i needs an interval above 0, not '" + Printable(v) + "'";
        o.interval = number;
        interval = true;
    } else if (lower("-off")) {
        if (!Number(v, number)) return "-off needs a finite number, not '" + Printable(v) + "'";
        o.offset = number;
    } else if (lower("-e")) {
        if (!Number(v, number) || !(number > 1))
            return "-e needs a base above 1, not '" + Printable(v) + "'";
        o.base = number;
        exponential = true;
    } else if (lower("-snodata")) {
        if (!Number(v, number, true)) return "-snodata needs a number, not '" + Printable(v) + "'";
        o.noData = number;
        o.hasNoData = true;
    } else if (lower("-dsco") || lower("-lco")) {
        const std::size_t eq = v.find('=');
        if (eq == 0 || eq == std::string_view::npos)
            return name + " needs NAME=VALUE, not '" + Printable(v) + "'";
        (lower("-dsco") ? o.datasetOptions : o.layerOptions).emplace_back(v);
    } else if (flag == "--threads") {
        if (!Whole(v, 0, kMaxThreads, whole))
            return "--threads must be a whole number from 0 (all cores) to " +
                   std::to_string(kMaxThreads);
        o.threads = int(whole);
    } else if (flag == "--strip-rows") {
        if (!Whole(v, 1, 1LL << 31, whole))
            return "--strip-rows must be a whole number of rows from 1";
        o.stripRows = whole;
    } else if (flag == "--min-points") {
        if (!Whole(v, 0, 1LL << 31, whole))
            return "--min-points must be a whole number of points from 0";
        o.minPoints = whole;
    } else if (flag == "--saddle") {
        if (v == "diagonal")
            o.saddle = isocontour::Saddle::Diagonal;
        else if (v == "above")
            o.saddle = isocontour::Saddle::Above;
        else if (v == "below")
            o.saddle = isocontour::Saddle::Below;
        else if (v == "centre" || v == "center")
            o.saddle = isocontour::Saddle::Centre;
        else
            return "--saddle must be diagonal, above, below or centre, not '" + Printable(v) + "'";
    } else if (flag == "--at-level") {
        if (v == "above")
            o.atLevel = isocontour::AtLevel::Above;
        else if (v == "below")
            o.atLevel = isocontour::AtLevel::Below;
        else
            return "--at-level must be above or below, not '" + Printable(v) + "'";
    } else if (flag == "--log") {
        o.log = true;
    } else if (flag == "--corner-mask") {
        o.cornerMask = true;
    } else {
        if (v.empty()) return name + " needs a non-empty value";
        std::string& text = lower("-a")      ? o.elevation
                            : lower("-amin") ? o.elevationMin
                            : lower("-amax") ? o.elevationMax
                            : lower("-nln")  ? o.layerName
                                             : o.format; // -f, -of
        text = v;
    }
    return {};
}

// What only the whole command line can tell, and gdal_contour's warnings for what it ignores.
std::string CheckTogether(RasterToolOptions& o, bool fixed, bool exponential, bool interval) {
    if (o.help) return {};
    if (!fixed && !exponential && !interval)
        return "give the levels: -i INTERVAL, -fl L1 ... or -e BASE";
    if (o.source.empty()) return "no SRC raster given (see --help)";
    if (o.destination.empty()) return "no DST vector file given (see --help)";
    if (o.polygons && o.minPoints > 0)
        return "--min-points applies to lines: leaving out a band's small rings would open gaps "
               "between the bands";
    if (o.fixed.size() > std::size_t(kMaxLevels))
        return "-fl gives " + std::to_string(o.fixed.size()) + " levels; at most " +
               std::to_string(kMaxLevels);
    if (fixed) {
        o.levelKind = RasterToolOptions::LevelKind::Fixed;
        if (exponential || interval)
            o.warnings.push_back(std::string(exponential ? "-e" : "-i") +
                                 " is ignored: -fl gives the levels");
    } else if (exponential) {
        o.levelKind = RasterToolOptions::LevelKind::Exponential;
        if (interval) o.warnings.push_back("-i is ignored: -e gives the levels");
    }
    if (o.polygons && !o.elevation.empty()) {
        o.warnings.push_back("-a is ignored with -p; use -amin and/or -amax");
        o.elevation.clear();
    }
    if (!o.polygons && (!o.elevationMin.empty() || !o.elevationMax.empty())) {
        o.warnings.push_back("-amin and -amax are ignored without -p; use -a");
        o.elevationMin.clear();
        o.elevationMax.clear();
    }
    for (const std::string* field : {&o.elevation, &o.elevationMin, &o.elevationMax})
        if (SameFlag(*field, "ID"))
            return "the field name " + Printable(*field) + " is taken by the features' ID";
    if (!o.elevationMin.empty() && SameFlag(o.elevationMin, o.elevationMax))
        return "-amin and -amax need two different names";
    return {};
}

} // namespace

bool IsRasterCommandLine(int argc, const char* const* argv) {
    for (int i = 1; i < argc; ++i)
        if (argv[i] && GdalFlag(argv[i])) return true;
    return false;
}

ParsedRasterOptions ParseRasterOptions(int argc, const char* const* argv) {
    ParsedRasterOptions r;
    auto fail = [&](std::string message) {
        r.ok = false;
        r.error = std::move(message);
        return r;
    };
    RasterToolOptions& o = r.options;
    bool fixed = false, exponential = false, interval = false;
    for (int i = 1; i < argc; ++i) {
        if (!argv[i]) return fail("a missing argument");
        const std::string_view arg = argv[i];
        const Flag* flag = GdalFlag(arg);
        for (const Flag& f : kOwnFlags)
            if (!flag && f.name == arg) flag = &f;
        if (flag && SameFlag(flag->name, "-fl")) {
            // As gdal_contour: every number that follows is a level.
            double level = 0;
            const std::size_t before = o.fixed.size();
            while (i + 1 < argc && argv[i + 1] && Number(argv[i + 1], level)) {
                o.fixed.push_back(level);
                ++i;
            }
            if (o.fixed.size() == before) return fail("-fl needs at least one finite level");
            fixed = true;
            continue;
        }
        if (flag) {
            std::string_view value;
            if (flag->takesValue) {
                if (i + 1 >= argc || !argv[i + 1]) return fail(std::string(arg) + " needs a value");
                value = argv[++i];
            }
            if (std::string e = Apply(flag->name, value, o, exponential, interval); !e.empty())
                return fail(std::move(e));
        } else if (arg.size() > 1 && arg[0] == '-') {
            return fail("unknown option '" + Printable(arg) + "' (see --help)");
        } else if (o.source.empty() && !arg.empty()) {
            o.source = arg;
        } else if (o.destination.empty() && !arg.empty()) {
            o.destination = arg;
        } else {
            return fail("unexpected argument '" + Printable(arg) + "' (SRC and DST are given)");
        }
    }
    if (std::string e = CheckTogether(o, fixed, exponential, interval); !e.empty())
        return fail(std::move(e));
    r.ok = true;
    return r;
}
