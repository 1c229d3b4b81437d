// Python arguments as the library's views: numpy arrays read in place where their layout allows.
#pragma once

#include "isocontour/isocontour.h"

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <cstddef>
#include <string>

namespace isocontour::python {

namespace py = pybind11;

// How the values arrive: float32 and float64 are read as they are, other real types once
// converted (see ValueType).
enum class ValueType { Float32, Float64 };

// The array behind an argument (any array-like; subclasses such as masked arrays come back as
// their plain data). TypeError when it cannot be one, or holds no real numbers.
py::array AsArray(py::handle obj, const char* name);

// The value type the library computes in for values z: float32 for float32 and float16,
// float64 for every other real type (integers, booleans, longer floats). Complex values,
// strings and other objects raise TypeError.
ValueType ValueTypeOf(const py::array& z, const char* name);

// A strided view of `a` in T. The array is read in place when it holds native, aligned T with
// non-negative strides that are whole elements; otherwise it is converted once to a C-order
// copy, which `keep` holds for as long as the view is used.
template <class T> struct Strided {
    const T* data = nullptr;
    int ndim = 0;
    std::ptrdiff_t shape[2] = {0, 0};
    std::ptrdiff_t strides[2] = {0, 0}; // in elements
    std::size_t size = 0;               // elements from data to the last one read, inclusive
    bool copied = false;
    py::object keep;
};
template <class T> Strided<T> ReadAs(const py::array& a, const char* name);

// The values z (rows = y, columns = x) as a view. ValueError unless z is 2-D.
template <class T> isocontour::View<T> ValuesView(const Strided<T>& z);

// The optional coordinates: None, 1-D arrays of the columns' and rows' lengths, or 2-D arrays
// of z's shape. ValueError for any other shape (the library would see a mismatch too, but the
// message here names the Python shapes).
template <class T>
void ReadCoordinates(py::handle x, py::handle y, const Strided<T>& z,
                     isocontour::Options<T>& options, py::list& keep);

// The optional mask (nonzero or True = masked), combined with the mask of a masked array z.
template <class T>
void ReadMask(py::handle mask, py::handle zObject, const Strided<T>& z,
              isocontour::Options<T>& options, py::list& keep);

// The saddle rule by name: "above", "below" or "centre" (also "center").
isocontour::Saddle SaddleByName(const std::string& name);

// Which side of a level a value at it lies on, by name: "below" or "above".
isocontour::AtLevel AtLevelByName(const std::string& name);

// The interpolation along edges by name: "linear" or "log".
isocontour::Interpolation InterpolationByName(const std::string& name);

// One level as T; TypeError unless a real number.
template <class T> T LevelAs(py::handle level, const char* name);

// A 1-D sequence of levels as contiguous T.
template <class T> Strided<T> LevelsAs(py::handle levels);

// A shape as Python prints it, for messages: "(3, 4)".
std::string ShapeText(const py::array& a);

} // namespace isocontour::python
