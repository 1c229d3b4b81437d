#include "cli/raster_grid.h"

#include <algorithm>
#include <cmath>
#include <limits>

template <class T>
PaddedGrid<T>::PaddedGrid(std::ptrdiff_t cols, std::ptrdiff_t rows)
    : nx_(cols + 2), ny_(rows + 2), values_(std::size_t(nx_) * std::size_t(ny_)),
      x_(std::size_t(nx_)), y_(std::size_t(ny_)), lo_(std::numeric_limits<double>::infinity()),
      hi_(-std::numeric_limits<double>::infinity()) {
    // Pixel centres at k + 0.5, the pads on the raster's outer edges.
    for (auto* axis : {&x_, &y_}) {
        const std::size_t n = axis->size();
        for (std::size_t k = 1; k + 1 < n; ++k)
            (*axis)[k] = T(double(k) - 0.5);
        axis->front() = T(0);
        axis->back() = T(double(n - 2));
    }
}

template <class T>
void PaddedGrid<T>::FinishRows(std::ptrdiff_t row0, std::ptrdiff_t count,
                               const NoDataRule& nodata) {
    constexpr T nan = std::numeric_limits<T>::quiet_NaN();
    double lo = lo_, hi = hi_;
    for (std::ptrdiff_t r = row0; r < row0 + count; ++r) {
        T* row = Row(r);
        const std::ptrdiff_t cols = nx_ - 2;
        for (std::ptrdiff_t i = 0; i < cols; ++i) {
            const T v = row[i];
            if (!std::isfinite(v) || (nodata.use && double(v) == nodata.value)) {
                row[i] = nan;
                continue;
            }
            lo = std::min(lo, double(v));
            hi = std::max(hi, double(v));
        }
        row[-1] = row[0];
        row[cols] = row[cols - 1];
    }
    lo_ = lo;
    hi_ = hi;
}

template <class T> void PaddedGrid<T>::Finish() {
    std::copy_n(values_.begin() + nx_, nx_, values_.begin());
    std::copy_n(values_.end() - 2 * nx_, nx_, values_.end() - nx_);
}

template <class T> isocontour::View<T> PaddedGrid<T>::Values() const {
    return isocontour::RowMajor(values_.data(), ny_, nx_);
}
template <class T> isocontour::View<T> PaddedGrid<T>::X() const {
    return {x_.data(), nx_, 1, 1, nx_, x_.size()};
}
template <class T> isocontour::View<T> PaddedGrid<T>::Y() const {
    return {y_.data(), ny_, 1, 1, ny_, y_.size()};
}

template <class T>
void MapPoints(std::span<const isocontour::Point<T>> points, const GeoTransform& gt,
               std::vector<double>& xs, std::vector<double>& ys) {
    const std::size_t n = points.size();
    xs.resize(n);
    ys.resize(n);
    const bool reverse = gt.Mirrors();
    for (std::size_t k = 0; k < n; ++k) {
        const isocontour::Point<T>& p = points[reverse ? n - 1 - k : k];
        xs[k] = gt.X(double(p.x), double(p.y));
        ys[k] = gt.Y(double(p.x), double(p.y));
    }
}

template class PaddedGrid<float>;
template class PaddedGrid<double>;
template void MapPoints(std::span<const isocontour::Point<float>>, const GeoTransform&,
                        std::vector<double>&, std::vector<double>&);
template void MapPoints(std::span<const isocontour::Point<double>>, const GeoTransform&,
                        std::vector<double>&, std::vector<double>&);
