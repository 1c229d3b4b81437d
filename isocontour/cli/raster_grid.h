// A raster band's values as the library contours them, held a strip of rows at a time, and its
// points mapped back onto the raster's coordinates. Values sit at pixel centres, as
// gdal_contour places them; the grid is padded by one node on every side, a copy of the border
// pixel half a pixel further out, so that lines and bands reach the raster's outer edge just as
// gdal_contour draws them there. Pure: the GDAL reader only fills rows.
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

/// Consecutive node rows of the padded grid of a cols x rows raster: its cols + 2 by rows + 2
/// nodes, node (i, j) pixel (i - 1, j - 1) with the first and last rows and columns copies of
/// their neighbours, at pixel coordinates 0, 0.5, 1.5, ..., cols - 0.5, cols (the same down the
/// rows). It holds up to `capacity` node rows at once: a strip is appended, contoured, and all
/// but the rows the next strip shares are dropped; or, with the capacity of the whole grid, every
/// row is appended once.
template <class T> class PaddedRows {
  public:
    /// The raster's rows [row0, row0 + count) into dst, rowStride elements apart; false on failure.
    using Read = bool (*)(void* reader, std::ptrdiff_t row0, std::ptrdiff_t count, T* dst,
                          std::ptrdiff_t rowStride);

    /// Allocates the rows; throws std::bad_alloc when it cannot.
    PaddedRows(std::ptrdiff_t cols, std::ptrdiff_t rows, std::ptrdiff_t capacity);

    std::ptrdiff_t GridNx() const { return nx_; }
    std::ptrdiff_t GridNy() const { return ny_; }
    /// The node rows held: [First(), End()).
    std::ptrdiff_t First() const { return first_; }
    std::ptrdiff_t End() const { return first_ + count_; }

    /// Drops the node rows before j, keeping those from j on.
    void DropBefore(std::ptrdiff_t j);
    /// Appends node rows End() .. end - 1 (at most the capacity held in all), read through read:
    /// nodata becomes NaN, the side pads are filled and the valid range widened by the raster
    /// rows met for the first time. Returns false, with nothing appended, when a read fails.
    bool Append(std::ptrdiff_t end, Read read, void* reader, const NoDataRule& nodata);

    /// The held node rows, and their pixel coordinates (x of every column, y of the held rows).
    isocontour::View<T> Values() const;
    isocontour::View<T> X() const;
    isocontour::View<T> Y() const;
    /// The valid values' range over every raster row appended so far; lo > hi while none was
    /// valid.
    double Lo() const { return lo_; }
    double Hi() const { return hi_; }

  private:
    T* Node(std::ptrdiff_t j) { return values_.data() + (j - first_) * nx_; }
    void Finish(std::ptrdiff_t j, const NoDataRule& nodata);

    std::ptrdiff_t nx_, ny_, capacity_;
    std::ptrdiff_t first_ = 0, count_ = 0;
    std::vector<T> values_, x_, y_;
    double lo_, hi_;
};

/// Line or ring `points` (pixel coordinates) in the raster's coordinates, into xs and ys (their
/// memory reused), reversed when the transform mirrors: higher values stay on the left and outer
/// rings counter-clockwise in the raster's own coordinates.
template <class T>
void MapPoints(std::span<const isocontour::Point<T>> points, const GeoTransform& gt,
               std::vector<double>& xs, std::vector<double>& ys);
