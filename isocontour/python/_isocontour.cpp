// The isocontour package's compiled core, isocontour._isocontour: contour lines and filled bands
// of numpy arrays. The package (isocontour/__init__.py) re-exports it and adds what is Python's.
#include "isocontour/isocontour.h"
#include "python/numpy_input.h"
#include "python/numpy_output.h"
#include "python/results.h"

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <span>
#include <string>
#include <utility>

namespace isocontour::python {
namespace {

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
    std::string atLevel = "below", interpolation = "linear";
    bool cornerMask = false;
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
        options.atLevel = AtLevelByName(common.atLevel);
        options.interpolation = InterpolationByName(common.interpolation);
        options.cornerMask = common.cornerMask;
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

// What a call reads: z, x, y and mask as given, or, for a 2-D xarray.DataArray z, its values
// and the coordinates and mask taken from it (isocontour._xarray, which says how).
struct Inputs {
    py::object z, x, y, mask;
};

Inputs Unpack(py::handle z, py::handle x, py::handle y, py::handle mask) {
    if (!py::isinstance<py::array>(z) && py::hasattr(z, "dims") && py::hasattr(z, "coords")) {
        const py::tuple t = py::module_::import("isocontour._xarray").attr("arrays")(z, x, y, mask);
        return {t[0], t[1], t[2], t[3]};
    }
    return {py::reinterpret_borrow<py::object>(z), py::reinterpret_borrow<py::object>(x),
            py::reinterpret_borrow<py::object>(y), py::reinterpret_borrow<py::object>(mask)};
}

// Runs `work(T{})` in the value type of z.
template <class Work> auto Dispatch(const py::array& z, Work&& work) {
    if (ValueTypeOf(z, "z") == ValueType::Float32) return work(float{});
    return work(double{});
}

template <class T> py::array OneLevel(T level) { return AdoptVector(std::vector<T>{level}); }

LinesResult Lines(py::handle z, py::handle level, py::handle x, py::handle y, py::handle mask,
                  const std::string& saddle, bool normals, int threads, const std::string& atLevel,
                  const std::string& interpolation, bool cornerMask) {
    const Inputs in = Unpack(z, x, y, mask);
    const py::array za = ValuesArray(in.z);
    return Dispatch(za, [&](auto type) {
        using T = decltype(type);
        Call<T> call(in.z, za,
                     {in.x, in.y, in.mask, saddle, threads, atLevel, interpolation, cornerMask});
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
                       const std::string& saddle, bool normals, int threads,
                       const std::string& atLevel, const std::string& interpolation,
                       bool cornerMask) {
    const Inputs in = Unpack(z, x, y, mask);
    const py::array za = ValuesArray(in.z);
    return Dispatch(za, [&](auto type) {
        using T = decltype(type);
        Call<T> call(in.z, za,
                     {in.x, in.y, in.mask, saddle, threads, atLevel, interpolation, cornerMask});
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
                   py::handle mask, const std::string& saddle, int threads,
                   const std::string& atLevel, const std::string& interpolation, bool cornerMask) {
    const Inputs in = Unpack(z, x, y, mask);
    const py::array za = ValuesArray(in.z);
    return Dispatch(za, [&](auto type) {
        using T = decltype(type);
        Call<T> call(in.z, za,
                     {in.x, in.y, in.mask, saddle, threads, atLevel, interpolation, cornerMask});
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
                        py::handle mask, const std::string& saddle, int threads,
                        const std::string& atLevel, const std::string& interpolation,
                        bool cornerMask) {
    const Inputs in = Unpack(z, x, y, mask);
    const py::array za = ValuesArray(in.z);
    return Dispatch(za, [&](auto type) {
        using T = decltype(type);
        Call<T> call(in.z, za,
                     {in.x, in.y, in.mask, saddle, threads, atLevel, interpolation, cornerMask});
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
  at_level 'below' (default): a value equal to a level is not above it, bands are
           lower < z <= upper; 'above': it is, bands are lower <= z < upper.
  interpolation  'linear' (default) or 'log': crossings placed along each edge in the
           logarithms of the values (every usable value and every level > 0).
  corner_mask  False (default): a cell touching a masked or NaN node yields nothing; True:
           a cell missing exactly one corner is contoured as the triangle of the other three.
  threads  Bands of rows worked in parallel (0: one per core); any count gives the same
           output. The interpreter lock is released while the library works.
  errors   ValueError (isocontour.Error, a subclass) for bad levels, shapes, masks and
           options, with the library's message; TypeError for arguments that are not
           real numbers.
)";

constexpr const char* kLinesDoc =
    R"(lines(z, level, *, x=None, y=None, mask=None, saddle='above', normals=False, threads=1, at_level='below', interpolation='linear', corner_mask=False) -> Lines

The contour lines of z at one level, as flat arrays (see Lines). With normals=True,
Lines.normals holds a unit normal per point, pointing towards lower values.
Lines.split() gives one (k, 2) array per line.
z (rows = y, columns = x) is read in place when float32 or float64, through any strides;
other types and layouts are converted once (see help(isocontour)).)";

constexpr const char* kMultiLinesDoc =
    R"(multi_lines(z, levels, *, x=None, y=None, mask=None, saddle='above', normals=False, threads=1, at_level='below', interpolation='linear', corner_mask=False) -> Lines

The contour lines of z at each of levels (a 1-D sequence, any order, repeats allowed), in
one call. Level m owns lines level_offsets[m] .. level_offsets[m + 1];
Lines.split_levels() gives a list of (k, 2) arrays per level.
z (rows = y, columns = x) is read in place when float32 or float64, through any strides;
other types and layouts are converted once (see help(isocontour)).)";

constexpr const char* kFilledDoc =
    R"(filled(z, lower, upper, *, x=None, y=None, mask=None, saddle='above', threads=1, at_level='below', interpolation='linear', corner_mask=False) -> Bands

The band lower < z <= upper as polygons (see Bands). ValueError unless lower < upper.
Bands.split() gives, per polygon, a list of (k, 2) rings, the outer one first.
z (rows = y, columns = x) is read in place when float32 or float64, through any strides;
other types and layouts are converted once (see help(isocontour)).)";

constexpr const char* kMultiFilledDoc =
    R"(multi_filled(z, levels, *, open_bands=False, x=None, y=None, mask=None, saddle='above', threads=1, at_level='below', interpolation='linear', corner_mask=False) -> Bands

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

constexpr const char* kLinesInitDoc =
    R"(Lines(points, offsets, closed, levels, level_offsets, normals=None)

Lines from arrays laid out as a call returns them (see Lines), checked: points (n, 2) float32
or float64, offsets int64 from 0 to n, never falling, closed one flag per line, levels in the
points' type, level_offsets int64 from 0 to the number of lines, normals None or like points.
ValueError otherwise. Pickling goes through it.)";

constexpr const char* kBandsInitDoc =
    R"(Bands(points, ring_offsets, polygon_offsets, band_offsets, lower, upper)

Bands from arrays laid out as a call returns them (see Bands), checked: points (n, 2) float32
or float64; ring_offsets, polygon_offsets and band_offsets int64, each from 0 to the count of
the level below it (points, rings, polygons), never falling; lower and upper one per band in the
points' type. ValueError otherwise. Pickling goes through it.)";

constexpr const char* kLinesToShapelyDoc =
    R"(to_shapely() -> list

One shapely MultiLineString per level, in the order of levels (empty where a level has no
lines). Needs shapely (1.8 or 2.x).)";

constexpr const char* kBandsToShapelyDoc =
    R"(to_shapely() -> list

One shapely MultiPolygon per band, in band order (empty where a band has no polygons), each
polygon its outer ring and its holes, valid as shapely judges it. Needs shapely (1.8 or 2.x).)";

// A method of the results that the package's Python helpers (isocontour._geometry) carry out:
// shapely and GeoJSON are Python's, and loaded only when asked for.
py::object Geometry(const char* helper, py::handle self) {
    return py::module_::import("isocontour._geometry").attr(helper)(self);
}

} // namespace
} // namespace isocontour::python

// The engine's options every call takes, after the call's own.
#define ENGINE_ARGS                                                                                \
    py::arg("at_level") = "below", py::arg("interpolation") = "linear",                            \
    py::arg("corner_mask") = false

PYBIND11_MODULE(_isocontour, m) {
    using namespace isocontour::python;
    namespace py = pybind11;
    py::options options;
    options.disable_function_signatures(); // each docstring starts with its own, Python-style
    m.doc() = kModuleDoc;
    m.attr("__version__") = ISOCONTOUR_VERSION;
    // The keyword options every call takes, for the package's Python layers to ask.
    m.attr("_options") = py::make_tuple("x", "y", "mask", "saddle", "threads", "at_level",
                                        "interpolation", "corner_mask");
    py::register_exception<isocontour::Error>(m, "Error", PyExc_ValueError);

    py::class_<LinesResult>(m, "Lines", kLinesClassDoc)
        .def(py::init(&MakeLines), kLinesInitDoc, py::arg("points"), py::arg("offsets"),
             py::arg("closed"), py::arg("levels"), py::arg("level_offsets"),
             py::arg("normals") = py::none())
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
        .def(
            "to_shapely", [](py::handle self) { return Geometry("lines_to_shapely", self); },
            kLinesToShapelyDoc)
        .def_property_readonly(
            "__geo_interface__",
            [](py::handle self) { return Geometry("lines_geo_interface", self); },
            "A GeoJSON FeatureCollection: one MultiLineString per level.")
        .def("__repr__", [](const LinesResult& r) { return Repr(r); })
        .def(py::pickle(
            [](const LinesResult& r) {
                return py::make_tuple(r.points, r.offsets, r.closed, r.levels, r.levelOffsets,
                                      r.normals);
            },
            [](const py::tuple& t) {
                if (t.size() != 6) throw py::value_error("not a pickled isocontour.Lines");
                return MakeLines(t[0], t[1], t[2], t[3], t[4], t[5]);
            }));

    py::class_<BandsResult>(m, "Bands", kBandsClassDoc)
        .def(py::init(&MakeBands), kBandsInitDoc, py::arg("points"), py::arg("ring_offsets"),
             py::arg("polygon_offsets"), py::arg("band_offsets"), py::arg("lower"),
             py::arg("upper"))
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
        .def(
            "to_shapely", [](py::handle self) { return Geometry("bands_to_shapely", self); },
            kBandsToShapelyDoc)
        .def_property_readonly(
            "__geo_interface__",
            [](py::handle self) { return Geometry("bands_geo_interface", self); },
            "A GeoJSON FeatureCollection: one MultiPolygon per band.")
        .def("__repr__", [](const BandsResult& r) { return Repr(r); })
        .def(py::pickle(
            [](const BandsResult& r) {
                return py::make_tuple(r.points, r.ringOffsets, r.polygonOffsets, r.bandOffsets,
                                      r.lower, r.upper);
            },
            [](const py::tuple& t) {
                if (t.size() != 6) throw py::value_error("not a pickled isocontour.Bands");
                return MakeBands(t[0], t[1], t[2], t[3], t[4], t[5]);
            }));

    m.def("lines", &Lines, kLinesDoc, py::arg("z"), py::arg("level"), py::kw_only(),
          py::arg("x") = py::none(), py::arg("y") = py::none(), py::arg("mask") = py::none(),
          py::arg("saddle") = "above", py::arg("normals") = false, py::arg("threads") = 1,
          ENGINE_ARGS);
    m.def("multi_lines", &MultiLines, kMultiLinesDoc, py::arg("z"), py::arg("levels"),
          py::kw_only(), py::arg("x") = py::none(), py::arg("y") = py::none(),
          py::arg("mask") = py::none(), py::arg("saddle") = "above", py::arg("normals") = false,
          py::arg("threads") = 1, ENGINE_ARGS);
    m.def("filled", &Filled, kFilledDoc, py::arg("z"), py::arg("lower"), py::arg("upper"),
          py::kw_only(), py::arg("x") = py::none(), py::arg("y") = py::none(),
          py::arg("mask") = py::none(), py::arg("saddle") = "above", py::arg("threads") = 1,
          ENGINE_ARGS);
    m.def("multi_filled", &MultiFilled, kMultiFilledDoc, py::arg("z"), py::arg("levels"),
          py::kw_only(), py::arg("open_bands") = false, py::arg("x") = py::none(),
          py::arg("y") = py::none(), py::arg("mask") = py::none(), py::arg("saddle") = "above",
          py::arg("threads") = 1, ENGINE_ARGS);
}
