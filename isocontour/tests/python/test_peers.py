"""isocontour against the C++ library (through isocontour's files) and against contourpy and
skimage, on the same arrays in the same run."""

import os
import subprocess

import contourpy
import numpy as np
import pytest
from scipy.spatial import cKDTree
from skimage import measure

import isocontour as ic
from conftest import ring_area, smooth_field

TOOL = os.environ.get("ISOCONTOUR_TOOL", "")


# --- The C++ library, through isocontour's CSV (shortest round-trip digits) -----------

def run_tool(tmp_path, z, levels, flags=(), **files):
    """isocontour's CSV of z as an array of rows (an open band's empty level: NaN)."""
    np.save(tmp_path / "z.npy", z)
    args = [TOOL, str(tmp_path / "z.npy"), "--levels", ",".join(repr(float(v)) for v in levels),
            "--csv", str(tmp_path / "out.csv"), *flags]
    for flag, value in files.items():
        if isinstance(value, np.ndarray):
            np.save(tmp_path / f"{flag}.npy", value)
            value = tmp_path / f"{flag}.npy"
        args += [f"--{flag}", str(value)]
    subprocess.run(args, check=True, capture_output=True)
    return np.genfromtxt(tmp_path / "out.csv", delimiter=",", skip_header=1, ndmin=2)


def starts_of(*columns):
    """The rows where any of the key columns changes: each piece's first row."""
    keys = np.stack(columns, axis=1)
    return np.flatnonzero(np.any(np.diff(keys, axis=0, prepend=-1) != 0, axis=1))


def tool_lines(tmp_path, z, levels, normals=False, **files):
    """isocontour's lines of z as (points, line starts, normals), exactly as written."""
    rows = run_tool(tmp_path, z, levels, ["--normals"] if normals else [], **files)
    cast = rows.astype(z.dtype)  # shortest round-trip digits: the same values
    return cast[:, 2:4], starts_of(rows[:, 0]), (cast[:, 4:6] if normals else None)


CPP_CASES = {
    "float64": (np.float64, {}),
    "float32": (np.float32, {}),
    "many levels, normals": (np.float64, {"levels": [-0.2, 0.0, 0.15], "normals": True}),
    "saddle below, two threads": (np.float32, {"saddle": "below", "threads": 2}),
    "saddle centre": (np.float64, {"saddle": "centre"}),
    "rectilinear": (np.float64, {"coords": "1-D"}),
    "curvilinear": (np.float32, {"coords": "2-D"}),
    "mask and NaN": (np.float64, {"mask": True}),
}


@pytest.mark.skipif(not TOOL, reason="ISOCONTOUR_TOOL names no isocontour")
@pytest.mark.parametrize("case", CPP_CASES)
def test_lines_equal_the_cpp_library_point_for_point(tmp_path, case):
    dtype, opts = CPP_CASES[case]
    z = smooth_field(70, 90, 2.5, seed=11, dtype=dtype)
    levels = [dtype(v) for v in opts.get("levels", [0.05])]
    kwargs, files = {}, {}
    for key in ("saddle", "threads"):
        if key in opts:
            kwargs[key] = files[key] = opts[key]
    if opts.get("coords"):
        xs = np.cumsum(np.linspace(0.5, 1.5, z.shape[1])).astype(dtype)
        ys = np.linspace(-2, 2, z.shape[0]).astype(dtype)
        if opts["coords"] == "2-D":
            xs, ys = np.meshgrid(xs, ys)
            xs = xs + 0.1 * ys  # sheared: a truly curvilinear grid
        kwargs["x"], kwargs["y"] = files["x"], files["y"] = xs, ys
    if opts.get("mask"):
        z[30:35, 40:60] = np.nan
        mask = np.zeros(z.shape, bool)
        mask[5:25, 5:12] = True
        kwargs["mask"] = files["mask"] = mask
    normals = opts.get("normals", False)
    ours = ic.multi_lines(z, levels, normals=normals, **kwargs)
    points, starts, tool_normals = tool_lines(tmp_path, z, levels, normals, **files)
    assert len(ours.points) > 100
    np.testing.assert_array_equal(ours.points, points)
    np.testing.assert_array_equal(ours.offsets[:-1], starts)
    if normals:
        np.testing.assert_array_equal(ours.normals, tool_normals)


@pytest.mark.skipif(not TOOL, reason="ISOCONTOUR_TOOL names no isocontour")
@pytest.mark.parametrize("saddle,dtype", [("above", np.float32), ("below", np.float64),
                                          ("centre", np.float64)])
def test_bands_equal_the_cpp_library_point_for_point(tmp_path, saddle, dtype):
    z = smooth_field(70, 90, 2.5, seed=13, dtype=dtype)
    z[20:24, 50:70] = np.nan
    mask = np.zeros(z.shape, bool)
    mask[40:60, 5:15] = True
    levels = [dtype(v) for v in (-0.1, 0.0, 0.05, 0.2)]
    rows = run_tool(tmp_path, z, levels, ["--filled", "--open-bands", "--threads", "2"],
                    saddle=saddle, mask=mask)
    ours = ic.multi_filled(np.asfortranarray(z), levels, open_bands=True, saddle=saddle,
                           mask=mask, threads=2)
    assert len(ours) > 20
    np.testing.assert_array_equal(ours.points, rows[:, 4:6].astype(dtype))
    rings = starts_of(rows[:, 0], rows[:, 1])
    np.testing.assert_array_equal(ours.ring_offsets[:-1], rings)
    polygon_first_rows = starts_of(rows[:, 0])
    np.testing.assert_array_equal(ours.ring_offsets[ours.polygon_offsets[:-1]],
                                  polygon_first_rows)
    per_polygon = np.repeat(np.arange(len(ours)), np.diff(ours.polygon_offsets))
    band_of_polygon = np.searchsorted(ours.band_offsets, np.arange(len(ours)), side="right") - 1
    lower = np.repeat(ours.lower[band_of_polygon][per_polygon], np.diff(ours.ring_offsets))
    written = rows[:, 2].astype(dtype)  # an open side is written empty: NaN here
    np.testing.assert_array_equal(np.where(np.isinf(lower), np.nan, lower), written)


# --- contourpy and skimage ------------------------------------------------------------------

def assert_same_crossings(ours, theirs, tol):
    """The same set of distinct points, each within tol of one of the other side's."""
    mine = np.unique(ours, axis=0)
    other = np.unique(theirs, axis=0)
    d_mine, _ = cKDTree(other).query(mine)
    d_other, _ = cKDTree(mine).query(other)
    assert max(d_mine.max(), d_other.max()) <= tol
    assert len(mine) == len(other)


def closed_count(lines):
    return sum(bool(np.array_equal(p[0], p[-1])) for p in lines)


def peer_fields():
    loops = smooth_field(120, 150, 2.0, seed=5)
    holes = smooth_field(100, 80, 3.0, seed=6)
    holes[40:50, 20:35] = np.nan
    plateau = np.round(smooth_field(90, 90, 4.0, seed=8) * 20) / 20  # nodes exactly at 0
    return {"loops": loops, "NaN holes": holes, "plateau at the level": plateau}


@pytest.mark.parametrize("name", ["loops", "NaN holes", "plateau at the level"])
def test_lines_match_contourpy_and_skimage(name):
    z = peer_fields()[name]
    level = 0.0
    ours_centre = ic.lines(z, level, saddle="centre")
    cp = contourpy.contour_generator(z=np.ma.masked_invalid(z), name="serial",
                                     corner_mask=False, line_type="Separate").lines(level)
    assert len(ours_centre) == len(cp) and len(cp) > 5
    assert ours_centre.closed.sum() == closed_count(cp)
    assert_same_crossings(ours_centre.points, np.concatenate(cp), 1e-9)

    ours = ic.lines(z, level)  # the above rule, skimage's fully_connected='high'
    sk = measure.find_contours(np.nan_to_num(z, nan=-1.0), level, fully_connected="high",
                               mask=~np.isnan(z))
    assert len(ours) == len(sk)
    assert ours.closed.sum() == closed_count(sk)
    assert_same_crossings(ours.points, np.concatenate(sk)[:, ::-1], 1e-9)


def test_lines_match_peers_on_a_non_square_rectilinear_grid():
    z = smooth_field(60, 140, 2.0, seed=12)
    xs = np.cumsum(np.random.default_rng(2).uniform(0.2, 1.0, z.shape[1]))
    ys = np.linspace(10.0, 20.0, z.shape[0])
    ours = ic.lines(z, 0.0, x=xs, y=ys, saddle="centre")
    cp = contourpy.contour_generator(x=xs, y=ys, z=z, name="serial", corner_mask=False,
                                     line_type="Separate").lines(0.0)
    assert len(ours) == len(cp) and ours.closed.sum() == closed_count(cp)
    assert_same_crossings(ours.points, np.concatenate(cp), 1e-9)


@pytest.mark.parametrize("name", ["loops", "NaN holes", "plateau at the level"])
def test_filled_areas_match_contourpy(name):
    z = peer_fields()[name]
    levels = [-0.1, -0.02, 0.0, 0.05, 0.2]
    ours = ic.multi_filled(z, levels, saddle="centre")
    gen = contourpy.contour_generator(z=np.ma.masked_invalid(z), name="serial",
                                      corner_mask=False, fill_type="OuterOffset")
    for b, polygons in enumerate(ours.split_bands()):
        mine = sum(ring_area(r) for rings in polygons for r in rings)
        points, offsets = gen.filled(levels[b], levels[b + 1])
        theirs = sum(abs(ring_area(p[o[0]:o[1]])) * (1 if k == 0 else -1)
                     for p, off in zip(points, offsets)
                     for k, o in enumerate(zip(off[:-1], off[1:])))
        assert mine == pytest.approx(theirs, rel=1e-9, abs=1e-9), f"band {b}"
