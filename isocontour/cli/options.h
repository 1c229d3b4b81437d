// isocontour's command line, parsed into options or one line of error.
#pragma once

#include <string>
#include <vector>

#include "isocontour/isocontour.h"

struct ContourToolOptions {
    std::string field;              // the values: a .npy file, or raw float32 with --size
    long long sizeX = 0, sizeY = 0; // --size NX,NY: the raw file's extents, x-major
    std::vector<double> levels;     // --levels, in the order given
    int nlevels = 0;                // --nlevels: evenly spaced inside the finite values' range
    std::string x, y, mask;         // .npy files of coordinates and of the mask
    isocontour::Saddle saddle = isocontour::Saddle::Above;
    isocontour::AtLevel atLevel = isocontour::AtLevel::Below;
    bool log = false;        // --log: crossings interpolated in the values' logarithms
    bool cornerMask = false; // --corner-mask: a cell missing one corner gives a triangle
    int threads = 1;         // 0: one per core
    bool normals = false;
    bool filled = false;           // --filled: the bands between consecutive levels
    bool openBands = false;        // --open-bands: and below the first, above the last
    std::string geojson, csv, svg; // outputs
    bool help = false;
};

inline constexpr int kMaxLevels = 100000;
inline constexpr int kMaxThreads = 1024;

struct ParsedContourOptions {
    bool ok = false;
    std::string error; // one line, when !ok
    ContourToolOptions options;
};

// Never throws and never touches the file system.
ParsedContourOptions ParseContourOptions(int argc, const char* const* argv);

// The n levels between lo and hi, evenly spaced: lo + (hi - lo) * (k / (n + 1)), k = 1 .. n.
std::vector<double> EvenLevels(double lo, double hi, int n);

// --nlevels N on field z: EvenLevels over the range of z's finite values, masked nodes left out;
// empty when that range is empty or a single value.
template <class T>
std::vector<double> FieldLevels(int n, isocontour::View<T> z, isocontour::View<std::uint8_t> mask);

extern const char* const kContourUsage;
