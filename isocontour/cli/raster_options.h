// The tool's second command line, gdal_contour's (isocontour [options] SRC DST): a raster in
// through GDAL, a vector file out through OGR. Parsed into options or one line of error, with no
// GDAL in sight, so that it is tested and fuzzed on every build.
#pragma once

#include <string>
#include <vector>

#include "isocontour/isocontour.h"

struct RasterToolOptions {
    std::string source;      // SRC: any raster GDAL opens
    std::string destination; // DST: the vector file written
    int band = 1;            // -b, from 1

    // Which levels: -fl wins over -e, and -e over -i, as in gdal_contour (a warning says so).
    enum class LevelKind { Interval, Fixed, Exponential };
    LevelKind levelKind = LevelKind::Interval;
    double interval = 0;       // -i: above 0
    double offset = 0;         // -off: the level the intervals are counted from
    double base = 0;           // -e: levels base^k, k = 0, 1, ...; above 1
    std::vector<double> fixed; // -fl, in the order given

    bool polygons = false;                             // -p: bands between the levels
    std::string elevation, elevationMin, elevationMax; // -a (lines), -amin -amax (polygons)
    bool threeD = false;                               // -3d: the level as every point's Z
    bool ignoreNoData = false;                         // -inodata
    bool hasNoData = false;                            // -snodata given
    double noData = 0;                                 // its value (NaN allowed)
    std::string format;                                // -f / -of: an OGR driver's name
    std::vector<std::string> datasetOptions;           // -dsco NAME=VALUE
    std::vector<std::string> layerOptions;             // -lco NAME=VALUE
    std::string layerName = "contour";                 // -nln
    bool quiet = false;                                // -q: no progress bar

    // The tool's own, beyond gdal_contour's.
    int threads = 1;         // --threads, 0 for one per core
    long long stripRows = 0; // --strip-rows: raster rows held at once; 0 picks about 4M values
    long long minPoints = 0; // --min-points: lines of fewer points are left out (lines only)
    // --saddle: gdal_contour's fixed choice unless asked otherwise.
    isocontour::Saddle saddle = isocontour::Saddle::Diagonal;
    // --at-level: gdal_contour's side, a value equal to a level above it, unless asked otherwise.
    isocontour::AtLevel atLevel = isocontour::AtLevel::Above;
    bool log = false;        // --log: crossings interpolated in the values' logarithms
    bool cornerMask = false; // --corner-mask: a cell missing one corner gives a triangle
    bool help = false;

    // Options that gdal_contour accepts and ignores in the same way, one line each.
    std::vector<std::string> warnings;
};

struct ParsedRasterOptions {
    bool ok = false;
    std::string error; // one line, when !ok
    RasterToolOptions options;
};

/// True when argv is gdal_contour's command line: any argument is one of its single-dash
/// options (in any case, as it takes them). Every such command line names -i, -fl or -e, which
/// the array command line never uses, so the two grammars never claim the same arguments.
bool IsRasterCommandLine(int argc, const char* const* argv);

/// Parses gdal_contour's command line and the tool's own --threads, --strip-rows, --saddle,
/// --at-level, --log, --corner-mask and --help. Never throws and never touches the file system.
ParsedRasterOptions ParseRasterOptions(int argc, const char* const* argv);

extern const char* const kRasterUsage;
