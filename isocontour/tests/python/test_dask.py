"""isocontour.dask against the in-memory calls on the same values: the same Lines and Bands, bit
for bit and in order, for fields whose lines and bands cross the chunks' seams, on the threaded
scheduler and on a LocalCluster of two worker processes; bands valid and tiling; a fuzz of
chunk layouts; refusals."""

import numpy as np
import pytest

import isocontour as ic
from conftest import assert_same_bands, assert_same_lines, smooth_field

dask = pytest.importorskip("dask")
da = pytest.importorskip("dask.array")
icd = pytest.importorskip("isocontour.dask")
from dask.delayed import Delayed  # noqa: E402 (dask is there)

# distributed's event loop on this Python's tornado says so once; nothing of the package's.
pytestmark = pytest.mark.filterwarnings("ignore:make_current is deprecated:DeprecationWarning")


@pytest.fixture(scope="module")
def cluster():
    """One LocalCluster of two single-threaded worker processes for the whole module."""
    distributed = pytest.importorskip("distributed")
    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                                  dashboard_address=None, silence_logs=50) as local:
        with distributed.Client(local, set_as_default=False) as client:
            yield client


@pytest.fixture(params=["threads", "cluster"])
def scheduler(request):
    """Each test that takes it runs on the threaded scheduler and on the cluster; on the
    cluster it checks that the windows' tasks ran in the workers."""
    if request.param == "threads":
        with dask.config.set(scheduler="threads"):
            yield
        return
    client = request.getfixturevalue("cluster")
    from distributed import get_task_stream
    with dask.config.set(scheduler=client), get_task_stream(client) as stream:
        yield
    assert any("isocontour-" in str(t["key"]) for t in stream.data), "nothing ran on the cluster"


def same(kind, z, levels, chunks, **options):
    """The dask call on z in chunks against the in-memory call on z."""
    array = da.from_array(z, chunks=chunks)
    if kind == "lines":
        assert_same_lines(icd.multi_lines(array, levels, **options),
                          ic.multi_lines(z, levels, **options))
    else:
        got = icd.multi_filled(array, levels, **options)
        assert_same_bands(got, ic.multi_filled(z, levels, **options))
        return got


# --- Fields whose lines and bands cross seams -------------------------------------------------

def spiral(n=96, turns=5.0):
    """cos(turns * 2 pi r - angle): level 0 is two spiral arms that wind across every seam."""
    yy, xx = np.mgrid[0:n, 0:n] - (n - 1) / 2.0
    r, angle = np.hypot(xx, yy) / n, np.arctan2(yy, xx)
    return np.cos(turns * 2 * np.pi * r - angle)


def disc_with_four_holes(n=80):
    """A disc centred where four chunks of n / 2 meet, with a hole inside each chunk."""
    yy, xx = np.mgrid[0:n, 0:n] - n / 2.0
    z = np.exp(-(xx ** 2 + yy ** 2) / (0.3 * n) ** 2)
    for hx, hy in ((-1, -1), (1, -1), (-1, 1), (1, 1)):
        z -= 0.8 * np.exp(-((xx - hx * n / 8) ** 2 + (yy - hy * n / 8) ** 2) / (0.04 * n) ** 2)
    return z


def fields():
    """name -> (values, levels): each meets the seams of the chunk layouts below."""
    plateau = np.round(smooth_field(70, 90, 3.0, seed=31) * 20) / 20  # nodes at the levels
    plateau[30:40, 40:50] = 0.0  # a flat at a level across the seams of 10-node chunks
    holes = smooth_field(70, 90, 2.0, seed=32)
    holes[8:13, 8:13] = np.nan  # over the corner where four 10-node chunks meet
    holes[:, 29] = np.nan  # along a seam
    holes[59:61, 60:71] = np.nan
    terrain = np.round(smooth_field(60, 70, 3.0, seed=33) * 400).astype(np.int16)
    return {
        "smoothed": (smooth_field(70, 90, 2.0, seed=30), [-0.05, 0.0, 0.05]),
        "rough (saddles)": (smooth_field(50, 60, 0.8, seed=34), [-0.1, 0.0, 0.1]),
        "plateaus at the levels": (plateau, [-0.05, 0.0, 0.05]),
        "NaN holes at corners and seams": (holes, [-0.05, 0.0, 0.05]),
        "spiral": (spiral(), [-0.5, 0.0, 0.5]),
        "disc with four holes": (disc_with_four_holes(), [0.3, 2.0]),
        "int16 terrain": (terrain, [-20, 0, 20]),
    }


FIELDS = fields()
LAYOUTS = {
    "even": (10, 10),
    "uneven": ((7, 13, 1, 29, 20), (31, 2, 40, 17)),
    "one-row": (1, 45),
    "one column of chunks": (70, 3),
    "whole": (-1, -1),
}


@pytest.mark.parametrize("name", list(FIELDS))
@pytest.mark.parametrize("layout", list(LAYOUTS))
def test_fields_in_any_chunks_give_the_in_memory_result(name, layout):
    z, levels = FIELDS[name]
    chunks = tuple(min(c, n) if isinstance(c, int) and c > 0 else c
                   for c, n in zip(LAYOUTS[layout], z.shape))
    if layout == "uneven":  # the listed chunks, fitted to this field's shape
        chunks = tuple(fit(c, n) for c, n in zip(LAYOUTS[layout], z.shape))
    same("lines", z, levels, chunks, normals=True)
    same("filled", z, levels, chunks, open_bands=True)
    same("filled", z, levels, chunks)


def fit(chunks, n):
    """Chunk sizes cut or extended to add up to n."""
    out, total = [], 0
    for c in chunks:
        if total + c >= n:
            break
        out.append(c)
        total += c
    return tuple(out) + (n - total,)


@pytest.mark.parametrize("dtype", [np.float32, np.float64])
def test_both_schedulers_give_the_in_memory_result(scheduler, dtype):
    for name in ("smoothed", "NaN holes at corners and seams", "spiral", "disc with four holes"):
        z, levels = FIELDS[name]
        same("lines", z.astype(dtype), levels, (17, 23), normals=True)
        same("filled", z.astype(dtype), levels, (17, 23), open_bands=True)


@pytest.mark.parametrize("saddle", ["above", "below", "centre", "diagonal"])
def test_every_saddle_rule_and_engine_option(saddle):
    rough, levels = FIELDS["rough (saddles)"]
    plateau, _ = FIELDS["plateaus at the levels"]
    for z in (rough, plateau):
        for options in ({}, {"at_level": "above"}, {"corner_mask": True}):
            same("lines", z, levels, (9, 11), saddle=saddle, **options)
            same("filled", z, levels, (9, 11), saddle=saddle, open_bands=True, **options)
    positive = np.exp(rough)
    same("lines", positive, [0.9, 1.0, 1.1], (9, 11), saddle=saddle, interpolation="log")


def test_masks_coordinates_and_masked_arrays_cross_the_seams(scheduler):
    z, levels = FIELDS["smoothed"]
    rows, cols = z.shape
    mask = np.zeros(z.shape, bool)
    mask[30:40, 40:50] = True  # a block over the corner where the four chunks meet
    mask[::7, 45] = True  # along a seam
    xs = np.cumsum(np.random.default_rng(5).uniform(0.5, 1.5, cols))
    ys = np.linspace(10.0, -3.0, rows)
    gx, gy = np.meshgrid(xs, ys)
    gx, gy = gx + 0.3 * gy, gy - 0.1 * gx
    array = da.from_array(z, chunks=(35, 45))
    # Grid units, rectilinear and curvilinear coordinates; masks and coordinates as numpy
    # arrays and as dask arrays of other chunks; with and without corner masks.
    to_dask = lambda a: None if a is None else da.from_array(a, 13)  # noqa: E731
    for (x, y), wrap, corner_mask in (((None, None), to_dask, False), ((xs, ys), np.asarray, True),
                                      ((gx, gy), to_dask, True), ((gx, gy), np.asarray, False)):
        kwargs = dict(x=x, y=y, mask=mask, corner_mask=corner_mask)
        wrapped = dict(kwargs, x=wrap(x), y=wrap(y), mask=wrap(mask))
        assert_same_lines(icd.multi_lines(array, levels, **wrapped),
                          ic.multi_lines(z, levels, **kwargs))
        assert_same_bands(icd.multi_filled(array, levels, **wrapped),
                          ic.multi_filled(z, levels, **kwargs))
    # A masked dask array's own mask counts, as a numpy masked array's does.
    masked = np.ma.masked_array(z, mask=mask)
    assert_same_lines(icd.multi_lines(da.ma.masked_array(array, mask=mask), levels),
                      ic.multi_lines(masked, levels))


def test_chunks_are_read_when_computed_and_once():
    z, levels = FIELDS["smoothed"]
    reads = []

    def chunk(block, block_info=None):
        reads.append(block_info[None]["chunk-location"])
        return block

    array = da.from_array(z, chunks=(20, 30)).map_blocks(chunk, dtype=z.dtype)
    lazy = icd.multi_filled(array, levels, compute=False)
    assert reads == []
    assert_same_bands(lazy.compute(scheduler="sync"), ic.multi_filled(z, levels))
    assert sorted(reads) == [(j, i) for j in range(4) for i in range(3)]


def test_xarray_backed_by_dask_gives_the_in_memory_result():
    xr = pytest.importorskip("xarray")
    z, levels = FIELDS["smoothed"]
    xs = np.cumsum(np.linspace(0.5, 1.5, z.shape[1]))
    ys = np.linspace(40.0, 50.0, z.shape[0])
    loaded = xr.DataArray(z, dims=("lat", "lon"), coords={"lon": xs, "lat": ys})
    gx, gy = np.meshgrid(xs, ys)
    loaded = loaded.assign_coords(X=(("lat", "lon"), gx + 0.1 * gy), Y=(("lat", "lon"), gy))
    lazy = loaded.chunk({"lat": 16, "lon": 25})
    assert isinstance(lazy.data, da.Array)
    assert isinstance(icd.multi_lines(lazy, levels, compute=False), Delayed)  # nothing loaded
    assert_same_lines(icd.multi_lines(lazy, levels), ic.multi_lines(loaded, levels))
    assert_same_lines(icd.multi_lines(lazy.T, levels, x="lon", y="lat"),
                      ic.multi_lines(loaded, levels))
    mask = xr.DataArray(z > 0.1, dims=("lat", "lon")).chunk(20)
    # 2-D coordinates and a mask, as DataArrays backed by dask, turned as the values are.
    assert_same_bands(icd.multi_filled(lazy.T, levels, x="X", y="Y", mask=mask),
                      ic.multi_filled(loaded.T, levels, x="X", y="Y", mask=mask.compute()))


def test_bands_across_seams_are_valid_and_tile_the_grid(scheduler):
    pytest.importorskip("shapely")
    from shapely.ops import unary_union
    for name in ("rough (saddles)", "plateaus at the levels", "disc with four holes"):
        z, levels = FIELDS[name]
        bands = icd.multi_filled(da.from_array(z, chunks=(9, 14)), levels, open_bands=True)
        geometries = bands.to_shapely()
        assert all(g.is_valid for g in geometries), name
        rows, cols = z.shape
        area = sum(g.area for g in geometries)
        # Open bands cover every cell once: their areas add up to the grid's, and so does the
        # area of their union (no overlaps).
        assert area == pytest.approx((rows - 1) * (cols - 1), rel=1e-9), name
        assert unary_union(geometries).area == pytest.approx(area, rel=1e-9), name


def test_the_disc_s_four_holes_come_through_whole():
    z, levels = FIELDS["disc with four holes"]
    bands = same("filled", z, levels, (40, 40))
    (disc,) = bands.split_bands()[0]
    assert len(disc) == 5  # the outer ring and a hole in each chunk


def test_fuzz_chunk_layouts_against_the_in_memory_call():
    rng = np.random.default_rng(2025)
    for case in range(60):
        rows, cols = (int(n) for n in rng.integers(2, 40, size=2))
        z = smooth_field(rows, cols, float(rng.choice([0.7, 1.5, 3.0])), seed=case)
        z = z.astype(rng.choice([np.float32, np.float64]))
        if rng.random() < 0.5:  # nodes exactly at the levels
            z = np.round(z * 20) / 20
        z[rng.random(z.shape) < rng.choice([0.0, 0.05, 0.3])] = np.nan
        chunks = tuple(tuple(int(c) for c in random_chunks(rng, n)) for n in (rows, cols))
        options = {"saddle": str(rng.choice(["above", "below", "centre", "diagonal"])),
                   "corner_mask": bool(rng.random() < 0.3)}
        if rng.random() < 0.4:
            options["mask"] = rng.random(z.shape) < 0.1
        levels = np.sort(rng.choice([-0.1, -0.05, 0.0, 0.05, 0.1], size=3, replace=False))
        context = f"case {case}: shape {z.shape}, chunks {chunks}, {options}"
        try:
            same("lines", z, levels, chunks, normals=bool(rng.random() < 0.5), **options)
            same("filled", z, levels, chunks, open_bands=bool(rng.random() < 0.5), **options)
        except AssertionError as error:
            raise AssertionError(context) from error


def random_chunks(rng, n):
    """Random chunk sizes adding up to n, ones and zeros among them."""
    cuts = np.sort(rng.integers(0, n + 1, size=int(rng.integers(0, 6))))
    return np.diff(np.concatenate(([0], cuts, [n])))


# --- Results, laziness, refusals ----------------------------------------------------------

def test_compute_false_gives_a_delayed_result_and_tiny_arrays_an_empty_one():
    z, levels = FIELDS["smoothed"]
    lazy = icd.multi_filled(da.from_array(z, chunks=30), levels, compute=False)
    assert isinstance(lazy, Delayed)
    assert_same_bands(lazy.compute(), ic.multi_filled(z, levels))
    assert_same_bands(dask.compute(lazy)[0], ic.multi_filled(z, levels))
    for shape in ((0, 0), (1, 9), (9, 1)):
        tiny = da.zeros(shape, chunks=4)
        assert_same_lines(icd.multi_lines(tiny, levels), ic.multi_lines(np.zeros(shape), levels))
        assert len(icd.multi_filled(tiny, levels, open_bands=True, compute=False).compute()) == 0


def test_the_values_are_cast_before_the_chunks_meet():
    # float16 and integers are read as float32 and float64, as the in-memory call reads them.
    z, levels = FIELDS["int16 terrain"]
    got = icd.multi_lines(da.from_array(z, chunks=(13, 17)), levels)
    assert got.points.dtype == np.float64
    assert_same_lines(got, ic.multi_lines(z, levels))
    half = (FIELDS["smoothed"][0] * 10).astype(np.float16)
    got = icd.multi_filled(da.from_array(half, chunks=(13, 17)), [-0.5, 0.5])
    assert got.points.dtype == np.float32
    assert_same_bands(got, ic.multi_filled(half, [-0.5, 0.5]))


ARRAY = da.zeros((6, 8), chunks=3)
BAD_CALLS = [
    # (call, exception, words the message must contain), raised when called, not computed
    (lambda: icd.multi_lines(ARRAY, [0.0, np.nan], compute=False), ic.Error, "NaN"),
    (lambda: icd.multi_filled(ARRAY, [1.0, 0.0], compute=False), ic.Error, "increase"),
    (lambda: icd.multi_lines(ARRAY, [0.5], saddle="middle"), ValueError, "saddle"),
    (lambda: icd.multi_lines(ARRAY, [0.5], interpolation="log"), ValueError, ""),
    (lambda: icd.multi_lines(da.zeros((2, 3, 4)), [0.5]), ValueError, "2-D"),
    (lambda: icd.multi_lines(ARRAY, [0.5], x=np.arange(6.0), y=np.arange(8.0)), ValueError,
     "per column"),
    (lambda: icd.multi_lines(ARRAY, [0.5], x=np.arange(8.0)), ValueError, "both"),
    (lambda: icd.multi_lines(ARRAY, [0.5], x=np.zeros((6, 8)), y=np.arange(6.0)), ValueError,
     "both 1-D"),
    (lambda: icd.multi_lines(ARRAY, [0.5], mask=np.zeros((8, 6), bool)), ValueError, "(6, 8)"),
    (lambda: icd.multi_lines(ARRAY.astype("U1"), [0.5]), TypeError, "real numbers"),
    (lambda: icd.multi_lines(ARRAY[ARRAY[:, 0] > 0], [0.5]), ValueError, "chunk sizes"),
]


@pytest.mark.parametrize("call,exception,words", BAD_CALLS)
def test_bad_calls_are_refused_with_a_message(call, exception, words):
    with pytest.raises(exception) as raised:
        call()
    assert str(raised.value) and words in str(raised.value)
