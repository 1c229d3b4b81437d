#!/usr/bin/python3
"""Filled bands against a geometry library and a peer, on the same arrays in the same run.

Usage: filled_valid.py TOOL   (TOOL: isocontour, run with --filled --open-bands --geojson)

Fields: the charges' frames (three charges on the 80 x 80 grid, infinite where a charge sits on
a node), Gaussian-smoothed random fields with many small loops and saddles, the same with NaN
holes and with a mask, and fields rounded to quarters so that whole plateaus sit exactly on
the levels. For each, with the open bands and under each saddle rule:
  - every polygon is valid for shapely (is_valid), outer rings counter-clockwise and holes
    clockwise, rings closed with no repeated consecutive point;
  - each band is a valid MultiPolygon (its polygons meet at points at most) and its polygons
    do not overlap (their union has the sum of their areas);
  - all bands together cover the unmasked area;
  - under the centre rule, each band's area is contourpy's filled() area for the same levels.
Exits 1 with one line per failure.
"""

import json
import os
import subprocess
import sys
import tempfile

import numpy as np
import contourpy
from scipy.ndimage import gaussian_filter
from shapely.geometry import MultiPolygon, Polygon
from shapely.ops import unary_union
from shapely.validation import explain_validity

from fields import charges

FAILURES = []


def fail(name, message):
    FAILURES.append(f"{name}: {message}")


def charge_frame(t):
    """The charges' 80 x 80 field at time t, in float32 arithmetic."""
    f32 = np.float32
    coord = np.arange(80, dtype=f32)
    px, py = coord[:, None], coord[None, :]
    total = np.zeros((80, 80), dtype=f32)
    for cx, cy in charges(t):
        dx, dy = px - cx, py - cy
        length = np.sqrt((dx * dx + dy * dy).astype(np.float64)).astype(f32)
        with np.errstate(divide="ignore"):
            total = total + (f32(1) / length) * f32(3)
    return total.astype(np.float64)


def smoothed(rows, cols, seed, sigma):
    rng = np.random.default_rng(seed)
    return gaussian_filter(rng.standard_normal((rows, cols)), sigma)


def run(tool, z, levels, saddle, mask=None):
    """The tool's bands as (lower, upper, polygons), a polygon a list of (n, 2) rings; the CSV
    output is checked to hold the same points."""
    with tempfile.TemporaryDirectory() as tmp:
        values = os.path.join(tmp, "z.npy")
        np.save(values, np.ascontiguousarray(z, dtype=np.float64))
        out, csv = os.path.join(tmp, "bands.json"), os.path.join(tmp, "bands.csv")
        args = [tool, values, "--filled", "--open-bands", "--levels",
                ",".join(repr(float(v)) for v in levels), "--saddle", saddle,
                "--geojson", out, "--csv", csv]
        if mask is not None:
            path = os.path.join(tmp, "mask.npy")
            np.save(path, np.ascontiguousarray(mask, dtype=bool))
            args += ["--mask", path]
        subprocess.run(args, check=True, capture_output=True, text=True)
        with open(out) as f:
            features = json.load(f)["features"]
        rows = np.genfromtxt(csv, delimiter=",", skip_header=1, ndmin=2)
    bands = []
    for feature in features:
        p = feature["properties"]
        lower = -np.inf if p["lower"] is None else p["lower"]
        upper = np.inf if p["upper"] is None else p["upper"]
        assert feature["geometry"]["type"] == "MultiPolygon"
        polys = [[np.array(r, dtype=np.float64) for r in poly]
                 for poly in feature["geometry"]["coordinates"]]
        bands.append((lower, upper, polys))
    points = [r for _, _, polys in bands for poly in polys for r in poly]
    flat = np.vstack(points) if points else np.zeros((0, 2))
    if rows.shape[0] != flat.shape[0] or not np.array_equal(rows[:, 4:6], flat):
        fail("csv", "the CSV points are not the GeoJSON's")
    return bands


def signed_area(ring):
    x, y = ring[:, 0], ring[:, 1]
    return 0.5 * float(np.dot(x[:-1], y[1:]) - np.dot(x[1:], y[:-1]))


def check_band(name, rings_of_polygons):
    """Ring rules and shapely validity; returns the band's area."""
    shapes = []
    for rings in rings_of_polygons:
        for k, ring in enumerate(rings):
            if not np.array_equal(ring[0], ring[-1]):
                fail(name, "a ring is not closed")
            if np.any(np.all(ring[1:] == ring[:-1], axis=1)):
                fail(name, "a ring repeats a point")
            area = signed_area(ring)
            if (area > 0) != (k == 0):
                fail(name, f"ring {k} runs the wrong way (area {area})")
        poly = Polygon(rings[0], [r for r in rings[1:]])
        if not poly.is_valid:
            fail(name, f"invalid polygon: {explain_validity(poly)}")
        shapes.append(poly)
    total = sum(p.area for p in shapes)
    # The band as one MultiPolygon (as GeoJSON holds it): its polygons meet at points at most.
    if shapes and not MultiPolygon(shapes).is_valid:
        fail(name, f"invalid band: {explain_validity(MultiPolygon(shapes))}")
    if len(shapes) > 1 and all(p.is_valid for p in shapes):
        union = unary_union(shapes).area
        if abs(union - total) > 1e-9 * max(1.0, total):
            fail(name, f"polygons overlap (union {union}, sum {total})")
    return total


def peer_area(z, lower, upper):
    """contourpy's serial filled() area for lower < z <= upper (masked cells left out)."""
    zm = np.ma.masked_invalid(z)
    gen = contourpy.contour_generator(z=zm, name="serial", corner_mask=False,
                                      fill_type=contourpy.FillType.OuterOffset)
    points, offsets = gen.filled(lower, upper)
    area = 0.0
    for pts, offs in zip(points, offsets):
        for k in range(len(offs) - 1):
            ring = pts[offs[k]:offs[k + 1]]
            closed = np.vstack([ring, ring[:1]]) if not np.array_equal(ring[0], ring[-1]) else ring
            a = abs(signed_area(closed))
            area += a if k == 0 else -a
    return area


def valid_area(z, mask):
    bad = ~np.isfinite(z) & ~np.isinf(z)
    if mask is not None:
        bad |= mask.astype(bool)
    cell_bad = bad[:-1, :-1] | bad[1:, :-1] | bad[:-1, 1:] | bad[1:, 1:]
    return float(np.count_nonzero(~cell_bad))


def check(tool, name, z, levels, mask=None, peer=True):
    for saddle in ("above", "below", "centre"):
        bands = run(tool, z, levels, saddle, mask)
        areas = [check_band(f"{name} {saddle} band {lo}..{up}", polys) for lo, up, polys in bands]
        want = valid_area(z, mask)
        if abs(sum(areas) - want) > 1e-9 * want:
            fail(f"{name} {saddle}", f"bands cover {sum(areas)}, unmasked area {want}")
        if saddle != "centre" or not peer:
            continue
        zp = z if mask is None else np.where(mask.astype(bool), np.nan, z)
        finite = zp[np.isfinite(zp)]
        lo_all, hi_all = float(finite.min()) - 1.0, float(finite.max()) + 1.0
        for (lo, up, _), ours in zip(bands, areas):
            theirs = peer_area(zp, lo if np.isfinite(lo) else lo_all,
                               up if np.isfinite(up) else hi_all)
            if abs(ours - theirs) > 1e-9 * max(1.0, want):
                fail(f"{name} band {lo}..{up}", f"area {ours}, contourpy {theirs}")


def main():
    tool = sys.argv[1]  # isocontour
    for t in (0.0, 0.7, 1.3, 2.9):
        # The peer gets no infinite values right: compare areas only on finite frames.
        z = charge_frame(t)
        check(tool, f"frame t={t}", z, [0.3, 0.45, 0.6, 0.9, 1.5, 4.0],
              peer=bool(np.all(np.isfinite(z))))
    for seed in range(4):
        z = smoothed(90 + 7 * seed, 120 - 5 * seed, seed, 2.5)
        levels = list(np.quantile(z, [0.1, 0.3, 0.5, 0.55, 0.8]))
        check(tool, f"smoothed seed={seed}", z, levels)
        holes = z.copy()
        rng = np.random.default_rng(100 + seed)
        for _ in range(25):
            r, c = rng.integers(0, z.shape[0]), rng.integers(0, z.shape[1])
            holes[max(r - 2, 0):r + rng.integers(1, 4), max(c - 1, 0):c + rng.integers(1, 4)] = np.nan
        check(tool, f"NaN holes seed={seed}", holes, levels)
        mask = rng.random(z.shape) < 0.03
        check(tool, f"mask seed={seed}", z, levels, mask=mask)
        plateaus = np.round(smoothed(70, 60 + seed, 200 + seed, 1.5) * 8) / 4
        check(tool, f"plateaus seed={seed}", plateaus, [-0.5, -0.25, 0.0, 0.25, 0.5])
    for line in FAILURES[:40]:
        print(line)
    if FAILURES:
        print(f"{len(FAILURES)} failures")
        return 1
    print("filled bands: valid, tiling and matching contourpy")
    return 0


if __name__ == "__main__":
    sys.exit(main())
