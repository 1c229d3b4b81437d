// A raster band opened through GDAL, read a strip of rows at a time: the tool's one contact
// with GDAL's raster side. Errors are GDAL's own reasons, one line.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "cli/raster_grid.h"

struct RasterDescription {
    std::ptrdiff_t cols = 0, rows = 0;
    std::string type;             // GDAL's name of the band's data type
    bool exactInFloat = false;    // every value of the type is a float (read as float, else double)
    NoDataRule nodata;            // the band's own, or -snodata's; none with -inodata
    GeoTransform geoTransform;    // identity in pixels when the raster has none
    std::string spatialRefWkt;    // empty when the raster has no coordinate system
    std::ptrdiff_t stripRows = 0; // rows a strip takes: about 4M values, in whole blocks
};

class GdalRaster {
  public:
    /// Opens band `band` (from 1) of the raster at path. The nodata value is the band's own
    /// unless ignore is set or an override is given; for a Float32 band it is rounded to float,
    /// as the values are. Returns null with one line in error when the file is not a raster
    /// GDAL opens or has no such band.
    static std::unique_ptr<GdalRaster> Open(const std::string& path, int band, bool ignoreNoData,
                                            const double* noDataOverride, std::string& error);
    ~GdalRaster();

    const RasterDescription& Description() const { return description_; }

    /// Reads rows [row0, row0 + count) into dst, rowStride elements between rows, converted to
    /// T. Returns false with one line in error when GDAL cannot read them.
    template <class T>
    bool ReadRows(std::ptrdiff_t row0, std::ptrdiff_t count, T* dst, std::ptrdiff_t rowStride,
                  std::string& error);

    struct Handles; // GDAL's dataset and band

  private:
    GdalRaster() = default;
    std::unique_ptr<Handles> handles_;
    RasterDescription description_;
    std::string path_;
};

/// GDAL's drivers, registered once, and its messages kept from the console: the last one is
/// handed back with a failure instead.
void StartGdal();
/// The message of GDAL's last failure, one line (empty when none), and clears it.
std::string TakeGdalError();
