// The results handed to Python: Lines and Bands as numpy arrays, made by a call or rebuilt from
// arrays (a pickle, or a caller that joins results of its own), checked before any view is taken.
#pragma once

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <cstddef>
#include <cstdint>

namespace isocontour::python {

namespace py = pybind11;

// The lines of one call as numpy arrays (see the Lines docstring).
struct LinesResult {
    py::array points, offsets, closed, levelOffsets, levels;
    py::object normals = py::none();

    std::size_t Count() const { return std::size_t(closed.shape(0)); }
    const std::int64_t* Offsets() const { return static_cast<const std::int64_t*>(offsets.data()); }
    py::list SplitRange(std::int64_t first, std::int64_t last) const;
    py::list Split() const { return SplitRange(0, std::int64_t(Count())); }
    py::list SplitLevels() const;
};

// The bands of one call as numpy arrays (see the Bands docstring).
struct BandsResult {
    py::array points, ringOffsets, polygonOffsets, bandOffsets, lower, upper;

    std::size_t Count() const { return std::size_t(polygonOffsets.shape(0) - 1); }
    py::list Polygons(std::int64_t first, std::int64_t last) const;
    py::list Split() const { return Polygons(0, std::int64_t(Count())); }
    py::list SplitBands() const;
};

// Lines from arrays as a call returns them: points (n, 2) float32 or float64, offsets (lines + 1,)
// rising from 0 to n, closed (lines,), levels (levels,) in the points' type, level_offsets
// (levels + 1,) rising from 0 to lines, normals None or like points. ValueError (or TypeError
// for arrays of no numbers) for anything else, so that no later view reads outside the points.
LinesResult MakeLines(py::handle points, py::handle offsets, py::handle closed, py::handle levels,
                      py::handle levelOffsets, py::handle normals);

// Bands from arrays as a call returns them: points (n, 2), ring_offsets from 0 to n,
// polygon_offsets from 0 to rings, band_offsets from 0 to polygons, lower and upper (bands,) in
// the points' type. Each ring has at least one point. ValueError otherwise.
BandsResult MakeBands(py::handle points, py::handle ringOffsets, py::handle polygonOffsets,
                      py::handle bandOffsets, py::handle lower, py::handle upper);

} // namespace isocontour::python
