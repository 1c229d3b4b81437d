#!/usr/bin/python3
"""Times the project's contour extraction against the Python peers on the benchmark picture.

Part one, the demo's core (separate segments):

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

Part two, the contouring library's joined lines (gradient-bench-contour --lines --npy), at
N = --lines-size (4096) on two fields written as .npy: the picture at level 0.6, and a smoothed
random field (standard normal noise in float32, seed 12345, scipy's gaussian_filter with sigma
N / 200, level 0). Against contourpy 'serial' lines() on a ready generator with its fastest line
type (each type timed, the fastest kept), in the same run:
  - one level, one thread; ours on the float32 array and on a float64 copy, each call returning
    a fresh result (and, for comparison, calls that keep their output and Workspace);
  - ten levels in one call, against ten lines() calls;
  - two threads against one;
  - the memory our call holds beyond its output, against the input's size;
  - how the one-level times grow with N (--growth-sizes).

One-thread figures are processor time (the process's, median over the runs): on a machine
shared with other work it is what the call costs, where wall-clock time also counts waiting for
a core. The threads table is wall-clock, as a speed-up must be.

Part three, the library's filled bands (gradient-bench-contour --filled --npy) at N =
--filled-size (4096) on the same two fields: one band (the picture between 0.6 and 1.2, the
random field between 0 and half its standard deviation) against contourpy 'serial' filled() with
its fastest fill type; ten bands (eleven levels over the lines' range) in one call against ten
filled() calls; and two threads against one (all wall-clock time).

With --python (or --python-only) it also times the isocontour module's whole call from Python
against the C++ library on the same array and against contourpy and skimage, at N = 80 and 4096
(--python-sizes), on the benchmark picture and on a smoothed random field (wall-clock, each
round of ours interleaved with a round of the C++ timer).
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
from scipy.ndimage import gaussian_filter
from scipy.spatial import cKDTree
from skimage import measure

# The charges' field, shared with the library's peer tests.
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "isocontour",
                                "tests", "peers"))
from fields import charge_field, distinct  # noqa: E402

F32 = np.float32
PICTURE_TIME = F32(1.3)
THRESHOLD = F32(0.6)
SIZES = (80, 256, 1024, 2048, 4096)
TOLERANCE = 1e-4
LINE_SIZE = 4096
GROWTH_SIZES = (256, 512, 1024, 2048, 4096)
RANDOM_SEED = 12345
PICTURE_LEVELS = (0.15, 0.2, 0.25, 0.3, 0.4, 0.5, 0.6, 0.8, 1.0, 1.5)


def picture(n):
    """The benchmark picture: the n x n field at PICTURE_TIME as an (n, n) float32 array."""
    return charge_field(n, PICTURE_TIME)


def median_seconds(call, repeat, clock=time.perf_counter):
    times = []
    for _ in range(repeat):
        start = clock()
        call()
        times.append(clock() - start)
    return statistics.median(times)


def median_cpu(call, repeat):
    """The median processor time of the process: contourpy's serial calls run on one thread."""
    return median_seconds(call, repeat, time.process_time)


def ours(timer, path, n, repeat, points_path):
    out = subprocess.run([timer, "--field", path, "--size", str(n), "--threshold",
                          repr(float(THRESHOLD)), "--repeat", str(repeat), "--points", points_path],
                         check=True, capture_output=True, text=True).stdout.split()
    fields = dict(zip(out[0::2], out[1::2]))
    points = np.fromfile(points_path, dtype=F32).reshape(-1, 2).astype(np.float64)
    return float(fields["median_us"]) * 1e-6, int(fields["end_points"]), points


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


def smoothed_random(n):
    """Standard normal noise, Gaussian-smoothed with sigma n / 200 nodes, float32."""
    rng = np.random.default_rng(RANDOM_SEED)
    return gaussian_filter(rng.standard_normal((n, n), dtype=F32), sigma=n / 200)


def line_fields(n):
    """(name, array, one level, ten levels) for the lines tables."""
    z = smoothed_random(n)
    spread = float(np.std(z))
    return [("picture", picture(n), float(THRESHOLD), list(PICTURE_LEVELS)),
            ("smoothed random", z, 0.0,
             [round(spread * v, 6) for v in np.linspace(-1.5, 1.5, 10)])]


def ours_lines(timer, path, levels, repeat, threads=1, reuse=False):
    """gradient-bench-contour --lines on a .npy file: its figures as a dict of floats."""
    out = subprocess.run([timer, "--lines", "--npy", path, "--levels",
                          ",".join(repr(float(v)) for v in levels), "--repeat", str(repeat),
                          "--threads", str(threads)] + (["--reuse"] if reuse else []),
                         check=True, capture_output=True, text=True).stdout.split()
    figures = {k: float(v) for k, v in zip(out[0::2], out[1::2])}
    figures["seconds"] = figures["median_us"] * 1e-6
    figures["cpu"] = figures["cpu_us"] * 1e-6
    return figures


def contourpy_best(z, level, repeat, timer=None):
    """(seconds, line type name, generator) of contourpy serial's fastest lines(), timed by
    timer(call, repeat): processor time unless another timer is given."""
    timer = timer or median_cpu
    best = None
    for line_type in contourpy.LineType.__members__.values():
        gen = contourpy.contour_generator(z=z, name="serial", line_type=line_type)
        seconds = timer(lambda: gen.lines(level), repeat)
        if best is None or seconds < best[0]:
            best = (seconds, line_type.name, gen)
    return best


def print_table(header, rows):
    widths = [max(len(h), *(len(r[i]) for r in rows)) for i, h in enumerate(header)]
    print("| " + " | ".join(h.rjust(w) for h, w in zip(header, widths)) + " |")
    print("|" + "|".join("-" * (w + 1) + ":" for w in widths) + "|")
    for r in rows:
        print("| " + " | ".join(c.rjust(w) for c, w in zip(r, widths)) + " |")


def lines_tables(timer, tmp, n, growth_sizes):
    """Part two (see the module's text): prints its tables."""
    r = repeats(n)
    one, ten, threads, memory = [], [], [], []
    for name, z, level, levels in line_fields(n):
        path32 = os.path.join(tmp, "lines32.npy")
        path64 = os.path.join(tmp, "lines64.npy")
        np.save(path32, z)
        np.save(path64, z.astype(np.float64))
        peer, line_type, gen = contourpy_best(z, level, r)
        ours32 = ours_lines(timer, path32, [level], r)
        ours64 = ours_lines(timer, path64, [level], r)
        kept = ours_lines(timer, path32, [level], r, reuse=True)
        one.append((name, f"{int(ours32['lines'])}", f"{int(ours32['points'])}",
                    f"{peer * 1e3:.2f} ({line_type})", f"{ours32['cpu'] * 1e3:.2f}",
                    f"{ours32['cpu'] / peer:.3f}", f"{ours64['cpu'] * 1e3:.2f}",
                    f"{ours64['cpu'] / peer:.3f}", f"{kept['cpu'] * 1e3:.2f}"))

        peer_ten = median_cpu(lambda: [gen.lines(v) for v in levels], max(5, r // 4))
        ours_ten = ours_lines(timer, path32, levels, max(5, r // 4))
        ten.append((name, f"{int(ours_ten['lines'])}", f"{int(ours_ten['points'])}",
                    f"{peer_ten * 1e3:.1f}", f"{ours_ten['cpu'] * 1e3:.2f}",
                    f"{ours_ten['cpu'] / peer_ten:.3f}",
                    f"{ours_ten['cpu'] / ours32['cpu']:.2f}"))

        two = ours_lines(timer, path32, [level], r, threads=2)
        two_ten = ours_lines(timer, path32, levels, max(5, r // 4), threads=2)
        threads.append((name, f"{ours32['seconds'] * 1e3:.2f}", f"{two['seconds'] * 1e3:.2f}",
                        f"{ours32['seconds'] / two['seconds']:.2f}",
                        f"{ours_ten['seconds'] * 1e3:.2f}", f"{two_ten['seconds'] * 1e3:.2f}",
                        f"{ours_ten['seconds'] / two_ten['seconds']:.2f}"))
        for what, f in (("one level", ours32), ("one level, float64", ours64),
                        ("ten levels", ours_ten), ("one level, two threads", two),
                        ("ten levels, two threads", two_ten)):
            memory.append((name, what, f"{f['input_bytes'] / 2**20:.1f}",
                           f"{f['output_bytes'] / 2**20:.2f}",
                           f"{f['peak_extra_bytes'] / 2**20:.2f}",
                           f"{f['peak_extra_bytes'] / f['input_bytes']:.3f}"))

    print(f"Joined lines at N = {n}, one level, one thread: median processor milliseconds "
          "(ours/peer: target at most 0.1):")
    print_table(("field", "lines", "points", "contourpy serial lines()", "ours float32",
                 "ours/peer", "ours float64", "ours/peer", "ours float32, memory kept"), one)
    print()
    print(f"Ten levels at N = {n} in one call, against ten contourpy lines() calls, processor "
          "milliseconds (targets: ours/peer at most 0.1, ours/one level at most 3):")
    print_table(("field", "lines", "points", "contourpy 10 calls", "ours one call", "ours/peer",
                 "ours/one level"), ten)
    print()
    print(f"Threads at N = {n}, wall-clock milliseconds (target: two threads at least 1.6 x as "
          "fast as one):")
    print_table(("field", "1 level, 1 thread", "2 threads", "speed-up", "10 levels, 1 thread",
                 "2 threads", "speed-up"), threads)
    print()
    print("Memory our call holds beyond its output (target: at most a quarter of the input); "
          "the most it held at once less what its result holds at the end:")
    print_table(("field", "call", "input MiB", "output MiB", "extra MiB", "extra/input"), memory)
    print()

    rows, columns = [], []
    for size in growth_sizes:
        row = [str(size)]
        for name, z, level, _ in line_fields(size):
            path = os.path.join(tmp, "growth.npy")
            np.save(path, z)
            rr = repeats(size)
            peer, _, _ = contourpy_best(z, level, rr)
            ours = ours_lines(timer, path, [level], rr)
            row += [f"{int(ours['points'])}", f"{peer * 1e3:.3f}", f"{ours['cpu'] * 1e3:.3f}"]
            columns.append((name, size, peer, ours["cpu"]))
        rows.append(tuple(row))
    print("Joined lines, one level, one thread, by N: median processor milliseconds")
    print_table(("N", "picture points", "contourpy", "ours", "random points", "contourpy",
                 "ours"), rows)
    fits = []
    for name in ("picture", "smoothed random"):
        picked = [c for c in columns if c[0] == name]
        sizes = [c[1] for c in picked]
        k = [growth(sizes, [c[i] for c in picked]) for i in (2, 3)]
        fits.append(f"{name}: " + ", ".join(f"{who} k = " + ("n/a" if v is None else f"{v:.2f}")
                                            for who, v in zip(("contourpy", "ours"), k)))
    print("Growth, time ~ N^k fitted over N >= 256: " + "; ".join(fits))


def ours_filled(timer, path, levels, repeat, threads=1):
    """gradient-bench-contour --filled on a .npy file: its figures as a dict of floats."""
    out = subprocess.run([timer, "--filled", "--npy", path, "--levels",
                          ",".join(repr(float(v)) for v in levels), "--repeat", str(repeat),
                          "--threads", str(threads)],
                         check=True, capture_output=True, text=True).stdout.split()
    figures = {k: float(v) for k, v in zip(out[0::2], out[1::2])}
    figures["seconds"] = figures["median_us"] * 1e-6
    return figures


def filled_fields(n):
    """(name, array, one band's two levels, eleven levels) for the filled tables."""
    z = smoothed_random(n)
    spread = float(np.std(z))
    return [("picture", picture(n), [float(THRESHOLD), 1.2],
             [round(v, 6) for v in np.linspace(PICTURE_LEVELS[0], PICTURE_LEVELS[-1], 11)]),
            ("smoothed random", z, [0.0, round(spread * 0.5, 6)],
             [round(spread * v, 6) for v in np.linspace(-1.5, 1.5, 11)])]


def filled_tables(timer, tmp, n):
    """Part three (see the module's text): prints its tables."""
    r = repeats(n)
    one, ten, threads = [], [], []
    for name, z, band, levels in filled_fields(n):
        path = os.path.join(tmp, "filled32.npy")
        np.save(path, z)
        best = None
        for fill_type in contourpy.FillType.__members__.values():
            gen = contourpy.contour_generator(z=z, name="serial", fill_type=fill_type)
            seconds = median_seconds(lambda: gen.filled(*band), r)
            if best is None or seconds < best[0]:
                best = (seconds, fill_type.name, gen)
        peer, fill_type, gen = best
        ours = ours_filled(timer, path, band, r)
        one.append((name, f"{int(ours['polygons'])}", f"{int(ours['points'])}",
                    f"{peer * 1e3:.2f} ({fill_type})", f"{ours['seconds'] * 1e3:.2f}",
                    f"{ours['seconds'] / peer:.3f}"))
        rr = max(5, r // 4)
        peer_ten = median_seconds(
            lambda: [gen.filled(a, b) for a, b in zip(levels[:-1], levels[1:])], rr)
        ours_ten = ours_filled(timer, path, levels, rr)
        ten.append((name, f"{int(ours_ten['polygons'])}", f"{int(ours_ten['points'])}",
                    f"{peer_ten * 1e3:.1f}", f"{ours_ten['seconds'] * 1e3:.2f}",
                    f"{ours_ten['seconds'] / peer_ten:.3f}"))
        two = ours_filled(timer, path, band, r, threads=2)
        two_ten = ours_filled(timer, path, levels, rr, threads=2)
        threads.append((name, f"{ours['seconds'] * 1e3:.2f}", f"{two['seconds'] * 1e3:.2f}",
                        f"{ours['seconds'] / two['seconds']:.2f}",
                        f"{ours_ten['seconds'] * 1e3:.2f}", f"{two_ten['seconds'] * 1e3:.2f}",
                        f"{ours_ten['seconds'] / two_ten['seconds']:.2f}"))
    print(f"Filled bands at N = {n}, one band, one thread: median milliseconds (ours/peer: "
          "target at most 0.2):")
    print_table(("field", "polygons", "points", "contourpy serial filled()", "ours", "ours/peer"),
                one)
    print()
    print(f"Ten bands at N = {n} in one call, against ten contourpy filled() calls (target: "
          "at most 0.2):")
    print_table(("field", "polygons", "points", "contourpy 10 calls", "ours one call",
                 "ours/peer"), ten)
    print()
    print(f"Filled bands, threads at N = {n} (target: two threads at least 1.7 x as fast):")
    print_table(("field", "1 band, 1 thread", "2 threads", "speed-up", "10 bands, 1 thread",
                 "2 threads", "speed-up"), threads)


def repeats(n):
    # At least 11 runs: at the largest sizes the first few passes over a fresh field run slower
    # while the caches settle, for every contender alike; the median then lies past them.
    return max(11, min(200, int(4e7 / (n * n))))


# --- The Python-level table: isocontour's whole call from Python against the peers -------------
#
# The array is in memory before any clock starts; every figure is a median in this one run, on
# the fields of the lines tables. "C++" is gradient-bench-contour timing the library on the same
# array read from a .npy file, so ours / C++ is what the binding adds (argument checks, views of
# numpy's memory, arrays made from the library's vectors). contourpy runs its serial algorithm with
# its fastest line and fill types (each timed, the fastest kept); "cp whole" also creates the
# generator, as a one-off call must.

PYTHON_SIZES = (80, 4096)


def contourpy_best_filled(z, lower, upper, repeat):
    """(seconds, fill type name) of contourpy serial's fastest filled() between the levels."""
    best = None
    for fill_type in contourpy.FillType.__members__.values():
        gen = contourpy.contour_generator(z=z, name="serial", fill_type=fill_type)
        seconds = held_median(lambda: gen.filled(lower, upper), repeat)
        if best is None or seconds < best[0]:
            best = (seconds, fill_type.name)
    return best


def held_median(call, repeat):
    """median_seconds, but each result is kept until the next call has returned, as a loop
    `result = call()` does and as gradient-bench-contour does: dropping a large result first
    lets the allocator hand its pages back to the system, and the next call pays to fault them
    in again (up to 1.7 x the time of a filled call at N = 4096), which is the allocator's cost,
    not the call's."""
    held = [None]

    def keep():
        held[0] = call()

    return median_seconds(keep, repeat)


def interleaved(call, timed, rounds, few):
    """Medians of (call's seconds, timed()'s seconds) taken in alternating rounds, so that a
    change in the machine's load between the two weighs on both alike; each round times `few`
    calls (timed() is the C++ timer's median of as many)."""
    ours, theirs = [], []
    for _ in range(rounds):
        ours.append(held_median(call, few))
        theirs.append(timed())
    return statistics.median(ours), statistics.median(theirs)


def python_rows(ic, timer, sizes, tmp):
    """One row of cells per (field, N), and a note per row naming contourpy's types."""
    rows, notes = [], []
    for n in sizes:
        r = repeats(n)
        for (name, z, level, _), (_, _, band, _) in zip(line_fields(n), filled_fields(n)):
            lower, upper = band
            path = os.path.join(tmp, f"python-{n}.npy")
            np.save(path, z)
            # The C++ timer's own median of a few calls per round; the whole call from Python
            # in between.
            few = max(3, r // 11)
            ours, cpp = interleaved(lambda: ic.lines(z, level),
                                    lambda: ours_lines(timer, path, [level], few)["seconds"], 11,
                                    few)
            ours_band, cpp_band = interleaved(
                lambda: ic.filled(z, lower, upper),
                lambda: ours_filled(timer, path, band, few)["seconds"], 11, few)
            cp, line_type, _ = contourpy_best(z, level, r, held_median)
            cp_whole = held_median(lambda: contourpy.contour_generator(
                z=z, name="serial", line_type=line_type).lines(level), r)
            cp_band, fill_type = contourpy_best_filled(z, lower, upper, r)
            sk = held_median(
                lambda: measure.find_contours(z, level, fully_connected="high"), min(r, 11))
            ms = lambda v: f"{v * 1e3:.3f}"  # noqa: E731
            rows.append((name, str(n), ms(ours), ms(cpp), f"{ours / cpp:.2f}", ms(cp),
                         f"{ours / cp:.3f}", ms(cp_whole), f"{ours / cp_whole:.3f}", ms(sk),
                         f"{ours / sk:.3f}", ms(ours_band), ms(cpp_band),
                         f"{ours_band / cpp_band:.2f}", ms(cp_band), f"{ours_band / cp_band:.3f}"))
            notes.append(f"{name} N={n}: level {level:g}, band ({lower:g}, {upper:g}]; "
                         f"contourpy's fastest line type {line_type}, fill type {fill_type}")
    return rows, notes


def python_table(timer, module_dir, sizes):
    """Prints the Python-level table; 2 when the module is not built."""
    sys.path.insert(0, module_dir)
    try:
        import isocontour
    except ImportError as error:
        print(f"compare_peers: no isocontour module in {module_dir} ({error}); build the "
              "default preset", file=sys.stderr)
        return 2
    with tempfile.TemporaryDirectory() as tmp:
        rows, notes = python_rows(isocontour, timer, sizes, tmp)
    print("From Python: median milliseconds of one whole call, the array in memory (lines: "
          "isocontour.lines; filled: isocontour.filled, one band):")
    print_table(("field", "N", "lines", "C++", "/C++", "contourpy", "/cp", "cp whole",
                 "/cp whole", "skimage", "/skimage", "filled", "C++", "/C++", "contourpy", "/cp"),
                rows)
    for note in notes:
        print("  " + note)
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
    parser.add_argument("--lines-size", type=int, default=LINE_SIZE,
                        help="N of the joined lines tables (0 leaves them out)")
    parser.add_argument("--growth-sizes", type=int, nargs="*", default=list(GROWTH_SIZES))
    parser.add_argument("--filled-size", type=int, default=LINE_SIZE,
                        help="N of the filled bands tables (0 leaves them out)")
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
    print_table(header, rows)
    slopes = [growth(args.sizes, column) for column in zip(*timings)] if timings else []
    if slopes and all(k is not None for k in slopes):
        print("Growth, time ~ N^k fitted over N >= 256: " +
              ", ".join(f"{name} k = {k:.2f}" for name, k in zip(header[1:6], slopes)))
    print()
    print("Crossing points against skimage:")
    for line in notes:
        print("  " + line)
    if args.lines_size:
        print()
        with tempfile.TemporaryDirectory() as tmp:
            lines_tables(args.timer, tmp, args.lines_size, args.growth_sizes)
    if args.filled_size:
        print()
        with tempfile.TemporaryDirectory() as tmp:
            filled_tables(args.timer, tmp, args.filled_size)
    if args.python:
        print()
        if python_table(args.timer, args.module_dir, args.python_sizes):
            return 2
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
