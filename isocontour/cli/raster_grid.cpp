#include "cli/raster_grid.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

template <class T>
PaddedRows<T>::PaddedRows(std::ptrdiff_t cols, std::ptrdiff_t rows, std::ptrdiff_t capacity)
    : nx_(cols + 2), ny_(rows + 2), capacity_(std::min(capacity, rows + 2)),
      values_(std::size_t(nx_) * std::size_t(capacity_)), x_(std::size_t(nx_)),
      y_(std::size_t(ny_)), lo_(std::numeric_limits<double>::infinity()),
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

template <class T> void PaddedRows<T>::DropBefore(std::ptrdiff_t j) {
    const std::ptrdiff_t drop = std::clamp<std::ptrdiff_t>(j - first_, 0, count_);
    std::copy(values_.begin() + drop * nx_, values_.begin() + count_ * nx_, values_.begin());
    first_ += drop;
    count_ -= drop;
}

template <class T>
bool PaddedRows<T>::Append(std::ptrdiff_t end, Read read, void* reader, const NoDataRule& nodata) {
    end = std::min({end, ny_, first_ + capacity_});
    const std::ptrdiff_t rows = ny_ - 2;
    for (std::ptrdiff_t j = End(); j < end;) {
        // Node rows 1 .. rows hold raster rows 0 .. rows - 1, read in one run; a pad row reads
        // the raster row it copies.
        const bool pad = j == 0 || j == ny_ - 1;
        const std::ptrdiff_t run = pad ? 1 : std::min(end, ny_ - 1) - j;
        const std::ptrdiff_t row0 = pad ? (j == 0 ? 0 : rows - 1) : j - 1;
        if (!read(reader, row0, run, Node(j) + 1, nx_)) return false;
        for (std::ptrdiff_t k = j; k < j + run; ++k)
            Finish(k, nodata);
        count_ += run;
        j += run;
    }
    return true;
}

// Node row j: nodata to NaN, the side pads, and the range unless the row is a pad's copy. The
// values go a vector at a time (the compiler's vector extension, on any target), each lane with
// its own running range; a value equals the nodata value as a double only if that is one of T's.
template <class T> void PaddedRows<T>::Finish(std::ptrdiff_t j, const NoDataRule& nodata) {
    using V [[gnu::vector_size(16)]] = T;
    constexpr std::ptrdiff_t kLanes = std::ptrdiff_t(sizeof(V) / sizeof(T));
    constexpr T nan = std::numeric_limits<T>::quiet_NaN();
    constexpr T inf = std::numeric_limits<T>::infinity();
    constexpr T most = std::numeric_limits<T>::max();
    const T noData = T(nodata.value);
    const bool useNoData = nodata.use && double(noData) == nodata.value;
    T* row = Node(j) + 1;
    const std::ptrdiff_t cols = nx_ - 2;
    V lo = V{} + inf, hi = V{} - inf;
    const V nans = V{} + nan, mosts = V{} + most, noDatas = V{} + (useNoData ? noData : nan);
    std::ptrdiff_t i = 0;
    for (; i + kLanes <= cols; i += kLanes) {
        V v;
        std::memcpy(&v, row + i, sizeof v);
        // Infinite, NaN (unordered with itself) or the nodata value.
        const auto bad = (v > mosts) | (v < -mosts) | (v != v) | (v == noDatas);
        v = bad ? nans : v;
        std::memcpy(row + i, &v, sizeof v);
        lo = v < lo ? v : lo; // NaN compares false and leaves the range
        hi = v > hi ? v : hi;
    }
    double rowLo = lo_, rowHi = hi_;
    for (std::ptrdiff_t k = 0; k < kLanes; ++k)
        rowLo = std::min(rowLo, double(lo[k])), rowHi = std::max(rowHi, double(hi[k]));
    for (; i < cols; ++i) {
        const T v = row[i];
        if (!std::isfinite(v) || (useNoData && v == noData)) {
            row[i] = nan;
            continue;
        }
        rowLo = std::min(rowLo, double(v));
        rowHi = std::max(rowHi, double(v));
    }
    row[-1] = row[0];
    row[cols] = row[cols - 1];
    if (j != 0 && j != ny_ - 1) lo_ = rowLo, hi_ = rowHi;
}

template <class T> isocontour::View<T> PaddedRows<T>::Values() const {
    return {values_.data(), nx_, count_, 1, nx_, std::size_t(count_ * nx_)};
}
template <class T> isocontour::View<T> PaddedRows<T>::X() const {
    return {x_.data(), nx_, 1, 1, nx_, x_.size()};
}
template <class T> isocontour::View<T> PaddedRows<T>::Y() const {
    return {y_.data() + first_, count_, 1, 1, count_, std::size_t(count_)};
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

template class PaddedRows<float>;
template class PaddedRows<double>;
template void MapPoints(std::span<const isocontour::Point<float>>, const GeoTransform&,
                        std::vector<double>&, std::vector<double>&);
template void MapPoints(std::span<const isocontour::Point<double>>, const GeoTransform&,
                        std::vector<double>&, std::vector<double>&);
