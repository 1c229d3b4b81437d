// The library's result vectors handed to numpy without a copy: each array owns its vector.
#pragma once

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <vector>

namespace isocontour::python {

namespace py = pybind11;

// An array of dtype `dt` and C-order `shape` over the vector's elements, which move into a
// capsule that the array holds as its base: the elements are neither copied nor touched one by
// one. An empty vector gives an empty array of the same dtype and shape.
template <class E>
py::array Adopt(std::vector<E>&& v, const py::dtype& dt, std::initializer_list<py::ssize_t> shape) {
    if (v.empty()) return py::array(dt, std::vector<py::ssize_t>(shape));
    auto owned = std::make_unique<std::vector<E>>(std::move(v));
    const void* data = owned->data();
    py::capsule base(owned.get(), [](void* p) { delete static_cast<std::vector<E>*>(p); });
    owned.release();
    return py::array(dt, std::vector<py::ssize_t>(shape), {}, data, base);
}

// Point vectors as (n, 2) arrays of their coordinate type.
template <class P, class T = decltype(P::x)> py::array AdoptPoints(std::vector<P>&& points) {
    static_assert(sizeof(P) == 2 * sizeof(T) && alignof(P) == alignof(T));
    const auto n = py::ssize_t(points.size());
    return Adopt(std::move(points), py::dtype::of<T>(), {n, 2});
}

// Flags stored as bytes of 0 and 1, seen as numpy booleans.
inline py::array AdoptFlags(std::vector<std::uint8_t>&& flags) {
    const auto n = py::ssize_t(flags.size());
    return Adopt(std::move(flags), py::dtype::of<bool>(), {n});
}

template <class E> py::array AdoptVector(std::vector<E>&& v) {
    const auto n = py::ssize_t(v.size());
    return Adopt(std::move(v), py::dtype::of<E>(), {n});
}

// Rows first .. last of an (n, 2) array as a view sharing its memory (the view keeps it alive).
inline py::array RowsView(const py::array& points, std::int64_t first, std::int64_t last) {
    const py::ssize_t item = points.itemsize();
    const auto* base = static_cast<const char*>(points.data());
    return py::array(points.dtype(), {py::ssize_t(last - first), py::ssize_t(2)}, {2 * item, item},
                     base + first * 2 * item, points);
}

} // namespace isocontour::python
