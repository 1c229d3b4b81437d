#!/usr/bin/python3
"""Compares isocontour's lines with contourpy's and scikit-image's on the same arrays.

Each case writes its arrays as .npy (or raw float32, x-major, for the charges' frames), runs
isocontour --csv, and runs the peers on the same arrays in the same process. For each
level it checks: the same set of crossing points (points closer than the tolerance merged, as
many on both sides, each within the tolerance of one on the other side), the same pieces between
consecutive points (as a multiset), and the same number of lines and of closed ones (a closed
line repeats its first point). On plateaus exactly at the level the line counts are reported,
not compared: where lines touch at a node on the level, or run along a row of such nodes and
back, each library cuts the same pieces into lines its own way (skimage joins lines that share
a point into one; contourpy also returns a zero-length line around an isolated node at the
level, which is left out).

Each saddle rule is compared with the peer that shares it, which the script checks first on a
single saddle cell rather than taking from the peers' documentation:
  above   skimage.measure.find_contours(fully_connected='high')
  below   skimage.measure.find_contours(fully_connected='low')
  centre  contourpy 'serial' with quad_as_tri=False and corner_mask=False (the mean of the four
          corners decides; a cell with a masked corner yields nothing, as ours); with our
          --corner-mask against corner_mask=True (a cell missing one corner is its triangle),
          and with our --log against z_interp=Log
contourpy masks infinite values as well as NaN, so fields with infinities go to skimage only.
Also checked on every output: no line has two equal consecutive points, closed lines end on
their first point; on some: --threads gives the same file, --geojson the same lines.
Exits 1 on any mismatch, 2 when the tool is missing.
"""

import argparse
import csv
import json
import os
import subprocess
import sys
import tempfile

from collections import Counter

import numpy as np
import contourpy
from scipy.ndimage import gaussian_filter
from scipy.spatial import cKDTree
from skimage import measure

from fields import charge_field, distinct

failures = []


def run_tool(tool, tmp, z, levels, saddle, x=None, y=None, mask=None, raw=False, extra=()):
    """Our lines per level: {level index: [arrays of (x, y)]}, and the CSV's path."""
    args = [tool]
    if raw:  # x-major: node (i, j) at i * ny + j
        path = os.path.join(tmp, "z.f32")
        z.astype(np.float32).tofile(path)
        args += [path, "--size", f"{z.shape[0]},{z.shape[1]}"]
    else:
        path = os.path.join(tmp, "z.npy")
        np.save(path, z)
        args.append(path)
    for flag, array in (("--x", x), ("--y", y), ("--mask", mask)):
        if array is not None:
            np.save(os.path.join(tmp, flag[2:] + ".npy"), array)
            args += [flag, os.path.join(tmp, flag[2:] + ".npy")]
    out = os.path.join(tmp, "lines.csv")
    args += ["--levels", ",".join(repr(float(v)) for v in levels), "--saddle", saddle,
             "--csv", out, *extra]
    subprocess.run(args, check=True)
    # Lines are numbered across the levels in the order given; a level may have none.
    single = raw or z.dtype == np.float32
    given = [float(np.float32(v)) if single else float(v) for v in levels]
    per_level = {}
    with open(out, newline="") as f:
        rows = csv.reader(f)
        assert next(rows)[:4] == ["line", "level", "x", "y"]
        lines, level_of = {}, {}
        for row in rows:
            k = int(row[0])
            lines.setdefault(k, []).append((float(row[2]), float(row[3])))
            level_of[k] = given.index(float(np.float32(row[1])) if single else float(row[1]))
    for k in sorted(lines):
        per_level.setdefault(level_of[k], []).append(np.array(lines[k]))
    return per_level, out


def closed(line):
    return len(line) > 2 and np.array_equal(line[0], line[-1])


def segments(lines, tree):
    """The multiset of undirected pieces between consecutive points, each point named by its
    nearest merged point."""
    out = Counter()
    for line in lines:
        ids = tree.query(line)[1]
        out.update((min(a, b), max(a, b)) for a, b in zip(ids[:-1], ids[1:]) if a != b)
    return out


def compare(name, ours, theirs, tol, joins=True):
    """Records a failure unless the two lists of lines agree (see the module's text). With
    joins=False (nodes exactly at the level) the lines need not be joined alike, only made of
    the same pieces: where lines touch at such a node, or run there and back along a row of
    them, each library chooses its own way to cut them into lines."""
    problems, notes = [], []
    for line in ours:
        if len(line) < 2 or np.any(np.all(line[1:] == line[:-1], axis=1)):
            problems.append("a line of ours with fewer than two points or a repeated point")
            break
    # contourpy returns a line of one repeated point around an isolated node at the level.
    dots = [line for line in theirs if np.all(line == line[0])]
    if dots:
        theirs = [line for line in theirs if not np.all(line == line[0])]
        notes.append(f"peer's {len(dots)} zero-length lines left out")
    c_ours, c_theirs = sum(map(closed, ours)), sum(map(closed, theirs))
    if len(ours) != len(theirs) or c_ours != c_theirs:
        (problems if joins else notes).append(
            f"{len(ours)} lines ({c_ours} closed), peer {len(theirs)} ({c_theirs})")
    mine = distinct(np.concatenate(ours) if ours else np.zeros((0, 2)), tol)
    peer = distinct(np.concatenate(theirs) if theirs else np.zeros((0, 2)), tol)
    if len(mine) != len(peer):
        problems.append(f"{len(mine)} distinct points, peer {len(peer)}")
    elif len(mine):
        worst = max(cKDTree(peer).query(mine)[0].max(), cKDTree(mine).query(peer)[0].max())
        if worst > tol:
            problems.append(f"points {worst:.3g} apart (tolerance {tol:.1g})")
        elif segments(ours, cKDTree(mine)) != segments(theirs, cKDTree(mine)):
            problems.append("not the same pieces between consecutive points")
    status = "; ".join(problems) if problems else "ok"
    print(f"  {name}: {len(ours)} lines ({c_ours} closed), {len(mine)} points: {status}"
          + "".join(f" ({n})" for n in notes))
    if problems:
        failures.append(name)


def skimage_lines(z, level, rule, mask=None, x=None, y=None, transpose=False):
    """skimage's lines as (x, y): its (row, col) is (y, x), or (x, y) for the x-major layout."""
    keep = None if mask is None else ~mask
    out = []
    for c in measure.find_contours(z.astype(np.float64), level,
                                   fully_connected="high" if rule == "above" else "low", mask=keep):
        row, col = c[:, 0], c[:, 1]
        if x is not None:  # rectilinear: interpolate each index along its coordinates
            col = np.interp(col, np.arange(len(x)), x)
            row = np.interp(row, np.arange(len(y)), y)
        out.append(np.column_stack((row, col) if transpose else (col, row)))
    return out


def contourpy_lines(z, level, mask=None, x=None, y=None, transpose=False, corner_mask=False,
                    log=False):
    zz = np.ma.array(z.astype(np.float64), mask=mask) if mask is not None else z
    gen = contourpy.contour_generator(x=x, y=y, z=zz, name="serial", corner_mask=corner_mask,
                                      quad_as_tri=False, line_type=contourpy.LineType.Separate,
                                      z_interp="Log" if log else "Linear")
    lines = gen.lines(float(level))
    return [line[:, ::-1] for line in lines] if transpose else list(lines)


def check_peer_rules():
    """Which corners each peer joins in the saddle cell z = [[1, 0], [0, 1]] (z[row][col]): at
    level 0.4 the crossings lie 0.4 from the 0 corners, at 0.6 0.4 from the 1 corners."""
    z = np.array([[1.0, 0.0], [0.0, 1.0]])
    joined = {  # (level, corners joined): the two segments, each cutting off a corner
        (0.4, "above"): [((0.6, 0), (1, 0.4)), ((0, 0.6), (0.4, 1))],
        (0.4, "below"): [((0, 0.6), (0.6, 0)), ((0.4, 1), (1, 0.4))],
        (0.6, "above"): [((0.4, 0), (1, 0.6)), ((0, 0.4), (0.6, 1))],
        (0.6, "below"): [((0, 0.4), (0.4, 0)), ((0.6, 1), (1, 0.6))],
    }

    def pairs(lines):
        return {tuple(sorted(tuple(np.round(p, 9).tolist()) for p in line)) for line in lines}

    for what, lines, level, rule in (
            ("skimage 'high' joins the corners above, at 0.4", skimage_lines(z, 0.4, "above"),
             0.4, "above"),
            ("skimage 'high' joins the corners above, at 0.6", skimage_lines(z, 0.6, "above"),
             0.6, "above"),
            ("skimage 'low' joins the corners below, at 0.4", skimage_lines(z, 0.4, "below"),
             0.4, "below"),
            ("skimage 'low' joins the corners below, at 0.6", skimage_lines(z, 0.6, "below"),
             0.6, "below"),
            ("contourpy serial, mean 0.5 above level 0.4, joins above", contourpy_lines(z, 0.4),
             0.4, "above"),
            ("contourpy serial, mean 0.5 below level 0.6, joins below", contourpy_lines(z, 0.6),
             0.6, "below")):
        want = {tuple(sorted(tuple(float(v) for v in p) for p in s)) for s in joined[level, rule]}
        ok = pairs(lines) == want
        print(f"  {what}: {'yes' if ok else 'NO, ' + str(pairs(lines))}")
        if not ok:
            failures.append(what)


def smooth(shape, sigma, seed):
    rng = np.random.default_rng(seed)
    return gaussian_filter(rng.standard_normal(shape), sigma)


def case(tool, tmp, name, z, levels, rules, x=None, y=None, mask=None, raw=False, tol=1e-9,
         joins=True, corner_mask=False, log=False):
    """Runs our tool once per rule and compares each level with the rule's peer (with
    corner_mask or log, the centre rule against contourpy alone)."""
    scale = max(1.0, *(float(np.nanmax(np.abs(a))) for a in (x, y) if a is not None), *z.shape)
    extra = ("--corner-mask",) * corner_mask + ("--log",) * log
    for rule in rules:
        ours, _ = run_tool(tool, tmp, z, levels, rule, x, y, mask, raw, extra)
        for m, given in enumerate(levels):
            # The level as the field's type has it: float32 levels are rounded like the values.
            level = float(np.float32(given)) if raw or z.dtype == np.float32 else given
            if rule == "centre":
                theirs = contourpy_lines(z, level, mask, x, y, transpose=raw,
                                         corner_mask=corner_mask, log=log)
            else:
                theirs = skimage_lines(z, level, rule, mask, x, y, transpose=raw)
            compare(f"{name}, level {level:g}, {rule}", ours.get(m, []), theirs, tol * scale,
                    joins)


def same_outputs(tool, tmp, z, levels):
    """--threads 3 writes the same CSV as one thread; --geojson holds the CSV's lines."""
    _, one = run_tool(tool, tmp, z, levels, "above")
    first = open(one, "rb").read()
    geo = os.path.join(tmp, "lines.json")
    per_level, three = run_tool(tool, tmp, z, levels, "above",
                                extra=("--threads", "3", "--geojson", geo))
    ok = open(three, "rb").read() == first
    doc = json.load(open(geo))
    ok = ok and doc["type"] == "FeatureCollection" and len(doc["features"]) == len(levels)
    for m, feature in enumerate(doc["features"]):
        coords = feature["geometry"]["coordinates"]
        ok = ok and feature["properties"]["level"] == levels[m]
        ok = ok and [np.array(c).tolist() for c in coords] == [
            line.tolist() for line in per_level.get(m, [])]
    print(f"  three threads give the same CSV, GeoJSON the same lines: {'yes' if ok else 'NO'}")
    if not ok:
        failures.append("threads or GeoJSON")


def refusals(tool, tmp):
    """Bad input: exit 2 with one line on stderr; a failed write exit 1; no output either way."""
    def save(name, array):
        np.save(os.path.join(tmp, name), array)
        return os.path.join(tmp, name)
    z = save("z.npy", np.arange(12.0).reshape(3, 4))
    raw = os.path.join(tmp, "four.f32")
    np.zeros(4, np.float32).tofile(raw)
    out = os.path.join(tmp, "refused.csv")
    cases = [
        ([os.path.join(tmp, "missing.npy"), "--levels", "1"], 2),
        ([save("ints.npy", np.zeros((3, 4), np.int32)), "--levels", "1"], 2),
        ([save("cube.npy", np.zeros((2, 3, 4))), "--levels", "1"], 2),
        ([save("row.npy", np.zeros(4)), "--levels", "1"], 2),
        ([z, "--levels", "1", "--mask", save("m.npy", np.zeros((4, 3), bool))], 2),
        ([z, "--levels", "1", "--mask", z], 2),
        ([z, "--levels", "1", "--x", save("x.npy", np.arange(5.0)), "--y",
          save("y.npy", np.arange(3.0))], 2),
        ([z, "--levels", "1", "--x", save("xx.npy", np.zeros((4, 3))), "--y",
          save("yy.npy", np.zeros((3, 4)))], 2),
        ([save("flat.npy", np.ones((3, 4))), "--nlevels", "3"], 2),
        ([save("z32.npy", np.zeros((3, 4), np.float32)), "--levels", "1e39"], 2),
        ([raw, "--size", "3,3", "--levels", "1"], 2),
        ([z, "--levels", "1", "--saddle", "up"], 2),
        ([z, "--levels", "1", "--svg", tmp], 2),  # a folder: refused before any file is written
        ([z, "--levels", "1", "--svg", os.path.join(tmp, "no", "such.svg")], 2),
    ]
    for args, code in cases:
        r = subprocess.run([tool, *args, "--csv", out], capture_output=True, text=True)
        ok = (r.returncode == code and r.stderr.count("\n") == 1 and not r.stdout
              and not os.path.exists(out))
        print(f"  {' '.join(os.path.basename(a) for a in args)}: exit {r.returncode}, "
              f"{r.stderr.strip()!r}{'' if ok else ' UNEXPECTED'}")
        if not ok:
            failures.append(" ".join(args))
        if os.path.exists(out):
            os.remove(out)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--tool", required=True, help="the isocontour program")
    tool = parser.parse_args().tool
    if not os.access(tool, os.X_OK):
        print(f"compare_lines: no program at {tool}", file=sys.stderr)
        return 2
    print("The peers' saddle rules:")
    check_peer_rules()
    with tempfile.TemporaryDirectory() as tmp:
        print("The charges' frames (80 x 80 float32, raw x-major):")
        for t in (0.0, 0.35, 1.3, 2.2, 3.7):
            z = picture_at(t)
            finite = bool(np.isfinite(z).all())
            case(tool, tmp, f"t = {t}", z, [0.3, 0.6, 1.5],
                 ["above", "below"] + (["centre"] if finite else []), raw=True, tol=1e-6)

        print("Smoothed random fields (float64, many small closed loops):")
        for seed, shape, sigma in ((1, (97, 131), 2.0), (2, (64, 64), 1.5), (3, (150, 40), 3.0)):
            z = smooth(shape, sigma, seed)
            levels = [0.0, float(np.std(z)) * 0.7, -float(np.std(z)) * 1.3]
            case(tool, tmp, f"seed {seed} {shape}", z, levels, ["above", "below", "centre"])
        # Fortran order, read in place.
        z = np.asfortranarray(smooth((70, 90), 2.0, 4))
        case(tool, tmp, "Fortran order (70, 90)", z, [0.0], ["above", "centre"])
        same_outputs(tool, tmp, smooth((200, 170), 2.5, 5), [-0.05, 0.0, 0.05])

        print("NaN holes and masks:")
        z = smooth((90, 110), 2.0, 6)
        rng = np.random.default_rng(7)
        rows, cols = np.mgrid[0:90, 0:110]
        holes = np.zeros(z.shape, bool)
        for _ in range(8):
            r, c, radius = rng.uniform(0, 90), rng.uniform(0, 110), rng.uniform(2, 9)
            holes |= (rows - r) ** 2 + (cols - c) ** 2 < radius ** 2
        holes[0, :5] = True  # on the border too
        with_nan = np.where(holes, np.nan, z)
        case(tool, tmp, "NaN holes", with_nan, [0.0, 0.05], ["above", "below", "centre"])
        case(tool, tmp, "mask", z, [0.0, 0.05], ["above", "below", "centre"], mask=holes)
        case(tool, tmp, "NaN holes, corner mask", with_nan, [0.0, 0.05], ["centre"],
             corner_mask=True)
        speckle = rng.random(z.shape) < 0.08  # many cells missing one corner
        case(tool, tmp, "speckled mask, corner mask", z, [0.0, -0.04, 0.1], ["centre"],
             mask=speckle, corner_mask=True)
        case(tool, tmp, "log interpolation", np.exp(3 * z), [1.0, 0.7, 1.6], ["centre"],
             mask=speckle, log=True)

        print("Plateaus exactly at the level:")
        q = np.round(smooth((80, 100), 2.0, 8) * 6) / 2  # steps of 0.5, wide flat regions
        case(tool, tmp, "steps of 0.5", q, [0.0, 0.5, -1.0], ["above", "below", "centre"],
             joins=False)
        blocks = np.zeros((12, 14))
        blocks[2:6, 3:9] = 1
        blocks[7:10, 2:5] = 1
        blocks[4, 10] = 1
        case(tool, tmp, "blocks of 0 and 1", blocks, [0.0, 1.0, 0.5], ["above", "below", "centre"],
             joins=False)

        print("Non-square, rectilinear and curvilinear grids:")
        rng = np.random.default_rng(9)
        z = smooth((60, 140), 2.0, 10)
        x = np.cumsum(rng.uniform(0.2, 2.0, 140)) - 30
        y = np.cumsum(rng.uniform(0.5, 1.5, 60))
        case(tool, tmp, "rectilinear (60, 140)", z, [0.0, 0.06], ["above", "below", "centre"],
             x=x, y=y)
        xx, yy = np.meshgrid(x, y)
        case(tool, tmp, "curvilinear (60, 140)", z, [0.0, 0.06], ["centre"],
             x=xx + 0.3 * yy, y=yy - 0.1 * xx)
        print("Refusals:")
        refusals(tool, tmp)
    if failures:
        print(f"compare_lines: {len(failures)} mismatches", file=sys.stderr)
        return 1
    print("compare_lines: ok")
    return 0


def picture_at(t):
    """The charges' 80 x 80 field at time t."""
    return charge_field(80, np.float32(t))


if __name__ == "__main__":
    sys.exit(main())
