// The raster form runs as an executable of its own, isocontour-gdal beside the tool, so that the
// array form starts without loading GDAL and the hundred libraries it brings (a hundred
// milliseconds a run): the tool hands gdal_contour's command line over to it.
#pragma once

/// Replaces this process with the helper named `name` in this program's own folder, with the
/// same arguments (its output, exit code and terminal stay the caller's). Returns only when that
/// fails: exit code 2 after one line on stderr.
int RunHelper(const char* name, char** argv);
