// The levels gdal_contour's options name over a raster's range of values: for lines, and the
// bounds of the bands with -p. Pure arithmetic, unit-tested.
#pragma once

#include <string>
#include <vector>

#include "cli/raster_options.h"

/// The levels for lines over the valid values' range [lo, hi]: every level of -i/-off, -e or
/// -fl that lies in it, rising, each once. -i gives k * interval + offset for whole k, computed
/// so (as gdal_contour does) that the same interval gives the same levels bit for bit; -e gives
/// base^k for k = 0, 1, ...; -fl its levels sorted. Nothing when lo > hi (no valid value).
/// Returns the error, one line, when more than kMaxLevels levels would lie in the range.
std::string LineLevels(const RasterToolOptions& o, double lo, double hi, std::vector<double>& out);

/// The bounds of the bands with -p: the line levels strictly inside (lo, hi), between -infinity
/// and +infinity, so that the first band runs from the raster's minimum and the last to its
/// maximum, and every band holds some value. A flat raster (lo == hi) is one band.
std::string BandBounds(const RasterToolOptions& o, double lo, double hi, std::vector<double>& out);
