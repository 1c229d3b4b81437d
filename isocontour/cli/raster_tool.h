// The raster form of the tool: a raster band read through GDAL in strips of rows, contoured by
// the library, and written through OGR, with a progress bar on a terminal.
#pragma once

#include "cli/raster_options.h"

/// Runs the raster form; returns the exit code: 0, 2 for bad input (one line on stderr, nothing
/// written), 1 for a failed write (nothing written either).
int RunRasterTool(const RasterToolOptions& options);
