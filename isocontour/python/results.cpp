#include "python/results.h"

#include "python/numpy_output.h"

#include <string>
#include <utility>

namespace isocontour::python {

namespace {

[[noreturn]] void Bad(const std::string& what) { throw py::value_error(what); }

// An owned C-order copy (or the array itself) of `obj` as dtype `dt`, 1-D or (n, 2).
py::array Exactly(py::handle obj, const py::dtype& dt, int ndim, const char* name) {
    py::array a = py::array::ensure(obj, py::array::c_style);
    if (!a) {
        PyErr_Clear();
        throw py::type_error(std::string(name) + " must be an array");
    }
    if (a.dtype().kind() != dt.kind() || a.itemsize() != dt.itemsize()) {
        if (dt.kind() == 'f' || a.dtype().kind() == 'f' || a.dtype().kind() == 'c') {
            Bad(std::string(name) + " must be of dtype " + std::string(py::str(py::object(dt))) +
                ", not " + std::string(py::str(a.dtype())));
        }
        // Whole numbers of another width (int32 offsets, 0/1 flags) are taken as they are meant.
        a = py::array::ensure(a.attr("astype")(dt), py::array::c_style);
    }
    if (a.ndim() != ndim || (ndim == 2 && a.shape(1) != 2)) {
        Bad(std::string(name) + (ndim == 2 ? " must have shape (n, 2)" : " must be 1-D"));
    }
    return a;
}

// Offsets into `count` items: first 0, last count, never falling, `entries` + 1 of them.
py::array Offsets(py::handle obj, py::ssize_t count, const char* name, const char* of) {
    py::array a = Exactly(obj, py::dtype::of<std::int64_t>(), 1, name);
    const auto* v = static_cast<const std::int64_t*>(a.data());
    const py::ssize_t n = a.shape(0);
    if (n < 1 || v[0] != 0 || v[n - 1] != count) {
        Bad(std::string(name) + " must run from 0 to the number of " + of + " (" +
            std::to_string(count) + ")");
    }
    for (py::ssize_t k = 1; k < n; ++k) {
        if (v[k] < v[k - 1]) Bad(std::string(name) + " must never fall");
    }
    return a;
}

py::dtype PointType(const py::array& points) {
    const char kind = points.dtype().kind();
    if (kind != 'f' || (points.itemsize() != 4 && points.itemsize() != 8)) {
        Bad("points must be float32 or float64, not " + std::string(py::str(points.dtype())));
    }
    return points.dtype();
}

py::array Points(py::handle obj) {
    py::array a = py::array::ensure(obj, py::array::c_style);
    if (!a) {
        PyErr_Clear();
        throw py::type_error("points must be an array");
    }
    PointType(a);
    return Exactly(a, a.dtype(), 2, "points");
}

} // namespace

py::list LinesResult::SplitRange(std::int64_t first, std::int64_t last) const {
    py::list out(std::size_t(last - first));
    const std::int64_t* off = Offsets();
    for (std::int64_t k = first; k < last; ++k) {
        out[std::size_t(k - first)] = RowsView(points, off[k], off[k + 1]);
    }
    return out;
}

py::list LinesResult::SplitLevels() const {
    const auto* lo = static_cast<const std::int64_t*>(levelOffsets.data());
    py::list out(std::size_t(levels.shape(0)));
    for (py::ssize_t m = 0; m < levels.shape(0); ++m) {
        out[std::size_t(m)] = SplitRange(lo[m], lo[m + 1]);
    }
    return out;
}

py::list BandsResult::Polygons(std::int64_t first, std::int64_t last) const {
    const auto* rings = static_cast<const std::int64_t*>(ringOffsets.data());
    const auto* polygons = static_cast<const std::int64_t*>(polygonOffsets.data());
    py::list out(std::size_t(last - first));
    for (std::int64_t p = first; p < last; ++p) {
        py::list polygon(std::size_t(polygons[p + 1] - polygons[p]));
        for (std::int64_t r = polygons[p]; r < polygons[p + 1]; ++r) {
            polygon[std::size_t(r - polygons[p])] = RowsView(points, rings[r], rings[r + 1]);
        }
        out[std::size_t(p - first)] = std::move(polygon);
    }
    return out;
}

py::list BandsResult::SplitBands() const {
    const auto* bands = static_cast<const std::int64_t*>(bandOffsets.data());
    py::list out(std::size_t(lower.shape(0)));
    for (py::ssize_t b = 0; b < lower.shape(0); ++b) {
        out[std::size_t(b)] = Polygons(bands[b], bands[b + 1]);
    }
    return out;
}

LinesResult MakeLines(py::handle points, py::handle offsets, py::handle closed, py::handle levels,
                      py::handle levelOffsets, py::handle normals) {
    LinesResult r;
    r.points = Points(points);
    const py::dtype type = r.points.dtype();
    r.offsets = Offsets(offsets, r.points.shape(0), "offsets", "points");
    const py::ssize_t lines = r.offsets.shape(0) - 1;
    r.closed = Exactly(closed, py::dtype::of<bool>(), 1, "closed");
    if (r.closed.shape(0) != lines) Bad("closed must have one entry per line");
    r.levels = Exactly(levels, type, 1, "levels");
    r.levelOffsets = Offsets(levelOffsets, lines, "level_offsets", "lines");
    if (r.levelOffsets.shape(0) != r.levels.shape(0) + 1) {
        Bad("level_offsets must have one entry per level and one more");
    }
    if (!normals.is_none()) {
        py::array n = Exactly(normals, type, 2, "normals");
        if (n.shape(0) != r.points.shape(0)) Bad("normals must have one row per point");
        r.normals = std::move(n);
    }
    return r;
}

BandsResult MakeBands(py::handle points, py::handle ringOffsets, py::handle polygonOffsets,
                      py::handle bandOffsets, py::handle lower, py::handle upper) {
    BandsResult r;
    r.points = Points(points);
    const py::dtype type = r.points.dtype();
    r.ringOffsets = Offsets(ringOffsets, r.points.shape(0), "ring_offsets", "points");
    r.polygonOffsets =
        Offsets(polygonOffsets, r.ringOffsets.shape(0) - 1, "polygon_offsets", "rings");
    r.bandOffsets = Offsets(bandOffsets, r.polygonOffsets.shape(0) - 1, "band_offsets", "polygons");
    r.lower = Exactly(lower, type, 1, "lower");
    r.upper = Exactly(upper, type, 1, "upper");
    if (r.lower.shape(0) != r.bandOffsets.shape(0) - 1 || r.upper.shape(0) != r.lower.shape(0)) {
        Bad("lower and upper must have one entry per band");
    }
    return r;
}

} // namespace isocontour::python
