#include "python/numpy_input.h"

#include <bit>
#include <cstdint>

namespace isocontour::python {

namespace {

using Api = py::detail::npy_api;

// Kinds that convert to a real value: booleans, integers, unsigned, floats, and Python objects
// (which may or may not hold numbers; the conversion decides).
bool RealKind(char kind) {
    return kind == 'b' || kind == 'i' || kind == 'u' || kind == 'f' || kind == 'O';
}

bool NativeOrder(const py::dtype& dt) {
    const char order = dt.byteorder();
    constexpr char native = (std::endian::native == std::endian::little) ? '<' : '>';
    return order == '=' || order == '|' || order == native;
}

[[noreturn]] void NotReal(const py::array& a, const char* name) {
    const char kind = a.dtype().kind();
    const std::string what = kind == 'c'   ? "complex numbers (pass .real or abs())"
                             : kind == 'U' ? "text"
                             : kind == 'S' ? "bytes"
                             : kind == 'M' || kind == 'm'
                                 ? "dates or times"
                                 : "values of dtype " + std::string(py::str(a.dtype()));
    throw py::type_error(std::string(name) + " must hold real numbers, not " + what);
}

// One conversion to a C-order, aligned, native array of `descr`; TypeError with numpy's reason
// when the values are not numbers.
py::array Convert(const py::array& a, py::dtype descr, const char* name) {
    auto& api = Api::get();
    PyObject* out =
        api.PyArray_FromAny_(a.ptr(), descr.release().ptr(), 0, 0,
                             Api::NPY_ARRAY_ENSUREARRAY_ | Api::NPY_ARRAY_C_CONTIGUOUS_ |
                                 Api::NPY_ARRAY_ALIGNED_ | Api::NPY_ARRAY_FORCECAST_,
                             nullptr);
    if (out == nullptr) {
        py::error_already_set error;
        throw py::type_error(std::string(name) + " must hold real numbers: " + error.what());
    }
    return py::reinterpret_steal<py::array>(out);
}

// Whether `a` can be read in place as elements of `size` bytes: aligned, and every stride that
// is ever applied (extent above one) non-negative and a whole number of elements.
bool Readable(const py::array& a, std::size_t size) {
    if (!(py::detail::array_proxy(a.ptr())->flags & Api::NPY_ARRAY_ALIGNED_)) return false;
    for (py::ssize_t d = 0; d < a.ndim(); ++d) {
        const py::ssize_t s = a.strides(d);
        if (a.shape(d) > 1 && (s < 0 || s % py::ssize_t(size) != 0)) return false;
    }
    return true;
}

template <class E> Strided<E> Describe(const py::array& a, bool copied) {
    Strided<E> out;
    out.data = static_cast<const E*>(a.data());
    out.ndim = int(a.ndim());
    for (int d = 0; d < out.ndim; ++d) {
        out.shape[d] = a.shape(d);
        // A stride that is never applied (extent 0 or 1) may be anything in numpy: say 0.
        out.strides[d] = a.shape(d) > 1 ? a.strides(d) / py::ssize_t(sizeof(E)) : 0;
    }
    // What the library may read, so that it checks every offset against it (0: nothing).
    if (a.size() > 0) {
        std::size_t last = 0;
        for (int d = 0; d < out.ndim; ++d) {
            last += std::size_t(out.shape[d] - 1) * std::size_t(out.strides[d]);
        }
        out.size = last + 1;
    }
    out.copied = copied;
    out.keep = a;
    return out;
}

void CheckAtMost2D(const py::array& a, const char* name) {
    if (a.ndim() > 2) {
        throw py::value_error(std::string(name) + " must be 1-D or 2-D, got shape " + ShapeText(a));
    }
}

// The mask of a numpy masked array, or None.
py::object MaskOfMaskedArray(py::handle obj) {
    auto& api = Api::get();
    if (!api.PyArray_Check_(obj.ptr()) || Py_TYPE(obj.ptr()) == api.PyArray_Type_) {
        return py::none();
    }
    py::module_ ma = py::module_::import("numpy.ma");
    if (!py::isinstance(obj, ma.attr("MaskedArray"))) return py::none();
    py::object m = ma.attr("getmask")(obj);
    if (m.is(ma.attr("nomask"))) return py::none();
    return m;
}

} // namespace

std::string ShapeText(const py::array& a) {
    std::string text = "(";
    for (py::ssize_t d = 0; d < a.ndim(); ++d) {
        if (d > 0) text += ", ";
        text += std::to_string(a.shape(d));
    }
    return text + (a.ndim() == 1 ? ",)" : ")");
}

py::array AsArray(py::handle obj, const char* name) {
    if (obj.is_none())
        throw py::type_error(std::string(name) + " must be an array of numbers, not None");
    auto& api = Api::get();
    PyObject* out =
        api.PyArray_FromAny_(obj.ptr(), nullptr, 0, 0, Api::NPY_ARRAY_ENSUREARRAY_, nullptr);
    if (out == nullptr) {
        py::error_already_set error;
        if (error.matches(PyExc_ValueError)) throw error;
        throw py::type_error(std::string(name) + " must be an array of numbers: " + error.what());
    }
    auto a = py::reinterpret_steal<py::array>(out);
    if (!RealKind(a.dtype().kind())) NotReal(a, name);
    // Python objects (None, lists of mixed things) become numbers now or never.
    if (a.dtype().kind() == 'O') a = Convert(a, py::dtype::of<double>(), name);
    return a;
}

ValueType ValueTypeOf(const py::array& z, const char* name) {
    const char kind = z.dtype().kind();
    if (!RealKind(kind)) NotReal(z, name);
    if (kind == 'f' && z.dtype().itemsize() <= 4) return ValueType::Float32;
    return ValueType::Float64;
}

template <class T> Strided<T> ReadAs(const py::array& a, const char* name) {
    CheckAtMost2D(a, name);
    const py::dtype dt = a.dtype();
    if (!RealKind(dt.kind())) NotReal(a, name);
    if (dt.kind() == 'f' && dt.itemsize() == py::ssize_t(sizeof(T)) && NativeOrder(dt) &&
        Readable(a, sizeof(T))) {
        return Describe<T>(a, false);
    }
    return Describe<T>(Convert(a, py::dtype::of<T>(), name), true);
}

template <class T> isocontour::View<T> ValuesView(const Strided<T>& z) {
    return {z.data, z.shape[1], z.shape[0], z.strides[1], z.strides[0], z.size};
}

template <class T>
void ReadCoordinates(py::handle xObject, py::handle yObject, const Strided<T>& z,
                     isocontour::Options<T>& options, py::list& keep) {
    if (xObject.is_none() && yObject.is_none()) return;
    if (xObject.is_none() || yObject.is_none()) {
        throw py::value_error("give both x and y, or neither (grid units)");
    }
    const py::array xa = AsArray(xObject, "x"), ya = AsArray(yObject, "y");
    const std::ptrdiff_t rows = z.shape[0], cols = z.shape[1];
    const std::string zShape = "(" + std::to_string(rows) + ", " + std::to_string(cols) + ")";
    if (xa.ndim() == 1 && ya.ndim() == 1) {
        if (xa.shape(0) != cols || ya.shape(0) != rows) {
            throw py::value_error("1-D x and y must have one value per column and per row of z " +
                                  zShape + ", got x " + ShapeText(xa) + " and y " + ShapeText(ya));
        }
        Strided<T> x = ReadAs<T>(xa, "x"), y = ReadAs<T>(ya, "y");
        options.x = {x.data, cols, 1, x.strides[0], 0, x.size};
        options.y = {y.data, rows, 1, y.strides[0], 0, y.size};
        keep.append(x.keep);
        keep.append(y.keep);
        return;
    }
    if (xa.ndim() == 2 && ya.ndim() == 2) {
        if (xa.shape(0) != rows || xa.shape(1) != cols || ya.shape(0) != rows ||
            ya.shape(1) != cols) {
            throw py::value_error("2-D x and y must have z's shape " + zShape + ", got x " +
                                  ShapeText(xa) + " and y " + ShapeText(ya));
        }
        Strided<T> x = ReadAs<T>(xa, "x"), y = ReadAs<T>(ya, "y");
        options.x = ValuesView(x);
        options.y = ValuesView(y);
        keep.append(x.keep);
        keep.append(y.keep);
        return;
    }
    throw py::value_error("x and y must be both 1-D (one value per column and row) or both 2-D "
                          "with z's shape " +
                          zShape + ", got x " + ShapeText(xa) + " and y " + ShapeText(ya));
}

template <class T>
void ReadMask(py::handle maskObject, py::handle zObject, const Strided<T>& z,
              isocontour::Options<T>& options, py::list& keep) {
    py::object zMask = MaskOfMaskedArray(zObject);
    if (maskObject.is_none() && zMask.is_none()) return;
    py::array m;
    if (maskObject.is_none()) {
        m = AsArray(zMask, "z.mask");
    } else {
        m = AsArray(maskObject, "mask");
        if (!zMask.is_none() && m.ndim() == 2 && m.shape(0) == z.shape[0] &&
            m.shape(1) == z.shape[1]) {
            m = py::module_::import("numpy").attr("logical_or")(m, zMask);
        }
    }
    if (m.ndim() != 2 || m.shape(0) != z.shape[0] || m.shape(1) != z.shape[1]) {
        throw py::value_error("mask must have z's shape (" + std::to_string(z.shape[0]) + ", " +
                              std::to_string(z.shape[1]) + "), got " + ShapeText(m));
    }
    // Booleans and one-byte integers are read as they are (nonzero = masked); anything else
    // becomes booleans once.
    const char kind = m.dtype().kind();
    Strided<std::uint8_t> bytes;
    if ((kind == 'b' || kind == 'u' || kind == 'i') && m.dtype().itemsize() == 1 &&
        Readable(m, 1)) {
        bytes = Describe<std::uint8_t>(m, false);
    } else {
        bytes = Describe<std::uint8_t>(Convert(m, py::dtype("bool"), "mask"), true);
    }
    options.mask = {bytes.data, bytes.shape[1], bytes.shape[0], bytes.strides[1], bytes.strides[0]};
    keep.append(bytes.keep);
}

isocontour::Saddle SaddleByName(const std::string& name) {
    if (name == "above") return isocontour::Saddle::Above;
    if (name == "below") return isocontour::Saddle::Below;
    if (name == "centre" || name == "center") return isocontour::Saddle::Centre;
    if (name == "diagonal") return isocontour::Saddle::Diagonal;
    throw py::value_error("saddle must be 'above', 'below', 'centre' or 'diagonal', not '" + name +
                          "'");
}

isocontour::AtLevel AtLevelByName(const std::string& name) {
    if (name == "below") return isocontour::AtLevel::Below;
    if (name == "above") return isocontour::AtLevel::Above;
    throw py::value_error("at_level must be 'below' or 'above', not '" + name + "'");
}

isocontour::Interpolation InterpolationByName(const std::string& name) {
    if (name == "linear") return isocontour::Interpolation::Linear;
    if (name == "log") return isocontour::Interpolation::Log;
    throw py::value_error("interpolation must be 'linear' or 'log', not '" + name + "'");
}

template <class T> T LevelAs(py::handle level, const char* name) {
    const double v = PyFloat_AsDouble(level.ptr());
    if (v == -1.0 && PyErr_Occurred()) {
        PyErr_Clear();
        throw py::type_error(std::string(name) + " must be a real number, not " +
                             std::string(py::str(py::type::handle_of(level).attr("__name__"))));
    }
    return T(v);
}

template <class T> Strided<T> LevelsAs(py::handle levels) {
    const py::array a = AsArray(levels, "levels");
    if (a.ndim() != 1) {
        throw py::value_error("levels must be a 1-D sequence of numbers, got shape " +
                              ShapeText(a));
    }
    Strided<T> out = ReadAs<T>(a, "levels");
    if (out.shape[0] > 1 && out.strides[0] != 1) {
        out = Describe<T>(Convert(a, py::dtype::of<T>(), "levels"), true);
    }
    return out;
}

#define ISOCONTOUR_INSTANTIATE(T)                                                                  \
    template Strided<T> ReadAs<T>(const py::array&, const char*);                                  \
    template isocontour::View<T> ValuesView<T>(const Strided<T>&);                                 \
    template void ReadCoordinates<T>(py::handle, py::handle, const Strided<T>&,                    \
                                     isocontour::Options<T>&, py::list&);                          \
    template void ReadMask<T>(py::handle, py::handle, const Strided<T>&, isocontour::Options<T>&,  \
                              py::list&);                                                          \
    template T LevelAs<T>(py::handle, const char*);                                                \
    template Strided<T> LevelsAs<T>(py::handle);
ISOCONTOUR_INSTANTIATE(float)
ISOCONTOUR_INSTANTIATE(double)
#undef ISOCONTOUR_INSTANTIATE

} // namespace isocontour::python
