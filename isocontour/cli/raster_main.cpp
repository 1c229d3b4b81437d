// isocontour-gdal: the isocontour tool's raster form (gdal_contour's command line, GDAL in and
// OGR out) as an executable of its own; isocontour hands such command lines to it, so that its
// array form loads no GDAL.
#include <cstdio>

#include "cli/raster_options.h"
#include "cli/raster_tool.h"

int main(int argc, char** argv) {
    const ParsedRasterOptions parsed = ParseRasterOptions(argc, argv);
    if (!parsed.ok) {
        std::fprintf(stderr, "isocontour: %s\n", parsed.error.c_str());
        return 2;
    }
    if (parsed.options.help) {
        std::fputs(kRasterUsage, stdout);
        return 0;
    }
    return RunRasterTool(parsed.options);
}
