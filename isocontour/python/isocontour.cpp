// The isocontour Python module: contour lines and filled bands of numpy arrays.
#include "isocontour/isocontour.h"
#include "python/numpy_input.h"
#include "python/numpy_output.h"

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <span>
#include <string>
#include <utility>

namespace isocontour::python {
namespace {

// The lines of one call as numpy arrays (see the Lines docstring).
struct LinesResult {
    py::array points, offsets, closed, levelOffsets, levels;
    py::object normals = py::none();

    std::size_t Count() const { return std::size_t(closed.shape(0)); }
    const std::int64_t* Offsets() const { return static_cast<const std::int64_t*>(offsets.data()); }

    py::list SplitRange(std::int64_t first, std::int64_t last) const {
        py::list out(std::size_t(last - first));
        const std::int64_t* off = Offsets();
        for (std::int64_t k = first; k < last; ++k) {
            out[std::size_t(k - first)] = RowsView(points, off[k], off[k + 1]);
        }
        return out;
    }
    py::list Split() const { return SplitRange(0, std::int64_t(Count())); }
    py::list SplitLevels() const {
        const auto* lo = static_cast<const std::int64_t*>(levelOffsets.data());
        py::list out(std::size_t(levels.shape(0)));
        for (py::ssize_t m = 0; m < levels.shape(0); ++m) {
            out[std::size_t(m)] = SplitRange(lo[m], lo[m + 1]);
        }
        return out;
    }
};

// The bands of one call as numpy arrays (see the Bands docstring).
struct BandsResult {
    py::array points, ringOffsets, polygonOffsets, bandOffsets, lower, upper;

    std::size_t Count() const { return std::size_t(polygonOffsets.shape(0) - 1); }

    py::list Polygons(std::int64_t first, std::int64_t last) const {
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
    py::list Split() const { return Polygons(0, std::int64_t(Count())); }
    py::list SplitBands() const {
        const auto* bands = static_cast<const std::int64_t*>(bandOffsets.data());
        py::list out(std::size_t(lower.shape(0)));
        for (py::ssize_t b = 0; b < lower.shape(0); ++b) {
            out[std::size_t(b)] = Polygons(bands[b], bands[b + 1]);
        }
        return out;
    }
};

template <class T> LinesResult Wrap(isocontour::Lines<T>&& lines, py::array levels, bool normals) {
    LinesResult r;
    r.points = AdoptPoints(std::move(lines.points));
    if (normals) {
        r.normals = AdoptPoints(std::move(lines.normals));
    }
    r.offsets = AdoptVector(std::move(lines.offsets));
    r.closed = AdoptFlags(std::move(lines.closed));
    r.levelOffsets = AdoptVector(std::move(lines.levelOffsets));
    r.levels = std::move(levels);
    return r;
}

template <class T> BandsResult Wrap(isocontour::Bands<T>&& bands) {
    BandsResult r;
    r.points = AdoptPoints(std::move(bands.points));
    r.ringOffsets = AdoptVector(std::move(bands.ringOffsets));
    r.polygonOffsets = AdoptVector(std::move(bands.polygonOffsets));
    r.bandOffsets = AdoptVector(std::move(bands.bandOffsets));
    r.lower = AdoptVector(std::move(bands.lower));
    r.upper = AdoptVector(std::move(bands.upper));
    return r;
}

// The keyword arguments every call shares.
struct Common {
    py::handle x, y, mask;
    std::string saddle;
    int threads;
};

// Everything the library reads, held for the length of a call: the values, the options, and
// whatever arrays had to be made to read them.
template <class T> struct Call {
    Strided<T> z;
    isocontour::Options<T> options;
    py::list keep;

    Call(py::handle zObject, const py::array& za, const Common& common) {
        z = ReadAs<T>(za, "z");
        ReadCoordinates(common.x, common.y, z, options, keep);
        ReadMask(common.mask, zObject, z, options, keep);
        options.saddle = SaddleByName(common.saddle);
        options.threads = common.threads;
    }
    isocontour::View<T> Values() const { return ValuesView(z); }
};

py::array ValuesArray(py::handle z) {
    py::array a = AsArray(z, "z");
    if (a.ndim() != 2) {
        throw py::value_error("z must be a 2-D array (rows = y, columns = x), got shape " +
                              ShapeText(a));
    }
    return a;
}

// Runs `work(T{})` in the value type of z.
template <class Work> auto Dispatch(const py::array& z, Work&& work) {
    if (ValueTypeOf(z, "z") == ValueType::Float32) return work(float{});
    return work(double{});
}

template <class T> py::array OneLevel(T level) { return AdoptVector(std::vector<T>{level}); }

LinesResult Lines(py::handle z, py::handle level, py::handle x, py::handle y, py::handle mask,
                  const std::string& saddle, bool normals, int threads) {
    const py::array za = ValuesArray(z);
    return Dispatch(za, [&](auto type) {
        using T = decltype(type);
        Call<T> call(z, za, {x, y, mask, saddle, threads});
        call.options.normals = normals;
        const T at = LevelAs<T>(level, "level");
        isocontour::Lines<T> out;
        {
            py::gil_scoped_release unlocked;
            out = isocontour::ContourLines(call.Values(), at, call.options);
        }
        return Wrap(std::move(out), OneLevel(at), normals);
    });
}

LinesResult MultiLines(py::handle z, py::handle levels, py::handle x, py::handle y, py::handle mask,
                       const std::string& saddle, bool normals, int threads) {
    const py::array za = ValuesArray(z);
    return Dispatch(za, [&](auto type) {
        using T = decltype(type);
        Call<T> call(z, za, {x, y, mask, saddle, threads});
        call.options.normals = normals;
        const Strided<T> at = LevelsAs<T>(levels);
        isocontour::Lines<T> out;
        {
            py::gil_scoped_release unlocked;
            out = isocontour::ContourLines(
                call.Values(), std::span<const T>(at.data, std::size_t(at.shape[0])), call.options);
        }
        // The levels are copied (a few numbers) so that the result never aliases the caller's
        // array.
        return Wrap(std::move(out), AdoptVector(std::vector<T>(at.data, at.data + at.shape[0])),
                    normals);
    });
}

BandsResult Filled(py::handle z, py::handle lower, py::handle upper, py::handle x, py::handle y,
                   py::handle mask, const std::string& saddle, int threads) {
    const py::array za = ValuesArray(z);
    return Dispatch(za, [&](auto type) {
        using T = decltype(type);
        Call<T> call(z, za, {x, y, mask, saddle, threads});
        const T lo = LevelAs<T>(lower, "lower"), hi = LevelAs<T>(upper, "upper");
        isocontour::Bands<T> out;
        {
            py::gil_scoped_release unlocked;
            out = isocontour::FilledContours(call.Values(), lo, hi, call.options);
        }
        return Wrap(std::move(out));
    });
}

BandsResult MultiFilled(py::handle z, py::handle levels, bool openBands, py::handle x, py::handle y,
                        py::handle mask, const std::string& saddle, int threads) {
    const py::array za = ValuesArray(z);
    return Dispatch(za, [&](auto type) {
        using T = decltype(type);
        Call<T> call(z, za, {x, y, mask, saddle, threads});
        call.options.openBands = openBands;
        const Strided<T> at = LevelsAs<T>(levels);
        isocontour::Bands<T> out;
        {
            py::gil_scoped_release unlocked;
            out = isocontour::FilledContours(
                call.Values(), std::span<const T>(at.data, std::size_t(at.shape[0])), call.options);
        }
        return Wrap(std::move(out));
    });
}

std::string Repr(const LinesResult& r) {
    return "Lines(" + std::to_string(r.levels.shape(0)) + " levels, " + std::to_string(r.Count()) +
           " lines, " + std::to_string(r.points.shape(0)) + " points, " +
           std::string(py::str(r.points.dtype())) + ")";
}

std::string Repr(const BandsResult& r) {
    return "Bands(" + std::to_string(r.lower.shape(0)) + " bands, " + std::to_string(r.Count()) +
           " polygons, " + std::to_string(r.ringOffsets.shape(0) - 1) + " rings, " +
           std::to_string(r.points.shape(0)) + " points, " +
           std::string(py::str(r.points.dtype())) + ")";
}

constexpr const char* kModuleDoc = R"(Contour lines and filled bands of 2-D numpy arrays.

Conventions
  z        A 2-D array of shape (rows, columns): z[j, i] is the value at x = i, y = j.
           float32 and float64 arrays are read in place through their strides, in any
           layout (C order, Fortran order, slices, transposes). Other real types are
           converted once (float16 to float32; integers, booleans and longer floats to
           float64), and so are arrays with negative strides, strides that are not a
           whole number of elements, or unaligned or byte-swapped data. Points come
           back in the type the values are read in. A numpy masked array's mask is used.
  points   (x, y) in grid units (node z[j, i] at (i, j)) unless x and y are given:
           1-D arrays of the columns' and rows' coordinates, or 2-D arrays of z's shape.
  above    A value is above a level when it is greater than it; NaN never is.
  lines    Higher values lie on the left of each line's direction (x right, y up), so a
           closed line around a maximum runs counter-clockwise. Closed lines repeat their
           first point at the end; no line has two equal consecutive points.
  bands    The region lower < z <= upper as polygons: an outer ring (counter-clockwise)
           then its holes (clockwise); rings are closed and simple.
  mask     Nonzero or True removes a node: cells touching it, or a NaN, yield nothing.
  saddle   'above' (default): a saddle cell joins its two above corners; 'below': its
           two other corners; 'centre': the mean of the four corners decides.
  threads  Bands of rows worked in parallel (0: one per core); any count gives the same
           output. The interpreter lock is released while the library works.
  errors   ValueError (isocontour.Error, a subclass) for bad levels, shapes, masks and
           options, with the library's message; TypeError for arguments that are not
           real numbers.
)";

constexpr const char* kLinesDoc =
    R"(lines(z, level, *, x=None, y=None, mask=None, saddle='above', normals=False, threads=1) -> Lines

The contour lines of z at one level, as flat arrays (see Lines). With normals=True,
Lines.normals holds a unit normal per point, pointing towards lower values.
Lines.split() gives one (k, 2) array per line.
z (rows = y, columns = x) is read in place when float32 or float64, through any strides;
other types and layouts are converted once (see help(isocontour)).)";

constexpr const char* kMultiLinesDoc =
    R"(multi_lines(z, levels, *, x=None, y=None, mask=None, saddle='above', normals=False, threads=1) -> Lines

The contour lines of z at each of levels (a 1-D sequence, any order, repeats allowed), in
one call. Level m owns lines level_offsets[m] .. level_offsets[m + 1];
Lines.split_levels() gives a list of (k, 2) arrays per level.
z (rows = y, columns = x) is read in place when float32 or float64, through any strides;
other types and layouts are converted once (see help(isocontour)).)";

constexpr const char* kFilledDoc =
    R"(filled(z, lower, upper, *, x=None, y=None, mask=None, saddle='above', threads=1) -> Bands

The band lower < z <= upper as polygons (see Bands). ValueError unless lower < upper.
Bands.split() gives, per polygon, a list of (k, 2) rings, the outer one first.
z (rows = y, columns = x) is read in place when float32 or float64, through any strides;
other types and layouts are converted once (see help(isocontour)).)";

constexpr const char* kMultiFilledDoc =
    R"(multi_filled(z, levels, *, open_bands=False, x=None, y=None, mask=None, saddle='above', threads=1) -> Bands

Every band between consecutive levels (strictly increasing, at least two), in one call.
With open_bands=True also z <= levels[0] first and z > levels[-1] last (their open
side is -inf or +inf in Bands.lower and Bands.upper), so that the bands tile every
unmasked cell. Bands.split_bands() gives the polygons of each band.
z (rows = y, columns = x) is read in place when float32 or float64, through any strides;
other types and layouts are converted once (see help(isocontour)).)";

constexpr const char* kLinesClassDoc = R"(Contour lines as flat numpy arrays.

points         (n, 2) array of x, y: line k is points[offsets[k]:offsets[k + 1]].
offsets        (lines + 1,) int64.
closed         (lines,) bool: True where the line's last point repeats its first.
normals        (n, 2) unit normals towards lower values with normals=True, else None.
levels         (levels,) the levels, in the values' type.
level_offsets  (levels + 1,) int64: level m owns lines level_offsets[m] .. [m + 1].
The arrays own the library's output directly (no copy was made).)";

constexpr const char* kBandsClassDoc = R"(Filled bands as flat numpy arrays.

points           (n, 2) array of x, y: ring r is points[ring_offsets[r]:ring_offsets[r + 1]].
ring_offsets     (rings + 1,) int64.
polygon_offsets  (polygons + 1,) int64: polygon p is rings polygon_offsets[p] .. [p + 1],
                 its outer ring first.
band_offsets     (bands + 1,) int64: band b is polygons band_offsets[b] .. [b + 1].
lower, upper     (bands,) each band's levels (-inf or +inf on an open side).
The arrays own the library's output directly (no copy was made).)";

} // namespace
} // namespace isocontour::python

PYBIND11_MODULE(isocontour, m) {
    using namespace isocontour::python;
    namespace py = pybind11;
    py::options options;
    options.disable_function_signatures(); // each docstring starts with its own, Python-style
    m.doc() = kModuleDoc;
    m.attr("__version__") = ISOCONTOUR_VERSION;
    py::register_exception<isocontour::Error>(m, "Error", PyExc_ValueError);

    py::class_<LinesResult>(m, "Lines", kLinesClassDoc)
        .def_readonly("points", &LinesResult::points)
        .def_readonly("offsets", &LinesResult::offsets)
        .def_readonly("closed", &LinesResult::closed)
        .def_readonly("normals", &LinesResult::normals)
        .def_readonly("levels", &LinesResult::levels)
        .def_readonly("level_offsets", &LinesResult::levelOffsets)
        .def("__len__", &LinesResult::Count, "The number of lines.")
        .def("split", &LinesResult::Split,
             "One (k, 2) array per line, in order (views into points).")
        .def("split_levels", &LinesResult::SplitLevels,
             "Per level, one (k, 2) array per line (views into points).")
        .def("__repr__", [](const LinesResult& r) { return Repr(r); });

    py::class_<BandsResult>(m, "Bands", kBandsClassDoc)
        .def_readonly("points", &BandsResult::points)
        .def_readonly("ring_offsets", &BandsResult::ringOffsets)
        .def_readonly("polygon_offsets", &BandsResult::polygonOffsets)
        .def_readonly("band_offsets", &BandsResult::bandOffsets)
        .def_readonly("lower", &BandsResult::lower)
        .def_readonly("upper", &BandsResult::upper)
        .def("__len__", &BandsResult::Count, "The number of polygons.")
        .def("split", &BandsResult::Split,
             "Per polygon, its rings as (k, 2) arrays, the outer one first (views into points).")
        .def("split_bands", &BandsResult::SplitBands,
             "Per band, its polygons as split() gives them.")
        .def("__repr__", [](const BandsResult& r) { return Repr(r); });

    m.def("lines", &Lines, kLinesDoc, py::arg("z"), py::arg("level"), py::kw_only(),
          py::arg("x") = py::none(), py::arg("y") = py::none(), py::arg("mask") = py::none(),
          py::arg("saddle") = "above", py::arg("normals") = false, py::arg("threads") = 1);
    m.def("multi_lines", &MultiLines, kMultiLinesDoc, py::arg("z"), py::arg("levels"),
          py::kw_only(), py::arg("x") = py::none(), py::arg("y") = py::none(),
          py::arg("mask") = py::none(), py::arg("saddle") = "above", py::arg("normals") = false,
          py::arg("threads") = 1);
    m.def("filled", &Filled, kFilledDoc, py::arg("z"), py::arg("lower"), py::arg("upper"),
          py::kw_only(), py::arg("x") = py::none(), py::arg("y") = py::none(),
          py::arg("mask") = py::none(), py::arg("saddle") = "above", py::arg("threads") = 1);
    m.def("multi_filled", &MultiFilled, kMultiFilledDoc, py::arg("z"), py::arg("levels"),
          py::kw_only(), py::arg("open_bands") = false, py::arg("x") = py::none(),
          py::arg("y") = py::none(), py::arg("mask") = py::none(), py::arg("saddle") = "above",
          py::arg("threads") = 1);
}
