// A raster band's values as the library contours them, and its points mapped back onto the
// raster's coordinates. Values sit at pixel centres, as gdal_contour places them; the grid is
// padded by one node on every side, a copy of the border pixel half a pixel further out, so that
// lines and bands reach the raster's outer edge just as gdal_contour draws them there. Pure: the
// GDAL reader only fills rows.
#pragma once

#include <cstddef>
#include <span>
#include <vector>

#include "isocontour/isocontour.h"

/// GDAL's affine geotransform: pixel coordinates (px, py) to the raster's coordinates, with
/// (0, 0) the outer corner of the first pixel and (px + 0.5, py + 0.5) the centre of pixel
/// (px, py); rotation terms included.
struct GeoTransform {
    double c[6] = {0, 1, 0, 0, 0, 1};
    double X(double px, double py) const { return c[0] + px * c[1] + py * c[2]; }
    double Y(double px, double py) const { return c[3] + px * c[4] + py * c[5]; }
    /// True when the transform mirrors (a north-up raster's rows run south): the library's
    /// lines, higher values on their left in pixel coordinates, then run the other way round.
    bool Mirrors() const { return c[1] * c[5] - c[2] * c[4] < 0; }
};

/// Which values are nodata besides NaN (and infinities, which no level can cross sensibly).
struct NoDataRule {
    bool use = false;
    double value = 0; // compared as a double with the pixel's value
};

/// The padded grid of a cols x rows raster: node (i, j) holds pixel (i - 1, j - 1), the nodes of
/// rows and columns 0 and last copy their neighbours, and node i of a row lies at pixel
/// coordinate 0, 0.5, 1.5, ..., cols - 0.5, cols (the same down the rows).
template <class T> class PaddedGrid {
  public:
    /// Allocates the grid; throws std::bad_alloc when it cannot.
    PaddedGrid(std::ptrdiff_t cols, std::ptrdiff_t rows);

    /// Where raster row `row` goes: its first pixel, with RowStride() elements between rows.
    T* Row(std::ptrdiff_t row) { return values_.data() + (row + 1) * nx_ + 1; }
    std::ptrdiff_t RowStride() const { return nx_; }

    /// Turns nodata in rows [row0, row0 + count) into NaN, widens the valid range by their
    /// values and fills their side pads. Call once per row, in any order, before Finish.
    void FinishRows(std::ptrdiff_t row0, std::ptrdiff_t count, const NoDataRule& nodata);
    /// Fills the top and bottom pads: the grid is then ready.
    void Finish();

    isocontour::View<T> Values() const;
    isocontour::View<T> X() const; // rectilinear pixel coordinates of the columns
    isocontour::View<T> Y() const; // and of the rows
    /// The valid values' range; lo > hi when no pixel is valid.
    double Lo() const { return lo_; }
    double Hi() const { return hi_; }

  private:
    std::ptrdiff_t nx_, ny_;
    std::vector<T> values_, x_, y_;
    double lo_, hi_;
};

/// Line or ring `points` (pixel coordinates) in the raster's coordinates, into xs and ys (their
/// memory reused), reversed when the transform mirrors: higher values stay on the left and outer
/// rings counter-clockwise in the raster's own coordinates.
template <class T>
void MapPoints(std::span<const isocontour::Point<T>> points, const GeoTransform& gt,
               std::vector<double>& xs, std::vector<double>& ys);
