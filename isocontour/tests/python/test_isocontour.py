"""The isocontour module itself: layouts, dtypes, options, results, errors, fuzz, memory."""

import concurrent.futures
import gc
import os
import sys

import numpy as np
import pytest

import isocontour as ic
from conftest import assert_same_bands, assert_same_lines, ring_area, smooth_field


# --- Layouts and dtypes: every way of holding the same values gives the same output ---------

def layouts(z):
    """The same values in other memory layouts, each with what it is."""
    big = np.zeros((z.shape[0] * 2, z.shape[1] * 3), dtype=z.dtype)
    big[::2, ::3] = z
    flipped = np.ascontiguousarray(z[::-1, ::-1])
    unaligned = np.frombuffer(b"\0" + z.tobytes(), dtype=z.dtype, offset=1).reshape(z.shape)
    return {
        "fortran": np.asfortranarray(z),
        "strided": big[::2, ::3],
        "transposed": np.ascontiguousarray(z.T).T,
        "negative strides": flipped[::-1, ::-1],
        "unaligned": unaligned,
        "byte-swapped": z.astype(z.dtype.newbyteorder()),
        "read-only": np.frombuffer(z.tobytes(), dtype=z.dtype).reshape(z.shape),
    }


@pytest.mark.parametrize("dtype", [np.float32, np.float64])
def test_every_layout_gives_the_contiguous_result(field, dtype):
    z = np.ascontiguousarray(field.astype(dtype))
    levels = [-0.1, 0.0, 0.05]
    want_lines = ic.multi_lines(z, levels, normals=True)
    want_bands = ic.multi_filled(z, levels, open_bands=True)
    assert want_lines.points.dtype == dtype and len(want_lines) > 10
    for name, other in layouts(z).items():
        np.testing.assert_array_equal(other, z, err_msg=name)
        assert_same_lines(ic.multi_lines(other, levels, normals=True), want_lines)
        assert_same_bands(ic.multi_filled(other, levels, open_bands=True), want_bands)
    # A broadcast (zero strides) is read in place as well.
    row = z[:1] + np.linspace(0, 0.2, z.shape[0], dtype=dtype)[:1, None]
    wide = np.broadcast_to(row, z.shape)
    assert wide.strides[0] == 0
    assert_same_lines(ic.lines(wide.T, 0.0), ic.lines(np.ascontiguousarray(wide.T), 0.0))
    # The 2-D coordinates and the mask are read through their strides too.
    x, y = np.meshgrid(np.linspace(0, 1, z.shape[1]), np.linspace(5, 3, z.shape[0]))
    mask = np.zeros(z.shape, dtype=bool)
    mask[10:20, 30:50] = True
    want = ic.lines(z, 0.0, x=x, y=y, mask=mask)
    got = ic.lines(z, 0.0, x=np.asfortranarray(x)[:, :], y=layouts(y)["strided"],
                   mask=layouts(mask)["fortran"])
    assert_same_lines(got, want)


def test_other_dtypes_are_converted_once_to_float(field):
    ints = np.round(field * 100).astype(np.int32)
    assert_same_lines(ic.lines(ints, 0.5), ic.lines(ints.astype(np.float64), 0.5))
    assert ic.lines(ints, 0.5).points.dtype == np.float64
    half = field.astype(np.float16)
    assert ic.lines(half, 0.0).points.dtype == np.float32
    assert_same_lines(ic.lines(half, 0.0), ic.lines(half.astype(np.float32), 0.0))
    booleans = field > 0
    assert_same_lines(ic.lines(booleans, 0.5), ic.lines(booleans.astype(np.float64), 0.5))
    nested = field[:5, :6].tolist()
    assert_same_lines(ic.lines(nested, 0.0), ic.lines(field[:5, :6], 0.0))
    # Levels are rounded to the values' type, as the library compares in it.
    z32 = field.astype(np.float32)
    assert_same_lines(ic.lines(z32, 0.1), ic.lines(z32, np.float32(0.1)))
    assert ic.lines(z32, 0.1).levels.dtype == np.float32


def test_coordinates_one_and_two_dimensional_agree(field):
    xs = np.cumsum(np.random.default_rng(1).uniform(0.5, 2.0, field.shape[1]))
    ys = np.linspace(-3.0, 3.0, field.shape[0])
    gx, gy = np.meshgrid(xs, ys)
    one = ic.multi_lines(field, [-0.05, 0.05], x=xs, y=ys)
    assert_same_lines(one, ic.multi_lines(field, [-0.05, 0.05], x=gx, y=gy))
    # Each point lies on its grid-unit point's edge, mapped through the coordinates.
    grid = ic.multi_lines(field, [-0.05, 0.05])
    np.testing.assert_allclose(one.points[:, 0], np.interp(grid.points[:, 0],
                                                           np.arange(len(xs)), xs), rtol=1e-12)
    np.testing.assert_allclose(one.points[:, 1], np.interp(grid.points[:, 1],
                                                           np.arange(len(ys)), ys), atol=1e-12)
    bands = ic.filled(field, -0.05, 0.05, x=xs, y=ys)
    assert_same_bands(bands, ic.filled(field, -0.05, 0.05, x=gx, y=gy))
    # 1-D coordinates read through their strides: every other element of a longer array, and
    # one read backwards, give what their contiguous copies give.
    spaced_x, spaced_y = np.repeat(xs, 2)[::2], np.repeat(ys, 2)[::2]
    assert spaced_x.strides[0] == 2 * xs.strides[0]
    assert_same_lines(one, ic.multi_lines(field, [-0.05, 0.05], x=spaced_x, y=spaced_y))
    assert_same_bands(bands, ic.filled(field, -0.05, 0.05, x=spaced_x, y=spaced_y))
    back = ys[::-1].copy()[::-1]
    assert back.strides[0] < 0
    assert_same_lines(one, ic.multi_lines(field, [-0.05, 0.05], x=xs, y=back))


def test_masks_from_arrays_and_masked_arrays_agree(field):
    mask = np.zeros(field.shape, dtype=bool)
    mask[20:40, 10:30] = True
    with_mask = ic.lines(field, 0.0, mask=mask)
    assert_same_lines(with_mask, ic.lines(np.ma.masked_array(field, mask), 0.0))
    assert_same_lines(with_mask, ic.lines(field, 0.0, mask=mask.astype(np.uint8) * 7))
    assert_same_lines(with_mask, ic.lines(field, 0.0, mask=mask.astype(np.float32)))
    # A masked array's mask and an explicit one are combined.
    other = np.zeros(field.shape, dtype=bool)
    other[:, 60:] = True
    combined = ic.lines(np.ma.masked_array(field, mask), 0.0, mask=other)
    assert_same_lines(combined, ic.lines(field, 0.0, mask=mask | other))
    # NaN removes a node as the mask does.
    holes = field.copy()
    holes[mask] = np.nan
    assert_same_lines(ic.lines(holes, 0.0), with_mask)
    # No point lies strictly inside the masked block's cells.
    p = with_mask.points
    inside = (p[:, 0] > 10) & (p[:, 0] < 29) & (p[:, 1] > 20) & (p[:, 1] < 39)
    assert not inside.any()
    assert_same_lines(ic.lines(field, 0.0, mask=np.zeros(field.shape, bool)), ic.lines(field, 0.0))


def test_saddle_names_and_threads(field):
    z = smooth_field(40, 50, 0.7, seed=3)  # rough: many saddle cells
    above, below = ic.lines(z, 0.0, saddle="above"), ic.lines(z, 0.0, saddle="below")
    assert not np.array_equal(above.offsets, below.offsets) or \
        not np.array_equal(above.points, below.points)
    assert_same_lines(ic.lines(z, 0.0, saddle="center"), ic.lines(z, 0.0, saddle="centre"))
    big = smooth_field(300, 200, 2.0, seed=4)
    for threads in (0, 2, 3):
        assert_same_lines(ic.multi_lines(big, [-0.1, 0.0], threads=threads, normals=True),
                          ic.multi_lines(big, [-0.1, 0.0], normals=True))
        assert_same_bands(ic.multi_filled(big, [-0.1, 0.0, 0.1], threads=threads),
                          ic.multi_filled(big, [-0.1, 0.0, 0.1]))


def test_python_threads_contour_several_arrays_at_once():
    fields = [smooth_field(200, 200, 2.0, seed=s, dtype=t)
              for s, t in zip(range(8), [np.float32, np.float64] * 4)]
    alone = [ic.multi_lines(f, [-0.05, 0.05]) for f in fields]
    with concurrent.futures.ThreadPoolExecutor(4) as pool:
        together = list(pool.map(lambda f: ic.multi_lines(f, [-0.05, 0.05]), fields * 3))
    for k, got in enumerate(together):
        assert_same_lines(got, alone[k % len(fields)])


# --- Results -------------------------------------------------------------------------------

def test_flat_arrays_and_the_per_line_form_agree(field):
    levels = [0.05, -0.05, 0.05]  # any order, repeats allowed
    r = ic.multi_lines(field, levels, normals=True)
    assert r.points.shape == (r.offsets[-1], 2) and r.normals.shape == r.points.shape
    assert r.offsets.dtype == np.int64 and r.closed.dtype == np.bool_
    assert len(r) == len(r.closed) == len(r.offsets) - 1 == r.level_offsets[-1]
    np.testing.assert_array_equal(r.levels, levels)
    lines = r.split()
    assert len(lines) == len(r)
    for k, line in enumerate(lines):
        np.testing.assert_array_equal(line, r.points[r.offsets[k]:r.offsets[k + 1]])
        assert line.base is not None  # a view, not a copy
        assert r.closed[k] == np.array_equal(line[0], line[-1])
    per_level = r.split_levels()
    assert [len(p) for p in per_level] == list(np.diff(r.level_offsets))
    assert_same_lines(ic.lines(field, -0.05, normals=True),
                      ic.multi_lines(field, [-0.05], normals=True))
    np.testing.assert_array_equal(np.concatenate(per_level[0]), ic.lines(field, 0.05).points)
    # Normals are unit length; without normals=True there are none.
    np.testing.assert_allclose(np.hypot(r.normals[:, 0], r.normals[:, 1]), 1.0, rtol=1e-12)
    assert ic.lines(field, 0.0).normals is None
    # The per-line arrays keep the result's memory alive on their own.
    one = ic.lines(field, 0.0).split()[0]
    gc.collect()
    assert one.shape[1] == 2 and np.isfinite(one).all()
    assert "Lines(3 levels" in repr(r)


def test_bands_split_into_polygons_and_rings(field):
    levels = [-0.1, 0.0, 0.1]
    b = ic.multi_filled(field, levels, open_bands=True)
    np.testing.assert_array_equal(b.lower, [-np.inf, -0.1, 0.0, 0.1])
    np.testing.assert_array_equal(b.upper, [-0.1, 0.0, 0.1, np.inf])
    per_band = b.split_bands()
    assert len(per_band) == 4 and sum(len(p) for p in per_band) == len(b)
    total = 0.0
    for polygons in per_band:
        for rings in polygons:
            assert ring_area(rings[0]) > 0  # outer ring counter-clockwise
            assert all(ring_area(h) < 0 for h in rings[1:])  # holes clockwise
            assert all(np.array_equal(r[0], r[-1]) for r in rings)
            total += sum(ring_area(r) for r in rings)
    rows, cols = field.shape
    assert total == pytest.approx((rows - 1) * (cols - 1), rel=1e-9)  # the bands tile the grid
    one = ic.filled(field, 0.0, 0.1)
    flat = b.split()
    first, last = b.band_offsets[2], b.band_offsets[3]
    assert len(one.split()) == last - first
    for p, q in zip(one.split(), flat[first:last]):
        for r, s in zip(p, q):
            np.testing.assert_array_equal(r, s)


@pytest.mark.parametrize("shape", [(0, 0), (0, 5), (5, 0), (1, 1), (1, 7), (7, 1)])
def test_tiny_and_empty_arrays_give_empty_results(shape):
    z = np.ones(shape)
    r = ic.lines(z, 0.5, normals=True)
    assert r.points.shape == (0, 2) and r.normals.shape == (0, 2) and len(r) == 0
    assert list(r.offsets) == [0] and r.split() == [] and r.split_levels() == [[]]
    b = ic.multi_filled(z, [0.0, 1.0, 2.0], open_bands=True)
    assert b.points.shape == (0, 2) and len(b) == 0 and b.split_bands() == [[]] * 4


# --- Errors --------------------------------------------------------------------------------

Z = np.arange(12.0).reshape(3, 4)

BAD_CALLS = [
    # (call, exception, words the message must contain)
    (lambda: ic.lines(Z, np.nan), ValueError, "NaN"),
    (lambda: ic.multi_lines(Z, [1.0, np.nan]), ValueError, "NaN"),
    (lambda: ic.filled(Z, 2.0, 1.0), ValueError, "lower"),
    (lambda: ic.filled(Z, 1.0, 1.0), ValueError, "lower"),
    (lambda: ic.filled(Z, np.nan, 1.0), ValueError, "NaN"),
    (lambda: ic.multi_filled(Z, [1.0]), ValueError, "two"),
    (lambda: ic.multi_filled(Z, [2.0, 1.0]), ValueError, "increase"),
    (lambda: ic.multi_lines(Z, [[1.0, 2.0]]), ValueError, "1-D"),
    (lambda: ic.multi_lines(Z, 1.0), ValueError, "1-D"),
    (lambda: ic.lines(np.zeros(5), 0.5), ValueError, "2-D"),
    (lambda: ic.lines(np.zeros((2, 2, 2)), 0.5), ValueError, "2-D"),
    (lambda: ic.lines(Z, 0.5, mask=np.zeros((4, 3), bool)), ValueError, "(3, 4)"),
    (lambda: ic.lines(Z, 0.5, mask=np.zeros(12, bool)), ValueError, "mask"),
    (lambda: ic.lines(Z, 0.5, x=np.arange(3.0), y=np.arange(4.0)), ValueError, "column"),
    (lambda: ic.lines(Z, 0.5, x=np.zeros((3, 4)), y=np.zeros((4, 3))), ValueError, "shape"),
    (lambda: ic.lines(Z, 0.5, x=np.arange(4.0), y=np.zeros((3, 4))), ValueError, "both"),
    (lambda: ic.lines(Z, 0.5, x=np.arange(4.0)), ValueError, "both"),
    (lambda: ic.lines(Z, 0.5, x=[0, 1, np.nan, 3], y=np.arange(3.0)), ValueError, "finite"),
    (lambda: ic.lines(Z, 0.5, saddle="middle"), ValueError, "saddle"),
    (lambda: ic.lines(Z, 0.5, threads=-1), ValueError, "thread"),
    (lambda: ic.lines("text", 0.5), TypeError, "real numbers"),
    (lambda: ic.lines(None, 0.5), TypeError, "z"),
    (lambda: ic.lines([[1, "a"], [2, 3]], 0.5), TypeError, "z"),
    (lambda: ic.lines(Z.astype(complex), 0.5), TypeError, "complex"),
    (lambda: ic.lines(Z.astype("datetime64[s]"), 0.5), TypeError, "dates"),
    (lambda: ic.lines(Z, "0.5"), TypeError, "level"),
    (lambda: ic.lines(Z, 1j), TypeError, "level"),
    (lambda: ic.multi_lines(Z, ["a", "b"]), TypeError, "levels"),
    (lambda: ic.filled(Z, None, 1.0), TypeError, "lower"),
    (lambda: ic.lines(Z, 0.5, x=["a"] * 4, y=np.arange(3.0)), TypeError, "x"),
    (lambda: ic.lines(Z, 0.5, mask=np.full((3, 4), "m")), TypeError, "mask"),
    (lambda: ic.lines(Z, 0.5, saddle=3), TypeError, ""),
]


@pytest.mark.parametrize("call,exception,words", BAD_CALLS)
def test_bad_input_raises_the_named_exception_with_a_message(call, exception, words):
    with pytest.raises(exception) as raised:
        call()
    assert str(raised.value) and words in str(raised.value)


def test_library_refusals_are_isocontour_errors():
    with pytest.raises(ic.Error):
        ic.lines(Z, np.nan)
    assert issubclass(ic.Error, ValueError)


def test_fuzz_random_shapes_dtypes_and_values_never_crash():
    rng = np.random.default_rng(2024)
    dtypes = [np.float32, np.float64, np.float16, np.int16, np.uint8, np.bool_, ">f8", "<f4",
              np.complex64, object, "U2"]
    outcomes = {"ok": 0, "ValueError": 0, "TypeError": 0}
    for case in range(1500):
        ndim = rng.choice([1, 2, 2, 2, 2, 3])
        shape = tuple(int(n) for n in rng.integers(0, 9, size=ndim))
        base = rng.standard_normal(shape) * rng.choice([1.0, 1e3, 1e-3])
        if base.size:
            base[rng.random(shape) < rng.choice([0.0, 0.1, 0.5])] = np.nan
            base[rng.random(shape) < 0.05] = rng.choice([np.inf, -np.inf, 0.0])
        with np.errstate(invalid="ignore"):  # NaN and inf to integers
            z = base.astype(dtypes[rng.integers(len(dtypes))]) if rng.random() < 0.9 else base
        if z.ndim == 2 and rng.random() < 0.5:  # strided, reversed or transposed views
            z = z[::rng.choice([1, -1, 2]), ::rng.choice([1, -1, 3])]
            z = z.T if rng.random() < 0.3 else z
        kwargs = {"saddle": str(rng.choice(["above", "below", "centre", "diagonal"])),
                  "threads": int(rng.integers(0, 3))}
        if z.ndim == 2 and rng.random() < 0.3:
            kwargs["mask"] = rng.random(z.shape) < 0.2
        if z.ndim == 2 and rng.random() < 0.2:
            kwargs["x"], kwargs["y"] = np.arange(z.shape[1]) * 2.0, np.arange(z.shape[0]) * 0.5
        levels = sorted(rng.choice([-1.0, -0.1, 0.0, 0.5, 1.0, np.inf, np.nan],
                                   size=rng.integers(1, 4), replace=False))
        kind = case % 4
        try:
            if kind == 0:
                r = ic.lines(z, levels[0], normals=bool(rng.random() < 0.5), **kwargs)
            elif kind == 1:
                r = ic.multi_lines(z, levels, **kwargs)
            elif kind == 2:
                r = ic.filled(z, levels[0], levels[-1], **kwargs)
            else:
                r = ic.multi_filled(z, levels, open_bands=bool(rng.random() < 0.5), **kwargs)
        except (ValueError, TypeError) as error:
            assert str(error)
            outcomes[type(error).__name__ if not isinstance(error, ic.Error)
                     else "ValueError"] += 1
            continue
        outcomes["ok"] += 1
        assert np.isfinite(r.points).all()
        rows, cols = z.shape
        if "x" not in kwargs:
            assert (r.points >= 0).all() and (r.points[:, 0] <= cols - 1).all() \
                and (r.points[:, 1] <= rows - 1).all()
        offsets = r.offsets if kind < 2 else r.ring_offsets
        assert offsets[0] == 0 and offsets[-1] == len(r.points)
        assert (np.diff(offsets) >= (2 if kind < 2 else 4)).all()
        pieces = r.split()
        assert len(pieces) == len(r)
    assert min(outcomes.values()) > 20, outcomes  # every outcome was exercised


# --- Reference counts and memory -----------------------------------------------------------

def resident_bytes():
    with open("/proc/self/statm") as statm:
        return int(statm.read().split()[1]) * 4096


def test_ten_thousand_calls_leave_memory_and_reference_counts_flat():
    z = smooth_field(48, 48, 2.0, seed=9)
    zf = np.asfortranarray(z.astype(np.float32))
    x, y = np.arange(48.0), np.arange(48.0)
    mask = np.zeros(z.shape, bool)

    def one_round():
        r = ic.multi_lines(z, [-0.1, 0.1], normals=True, x=x, y=y, mask=mask)
        r.split_levels()
        ic.lines(zf, 0.0).split()
        ic.multi_filled(z, [-0.1, 0.0, 0.1], open_bands=True).split_bands()
        for bad in (lambda: ic.lines(z, np.nan), lambda: ic.lines("z", 0.0)):
            try:
                bad()
            except (ValueError, TypeError):
                pass

    for _ in range(500):  # the allocator's working set settles first
        one_round()
    gc.collect()
    counts = [sys.getrefcount(a) for a in (z, zf, x, y, mask)]
    before = resident_bytes()
    for _ in range(10_000):
        one_round()
    gc.collect()
    grown = resident_bytes() - before
    assert [sys.getrefcount(a) for a in (z, zf, x, y, mask)] == counts
    if os.environ.get("ISOCONTOUR_SANITIZED"):
        return  # the address sanitizer holds freed memory back on purpose
    # One leaked result per call would be tens of megabytes here.
    assert grown < 2 * 1024 * 1024, f"resident memory grew by {grown} bytes"


# --- Docstrings and stubs ------------------------------------------------------------------

def test_the_stub_beside_the_module_matches_the_docstrings():
    import ast
    import inspect
    import re

    stub = os.path.join(os.path.dirname(ic.__file__), "_isocontour.pyi")
    tree = ast.parse(open(stub).read())
    functions = {f.name: f for f in tree.body if isinstance(f, ast.FunctionDef)}
    classes = {c.name: c for c in tree.body if isinstance(c, ast.ClassDef)}
    for name in ("lines", "multi_lines", "filled", "multi_filled", "window_lines",
                 "window_filled", "join_lines", "join_filled", "finish_lines", "finish_filled"):
        doc = inspect.getdoc(getattr(ic, name))
        first = re.match(rf"{name}\((.*)\) -> (\w+)", doc)
        assert first, doc
        documented = [p.split("=")[0].strip() for p in first.group(1).split(",")]
        args = functions[name].args
        stubbed = [a.arg for a in args.args] + (["*"] if args.kwonlyargs else []) + \
            [a.arg for a in args.kwonlyargs]
        assert documented == stubbed, name
        assert first.group(2) in classes
        assert "converted once" in doc or not name.endswith(("lines", "filled")) or \
            name.startswith(("join", "finish"))
    assert set(functions) <= set(ic.__all__)
    for cls in (ic.LinePieces, ic.PolygonPieces):
        public = {n for n in dir(cls) if not n.startswith("_")}
        body = classes[cls.__name__].body
        assert public == {f.name for f in body if isinstance(f, ast.FunctionDef)}, cls
    for cls in (ic.Lines, ic.Bands):
        public = {n for n in dir(cls) if not n.startswith("_")}
        stubbed = {f.name for f in classes[cls.__name__].body if isinstance(f, ast.FunctionDef)}
        assert public == {n for n in stubbed if not n.startswith("_")}, cls
        assert {"__init__", "__geo_interface__"} <= stubbed, cls


# --- The package: version, pickling, results from arrays, shapely, GeoJSON, xarray ----------

def test_version_is_the_cmake_project_s():
    import importlib.metadata
    import re
    here = os.path.dirname(os.path.abspath(__file__))
    with open(os.path.join(here, "..", "..", "CMakeLists.txt")) as f:
        version = re.search(r"project\(isocontour VERSION ([0-9.]+)", f.read()).group(1)
    assert ic.__version__ == version
    if os.environ.get("ISOCONTOUR_INSTALLED"):
        assert importlib.metadata.version("isocontour") == version
        assert os.path.exists(os.path.join(os.path.dirname(ic.__file__), "py.typed"))


def test_results_pickle_and_rebuild_from_their_arrays(field):
    import pickle
    lines = ic.multi_lines(field.astype(np.float32), [-0.05, 0.05], normals=True)
    bands = ic.multi_filled(field, [-0.1, 0.0, 0.1], open_bands=True)
    assert_same_lines(pickle.loads(pickle.dumps(lines)), lines)
    assert_same_bands(pickle.loads(pickle.dumps(bands)), bands)
    assert pickle.loads(pickle.dumps(lines)).points.dtype == np.float32
    rebuilt = ic.Lines(lines.points, lines.offsets.astype(np.int32), lines.closed, lines.levels,
                       lines.level_offsets, normals=lines.normals)
    assert_same_lines(rebuilt, lines)
    again = ic.Bands(bands.points, bands.ring_offsets, bands.polygon_offsets, bands.band_offsets,
                     bands.lower, bands.upper)
    np.testing.assert_array_equal(again.upper, bands.upper)
    assert [len(b) for b in again.split_bands()] == [len(b) for b in bands.split_bands()]
    p, o, c, lv, lo = lines.points, lines.offsets, lines.closed, lines.levels, lines.level_offsets
    bad = [
        (lambda: ic.Lines(p, o[:-1], c[:-1], lv, lo), "offsets"),  # does not reach n
        (lambda: ic.Lines(p, o[::-1].copy(), c, lv, lo), "offsets"),
        (lambda: ic.Lines(p, o, c[:-1], lv, lo), "closed"),
        (lambda: ic.Lines(p, o, c, lv[:1], lo), "level_offsets"),
        (lambda: ic.Lines(p.astype(np.int64), o, c, lv, lo), "float"),
        (lambda: ic.Lines(p, o, c, lv.astype(np.float64), lo), "levels"),
        (lambda: ic.Lines(p, o, c, lv, lo, normals=p[:-1]), "normals"),
        (lambda: ic.Bands(bands.points, bands.ring_offsets, bands.polygon_offsets[:-1],
                          bands.band_offsets, bands.lower, bands.upper), "polygon_offsets"),
        (lambda: ic.Bands(bands.points, bands.ring_offsets, bands.polygon_offsets,
                          bands.band_offsets, bands.lower[:1], bands.upper), "per band"),
    ]
    for call, words in bad:
        with pytest.raises(ValueError, match=words):
            call()


# --- Windows: a grid contoured in pieces, joined, finished --------------------------------

def window_parts(z, call, levels, xs, ys, **options):
    """The windows of z's cells cut at columns xs and rows ys, each view with its halo, x, y
    and mask cut alike (1-D coordinates: their slices), contoured by call."""
    rows, cols = z.shape
    parts = []
    for cy0, cy1 in zip(ys, ys[1:]):
        for cx0, cx1 in zip(xs, xs[1:]):
            x0, y0 = max(cx0 - 1, 0), max(cy0 - 1, 0)
            nodes = (slice(y0, min(cy1 + 1, rows - 1) + 1), slice(x0, min(cx1 + 1, cols - 1) + 1))
            cut = dict(options)
            for name in ("x", "y", "mask"):
                a = options.get(name)
                if a is not None:
                    cut[name] = a[nodes] if a.ndim == 2 else a[nodes[1] if name == "x" else nodes[0]]
            parts.append(call(z[nodes], levels, (x0, y0, cols, rows, cx0, cy0, cx1, cy1), **cut))
    return parts


def test_windows_joined_in_any_grouping_give_the_whole_call(field):
    import pickle
    z = field.copy()
    z[20:26, 30:44] = np.nan
    z[::9, 41] = 0.0  # nodes exactly at a level, along a seam
    rows, cols = z.shape
    mask = np.zeros(z.shape, bool)
    mask[38:44, 10:25] = True
    gx, gy = np.meshgrid(np.arange(cols) * 0.5, np.linspace(3.0, -2.0, rows))
    gx = gx + 0.2 * gy
    xs, ys = [0, 1, 30, 41, 82], [0, 20, 21, 60]  # uneven, one cell wide, a seam on the NaN
    levels = [0.05, -0.05, 0.0]
    for dtype, options in ((np.float64, {"mask": mask}), (np.float32, {"saddle": "centre"}),
                           (np.float64, {"x": gx, "y": gy, "corner_mask": True})):
        values = z.astype(dtype)
        want = ic.multi_lines(values, levels, normals=True, **options)
        parts = window_parts(values, ic.window_lines, levels, xs, ys, normals=True, **options)
        assert sum(p.piece_count for p in parts) > 0 and sum(p.line_count for p in parts) > 0
        # Pickled, joined in pairs of neighbours, in reverse, and as their whole and pieces parts.
        parts = [pickle.loads(pickle.dumps(p)) for p in parts]
        pairs = [ic.join_lines(parts[k:k + 2]) for k in range(0, len(parts), 2)]
        assert_same_lines(ic.finish_lines(ic.join_lines(pairs[::-1])), want)
        split = [q for p in parts for q in (p.pieces(), p.whole())]
        assert_same_lines(ic.finish_lines(ic.join_lines(split)), want)
        bands = sorted(levels) + [0.2]
        want = ic.multi_filled(values, bands, open_bands=True, **options)
        parts = window_parts(values, ic.window_filled, bands, xs, ys, open_bands=True, **options)
        parts = [pickle.loads(pickle.dumps(p)) for p in parts]
        joined = ic.join_filled([ic.join_filled(parts[k::3]) for k in range(3)])
        assert_same_bands(ic.finish_filled(joined), want)
        split = [q for p in parts for q in (p.whole(), p.pieces())]
        assert_same_bands(ic.finish_filled(ic.join_filled(split[::-1])), want)


def test_windows_refuse_what_cannot_be_joined(field):
    import pickle
    rows, cols = field.shape
    right_window = (39, 0, cols, rows, 40, 0, cols - 1, rows - 1)
    left = ic.window_lines(field[:, :42], [0.0], (0, 0, cols, rows, 0, 0, 40, rows - 1))
    right = ic.window_lines(field[:, 39:], [0.0], right_window)
    assert left.piece_count > 0 and list(left.levels) == [0.0]
    assert_same_lines(ic.finish_lines(ic.join_lines([right, left])), ic.multi_lines(field, [0.0]))
    state = left.__getstate__()
    bad = [
        (lambda: ic.finish_lines(left), ic.Error, "not joined"),
        (lambda: ic.join_lines([left, left]), ic.Error, "twice"),
        (lambda: ic.join_lines([]), ic.Error, "nothing"),
        (lambda: ic.join_lines([left, ic.window_lines(field[:, 39:], [0.1], right_window)]),
         ic.Error, "levels"),
        (lambda: ic.join_lines([left, ic.window_lines(field[:, 39:].astype(np.float32), [0.0],
                                                      right_window)]), ic.Error, "float32"),
        (lambda: ic.join_lines([left, ic.window_lines(field[:, 39:], [0.0], right_window,
                                                      normals=True)]), ic.Error, "normals"),
        (lambda: ic.join_lines([left, ic.multi_lines(field, [0.0])]), TypeError, "LinePieces"),
        (lambda: ic.join_filled([left]), TypeError, "PolygonPieces"),
        # A window without its halo column, outside the grid, or not 8 integers.
        (lambda: ic.window_lines(field[:, :41], [0.0], (0, 0, cols, rows, 0, 0, 40, rows - 1)),
         ic.Error, "one more"),
        (lambda: ic.window_lines(field, [0.0], (1, 0, cols, rows, 1, 0, 40, rows - 1)),
         ic.Error, "grid"),
        (lambda: ic.window_lines(field, [0.0], (0, 0, cols, rows)), ValueError, "8 integers"),
        (lambda: ic.window_lines(field, [0.0], "window"), TypeError, "8 integers"),
        (lambda: ic.window_filled(field, [0.0], (0, 0, cols, rows, 0, 0, 1, 1)), ic.Error,
         "two"),
        # Pickles that are not the library's own, or another version's.
        (lambda: ic.LinePieces.__new__(ic.LinePieces).__setstate__(
            dict(state, version="0.0")), ValueError, "version"),
        (lambda: ic.LinePieces.__new__(ic.LinePieces).__setstate__(
            dict(state, piece_level=state["piece_level"] + 7)), ValueError, "piece_level"),
        (lambda: ic.LinePieces.__new__(ic.LinePieces).__setstate__(
            dict(state, piece_offsets=state["piece_offsets"][::-1].copy())), ValueError,
         "piece_offsets"),
        (lambda: ic.LinePieces.__new__(ic.LinePieces).__setstate__(
            dict(state, points=state["points"].astype(np.float32))), ValueError, "points"),
    ]
    for call, exception, words in bad:
        with pytest.raises(exception, match=words):
            call()
    bands = ic.window_filled(field[:, :42], [-0.1, 0.1], (0, 0, cols, rows, 0, 0, 40, rows - 1))
    bad_bands = dict(bands.__getstate__(), piece_next=np.full(bands.piece_count, 10 ** 6))
    with pytest.raises(ValueError, match="piece_next"):
        ic.PolygonPieces.__new__(ic.PolygonPieces).__setstate__(bad_bands)
    with pytest.raises(ic.Error, match="not joined"):
        ic.finish_filled(bands)


def test_shapely_geometries_are_valid_and_match_the_arrays(field):
    import shapely.geometry
    z = smooth_field(80, 90, 1.2, seed=17)  # rough: saddles, holes, touching polygons
    z[30:36, 40:52] = np.nan
    plateau = np.round(smooth_field(60, 60, 3.0, seed=18) * 20) / 20  # nodes at the levels
    for values in (z, plateau):
        for saddle in ("above", "below", "centre"):
            bands = ic.multi_filled(values, [-0.2, -0.05, 0.0, 0.05, 0.2], open_bands=True,
                                    saddle=saddle)
            geometries = bands.to_shapely()
            assert len(geometries) == len(bands.lower)
            for geometry, polygons in zip(geometries, bands.split_bands()):
                assert geometry.geom_type == "MultiPolygon" and geometry.is_valid
                area = sum(ring_area(r) for rings in polygons for r in rings)
                assert geometry.area == pytest.approx(area, rel=1e-9, abs=1e-12)
            rows, cols = values.shape
            assert sum(g.area for g in geometries) <= (rows - 1) * (cols - 1) + 1e-6
    lines = ic.multi_lines(field, [-0.05, 0.05, 99.0])
    geometries = lines.to_shapely()
    assert [len(g.geoms) for g in geometries] == list(np.diff(lines.level_offsets))
    assert geometries[2].is_empty
    # The geo interface is the tool's GeoJSON layout and shapely reads it back.
    collection = ic.multi_filled(field, [-0.1, 0.1], open_bands=True).__geo_interface__
    assert [f["properties"] for f in collection["features"]] == [
        {"lower": None, "upper": -0.1}, {"lower": -0.1, "upper": 0.1},
        {"lower": 0.1, "upper": None}]
    shape = shapely.geometry.shape(collection["features"][1]["geometry"])
    assert shape.equals(ic.multi_filled(field, [-0.1, 0.1]).to_shapely()[0])
    line_features = lines.__geo_interface__["features"]
    assert [f["properties"]["level"] for f in line_features] == [-0.05, 0.05, 99.0]
    assert shapely.geometry.shape(line_features[0]["geometry"]).equals(geometries[0])


def test_xarray_coordinates_give_the_explicit_call(field):
    xr = pytest.importorskip("xarray")
    xs = np.cumsum(np.linspace(0.5, 1.5, field.shape[1]))
    ys = np.linspace(40.0, 50.0, field.shape[0])
    da = xr.DataArray(field, dims=("lat", "lon"), coords={"lon": xs, "lat": ys})
    want = ic.multi_lines(field, [0.0, 0.05], x=xs, y=ys)
    assert_same_lines(ic.multi_lines(da, [0.0, 0.05]), want)
    assert_same_lines(ic.multi_lines(da.T, [0.0, 0.05], x="lon", y="lat"), want)  # dims named
    assert_same_lines(ic.multi_lines(da.T, [0.0, 0.05]),  # last dim is x unless told
                      ic.multi_lines(field.T, [0.0, 0.05], x=ys, y=xs))
    mask = xr.DataArray(np.zeros(field.shape, bool), dims=("lat", "lon"))
    mask[10:20, 5:30] = True
    assert_same_bands(ic.filled(da.T, -0.1, 0.1, x="lon", y="lat", mask=mask.T),
                      ic.filled(field, -0.1, 0.1, x=xs, y=ys, mask=mask.values))
    # 2-D coordinates (a curvilinear grid), named.
    gx, gy = np.meshgrid(xs, ys)
    gx = gx + 0.1 * gy
    curved = da.assign_coords(X=(("lat", "lon"), gx), Y=(("lat", "lon"), gy))
    assert_same_bands(ic.multi_filled(curved, [-0.1, 0.0, 0.1], x="X", y="Y"),
                      ic.multi_filled(field, [-0.1, 0.0, 0.1], x=gx, y=gy))
    # No coordinates: grid units; the drop-in and matplotlib take DataArrays too.
    plain = xr.DataArray(field, dims=("r", "c"))
    assert_same_lines(ic.lines(plain, 0.0), ic.lines(field, 0.0))
    got = ic.contour_generator(z=da).lines(0.0)
    ref = ic.contour_generator(xs, ys, field).lines(0.0)
    assert all(np.array_equal(a, b) for a, b in zip(got, ref)) and len(got) == len(ref)
    with pytest.raises(ValueError, match="names neither"):
        ic.lines(da, 0.0, x="longitude")
    with pytest.raises(ValueError, match="2-D"):
        ic.lines(da.isel(lat=0), 0.0)


def test_engine_options_are_keywords(field):
    positive = np.exp(field)
    log = ic.lines(positive, 1.0, interpolation="log")
    np.testing.assert_allclose(log.points, ic.lines(field, 0.0).points, atol=1e-9)
    plateau = np.round(field * 20) / 20
    assert ic.filled(plateau, 0.0, 0.05, at_level="above").points.size != \
        ic.filled(plateau, 0.0, 0.05).points.size
    holes = field.copy()
    holes[10:12, 10:12] = np.nan
    assert len(ic.lines(holes, 0.0, corner_mask=True).points) >= \
        len(ic.lines(holes, 0.0).points)
    for bad in ({"at_level": "on"}, {"interpolation": "cubic"}):
        with pytest.raises(ValueError, match=list(bad)[0]):
            ic.lines(field, 0.0, **bad)
