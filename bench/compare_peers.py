#!/usr/bin/python3
"""Times the project's contour extraction against the Python peers on the benchmark picture.

For each size N the picture (the demo's three charges at t = 1.3 s, node (a, b) sampled at
(a * 79 / (N - 1), b * 79 / (N - 1))) is built once here in float32 with the same operations as the
C++ core, written as raw float32 (node (a, b) at a * N + b), and timed in the same run by:
  - gradient-bench-contour, the project's timer (the extraction alone, median of R runs);
  - contourpy 'serial': lines() on a ready generator, and the whole call with generator creation;
  - contourpy 'mpl2005': lines() on a ready generator;
  - skimage.measure.find_contours(fully_connected='high').
It prints one table, and checks on every N that our distinct crossing points are skimage's: as
many of them (points closer than the tolerance merged, on either side), every point of ours
within the tolerance of one of skimage's, and every one of skimage's within the tolerance of one
of ours. Exits 1 when a check fails.

With --python (or --python-only) it also times the isocontour module's whole call from Python
against the C++ library on the same array and against contourpy and skimage, at N = 80 and 4096
(--python-sizes), on the benchmark picture and on a smoothed random field.
"""

import argparse
import math
import os
import statistics
import subprocess
import sys
import tempfile
import time

import numpy as np
import contourpy
from scipy.sparse import coo_matrix
from scipy.sparse.csgraph import connected_components
from scipy.spatial import cKDTree
from skimage import measure

F32 = np.float32
PICTURE_TIME = F32(1.3)
THRESHOLD = F32(0.6)
SIZES = (80, 256, 1024, 2048, 4096)
TOLERANCE = 1e-4


def charges(t):
    """The three charge positions at t, as PlaceCharges makes them (float32 throughout)."""
    t2 = F32(t + t)
    s1, c1 = F32(math.sin(float(t))), F32(math.cos(float(t)))
    s2, c2 = F32(math.sin(float(t2))), F32(math.cos(float(t2)))
    offs = F32(40)
    return [(offs + s1 * F32(20), offs + c1 * F32(20)),
            (offs + s2 * F32(5), offs + c1 * F32(5)),
            (offs + s1 * F32(25), offs + c2 * F32(25))]


def picture(n):
    """The n x n field as an (n, n) float32 array: row a, column b holds node (a, b)."""
    spacing = F32(79.0 / (n - 1))
    coord = np.arange(n, dtype=F32) * spacing
    px = coord[:, None]
    py = coord[None, :]
    total = np.zeros((n, n), dtype=F32)
    for cx, cy in charges(PICTURE_TIME):
        dx = px - cx
        dy = py - cy
        sq = dx * dx + dy * dy  # float32 products and sum
        length = np.sqrt(sq.astype(np.float64)).astype(F32)
        with np.errstate(divide="ignore"):
            total = total + (F32(1) / length) * F32(3)
    return total


def median_seconds(call, repeat):
    times = []
    for _ in range(repeat):
        start = time.perf_counter()
        call()
        times.append(time.perf_counter() - start)
    return statistics.median(times)


def ours(timer, path, n, repeat, points_path):
    out = subprocess.run([timer, "--field", path, "--size", str(n), "--threshold",
                          repr(float(THRESHOLD)), "--repeat", str(repeat), "--points", points_path],
                         check=True, capture_output=True, text=True).stdout.split()
    fields = dict(zip(out[0::2], out[1::2]))
    points = np.fromfile(points_path, dtype=F32).reshape(-1, 2).astype(np.float64)
    return float(fields["median_us"]) * 1e-6, int(fields["end_points"]), points


def distinct(points, radius):
    """The points with every cluster closer than radius merged: one crossing that two cells
    interpolated from opposite ends of their shared edge counts once."""
    if len(points) == 0:
        return points
    points = np.unique(points, axis=0)
    pairs = cKDTree(points).query_pairs(radius, output_type="ndarray")
    graph = coo_matrix((np.ones(len(pairs)), (pairs[:, 0], pairs[:, 1])),
                       shape=(len(points), len(points)))
    count, label = connected_components(graph, directed=False)
    _, first = np.unique(label, return_index=True)
    return points[np.sort(first)]


def check_points(n, our_points, contours):
    """Two-way nearest-neighbour match within the tolerance; returns (ok, message)."""
    theirs = np.concatenate(contours) if contours else np.zeros((0, 2))
    # Our end points are float32: a coordinate near n - 1 is rounded to half its unit in the
    # last place, which exceeds 1e-4 from n = 2048 on (1.2e-4 there); the tolerance is one unit
    # in the last place of the largest coordinate when that is above 1e-4.
    tol = max(TOLERANCE, float(np.spacing(F32(n - 1))))
    mine = distinct(our_points, tol)
    theirs = distinct(theirs, tol)
    if len(mine) == 0 or len(theirs) == 0:
        ok = len(mine) == len(theirs)
        return ok, f"{len(mine)} vs {len(theirs)} points"
    d_mine, _ = cKDTree(theirs).query(mine)
    d_theirs, _ = cKDTree(mine).query(theirs)
    worst = max(d_mine.max(), d_theirs.max())
    ok = worst <= tol and len(mine) == len(theirs)
    return ok, (f"{len(mine)} distinct of ours, {len(theirs)} of skimage's, "
                f"largest distance {worst:.2e} (tolerance {tol:.1e})")


def growth(sizes, seconds):
    """The exponent k of a least-squares fit time ~ N^k over the sizes from 256 up."""
    pts = [(math.log(n), math.log(t)) for n, t in zip(sizes, seconds) if n >= 256 and t > 0]
    if len(pts) < 2:
        return None
    mx = sum(x for x, _ in pts) / len(pts)
    my = sum(y for _, y in pts) / len(pts)
    return (sum((x - mx) * (y - my) for x, y in pts) /
            sum((x - mx) ** 2 for x, _ in pts))


def repeats(n):
    # At least 11 runs: at the largest sizes the first few passes over a fresh field run slower
    # while the caches settle, for every contender alike; the median then lies past them.
    return max(11, min(200, int(4e7 / (n * n))))


# --- The Python-level table: isocontour's whole call from Python against the peers -------------
#
# The array is in memory before any clock starts; every figure is a median in this one run.
# "C++" is gradient-bench-contour timing the library on the same array read from a .npy file, so
# ours / C++ is what the binding adds (argument checks, no copy, arrays made from the library's
# vectors). contourpy runs its serial algorithm with its fastest line and fill types.

PYTHON_SIZES = (80, 4096)


def python_fields(n):
    """(name, z, level, (lower, upper)) for the benchmark picture and a smoothed random field
    (standard normal noise, seed 1, Gaussian-smoothed with sigma = n / 200 nodes, level 0)."""
    from scipy.ndimage import gaussian_filter
    z = picture(n)
    yield "picture", z, float(THRESHOLD), (float(THRESHOLD), 1.2)
    noise = np.random.default_rng(1).standard_normal((n, n))
    smooth = gaussian_filter(noise, n / 200.0, mode="nearest")
    yield "smoothed", smooth, 0.0, (0.0, float(smooth.std()))


def cpp_seconds(timer, path, extra, repeat):
    out = subprocess.run([timer, "--npy", path, "--repeat", str(repeat)] + extra, check=True,
                         capture_output=True, text=True).stdout.split()
    return float(dict(zip(out[0::2], out[1::2]))["median_us"]) * 1e-6


def python_rows(ic, timer, sizes):
    """One row per (field, N): milliseconds and the ratios the targets are stated in."""
    rows = []
    with tempfile.TemporaryDirectory() as tmp:
        for n in sizes:
            r = repeats(n)
            for name, z, level, (lower, upper) in python_fields(n):
                path = os.path.join(tmp, f"{name}{n}.npy")
                np.save(path, z)
                ours = median_seconds(lambda: ic.lines(z, level), r)
                ours_filled = median_seconds(lambda: ic.filled(z, lower, upper), r)
                cpp = cpp_seconds(timer, path, ["--lines", "--levels", repr(level)], r)
                cpp_filled = cpp_seconds(timer, path, ["--filled", "--levels",
                                                       f"{lower!r},{upper!r}"], r)
                gen = contourpy.contour_generator(z=z, name="serial",
                                                  line_type="ChunkCombinedOffset",
                                                  fill_type="ChunkCombinedOffsetOffset")
                cp_lines = median_seconds(lambda: gen.lines(level), r)
                cp_whole = median_seconds(lambda: contourpy.contour_generator(
                    z=z, name="serial", line_type="ChunkCombinedOffset").lines(level), r)
                cp_filled = median_seconds(lambda: gen.filled(lower, upper), r)
                sk = median_seconds(
                    lambda: measure.find_contours(z, level, fully_connected="high"),
                    min(r, 11))
                rows.append((name, n, ours, cpp, cp_lines, cp_whole, sk, ours_filled,
                             cpp_filled, cp_filled))
    return rows


def print_python_table(rows):
    header = ("field", "N", "lines", "C++", "contourpy", "cp whole", "skimage", "/C++",
              "/contourpy", "/cp whole", "/skimage", "filled", "C++", "contourpy", "/contourpy")
    cells = []
    for name, n, ours, cpp, cp, whole, sk, filled, cpp_filled, cp_filled in rows:
        ms = lambda v: f"{v * 1e3:.3f}"  # noqa: E731
        cells.append((name, str(n), ms(ours), ms(cpp), ms(cp), ms(whole), ms(sk),
                      f"{ours / cpp:.2f}", f"{ours / cp:.3f}", f"{ours / whole:.3f}",
                      f"{ours / sk:.3f}", ms(filled), ms(cpp_filled), ms(cp_filled),
                      f"{filled / cp_filled:.3f}"))
    print("From Python: median milliseconds of one whole call (isocontour.lines and .filled), "
          "the array in memory:")
    widths = [max(len(h), *(len(c[i]) for c in cells)) for i, h in enumerate(header)]
    print("| " + " | ".join(h.rjust(w) for h, w in zip(header, widths)) + " |")
    print("|" + "|".join("-" * (w + 1) + ":" for w in widths) + "|")
    for c in cells:
        print("| " + " | ".join(v.rjust(w) for v, w in zip(c, widths)) + " |")


def python_table(timer, module_dir, sizes):
    """Prints the Python-level table; 2 when the module is not built."""
    sys.path.insert(0, module_dir)
    try:
        import isocontour
    except ImportError as error:
        print(f"compare_peers: no isocontour module in {module_dir} ({error}); build the "
              "default preset", file=sys.stderr)
        return 2
    print_python_table(python_rows(isocontour, timer, sizes))
    return 0


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--timer", default=os.path.join(here, "..", "build", "bin",
                                                        "gradient-bench-contour"))
    parser.add_argument("--sizes", type=int, nargs="+", default=list(SIZES))
    parser.add_argument("--python", action="store_true",
                        help="also print the Python-level table (isocontour against the peers)")
    parser.add_argument("--python-only", action="store_true",
                        help="print only the Python-level table")
    parser.add_argument("--python-sizes", type=int, nargs="+", default=list(PYTHON_SIZES))
    parser.add_argument("--module-dir", default=os.path.join(here, "..", "build", "python"))
    args = parser.parse_args()
    if not os.access(args.timer, os.X_OK):
        print(f"compare_peers: no timer at {args.timer} (build the default preset)",
              file=sys.stderr)
        return 2
    if args.python_only:
        return python_table(args.timer, args.module_dir, args.python_sizes)

    header = ("N", "serial lines()", "serial whole", "mpl2005", "skimage", "ours", "ours/best")
    rows, failures, notes, timings = [], 0, [], []
    level = float(THRESHOLD)
    with tempfile.TemporaryDirectory() as tmp:
        for n in args.sizes:
            z = picture(n)
            field_path = os.path.join(tmp, f"field{n}.f32")
            points_path = os.path.join(tmp, f"points{n}.f32")
            z.tofile(field_path)
            r = repeats(n)
            ours_s, count, our_points = ours(args.timer, field_path, n, r, points_path)

            serial = contourpy.contour_generator(z=z, name="serial")
            serial_lines = median_seconds(lambda: serial.lines(level), r)
            serial_whole = median_seconds(
                lambda: contourpy.contour_generator(z=z, name="serial").lines(level), r)
            mpl = contourpy.contour_generator(z=z, name="mpl2005")
            mpl_lines = median_seconds(lambda: mpl.lines(level), r)
            sk = median_seconds(
                lambda: measure.find_contours(z, level, fully_connected="high"), r)

            ok, message = check_points(n, our_points,
                                       measure.find_contours(z, level, fully_connected="high"))
            failures += 0 if ok else 1
            notes.append(f"N={n}: {count} end points; {message}: {'ok' if ok else 'MISMATCH'}")
            timings.append((serial_lines, serial_whole, mpl_lines, sk, ours_s))
            best = min(serial_lines, serial_whole, mpl_lines, sk)
            rows.append((str(n),) + tuple(f"{v * 1e3:.3f}" for v in
                                          (serial_lines, serial_whole, mpl_lines, sk, ours_s))
                        + (f"{ours_s / best:.3f}",))

    print("Median milliseconds per extraction, threshold 0.6 (one run, same fields):")
    widths = [max(len(h), *(len(r[i]) for r in rows)) for i, h in enumerate(header)]
    print("| " + " | ".join(h.rjust(w) for h, w in zip(header, widths)) + " |")
    print("|" + "|".join("-" * (w + 1) + ":" for w in widths) + "|")
    for r in rows:
        print("| " + " | ".join(c.rjust(w) for c, w in zip(r, widths)) + " |")
    slopes = [growth(args.sizes, column) for column in zip(*timings)] if timings else []
    if slopes and all(k is not None for k in slopes):
        print("Growth, time ~ N^k fitted over N >= 256: " +
              ", ".join(f"{name} k = {k:.2f}" for name, k in zip(header[1:6], slopes)))
    print()
    print("Crossing points against skimage:")
    for line in notes:
        print("  " + line)
    if args.python:
        print()
        if python_table(args.timer, args.module_dir, args.python_sizes):
            return 2
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
