#!/usr/bin/python3
"""Times the isocontour package's contourpy drop-in and matplotlib calls against contourpy and
matplotlib themselves, on the same arrays in the same run.

1. The whole call, as a contourpy user makes it: isocontour.contour_generator(z=z, ...) and
   lines(level) or filled(lower, upper), against contourpy.contour_generator(z=z,
   name='serial', ...) and the same call; each line type and fill type named below, on the two
   fields of bench/library_targets.py (the benchmark picture at level 0.6, band (0.6, 1.2]; the
   smoothed random field at level 0, band (0, sd / 2]; float64) at each N of --sizes (1024 and
   4096).
2. The whole draw, as a matplotlib user makes it: isocontour.mpl.contourf(ax, z, 10) against
   ax.contourf(z, 10, algorithm='serial'), from the call to the end of fig.canvas.draw() on an
   Agg canvas (a 6.4 x 4.8 inch figure at 100 dpi), on the same fields.

Wall-clock medians of --repeat runs (fewer at N = 4096), each contender alike, interleaved.

    /usr/bin/python3 bench/python_peers.py [--sizes 1024 4096] [--module-dir build/python]
"""

import argparse
import os
import statistics
import sys
import time


HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
from compare_peers import print_table  # noqa: E402
from library_targets import fields as target_fields  # noqa: E402

LINE_TYPES = ("Separate", "SeparateCode", "ChunkCombinedOffset")
FILL_TYPES = ("OuterCode", "OuterOffset", "ChunkCombinedOffset")


def fields(n):
    """(name, array, level, band) as bench/library_targets.py has them (float64, the type
    contourpy and matplotlib compute in)."""
    return [(name, z, level, band) for name, z, level, _, band, _ in target_fields(n)]


def interleaved(calls, repeat):
    """The median seconds of each call, the calls taking turns so that the machine's load weighs
    on all alike."""
    times = [[] for _ in calls]
    for _ in range(repeat):
        for k, call in enumerate(calls):
            start = time.perf_counter()
            call()
            times[k].append(time.perf_counter() - start)
    return [statistics.median(t) for t in times]


def generator_rows(ic, contourpy, sizes, repeat):
    rows = []
    for n in sizes:
        r = max(3, repeat // (4 if n >= 4096 else 1))
        for name, z, level, (lower, upper) in fields(n):
            for lt in LINE_TYPES:
                ours, theirs = interleaved([
                    lambda: ic.contour_generator(z=z, line_type=lt).lines(level),
                    lambda: contourpy.contour_generator(z=z, name="serial",
                                                        line_type=lt).lines(level)], r)
                rows.append((name, str(n), "lines", lt, f"{ours * 1e3:.2f}",
                             f"{theirs * 1e3:.2f}", f"{ours / theirs:.2f}"))
            for ft in FILL_TYPES:
                ours, theirs = interleaved([
                    lambda: ic.contour_generator(z=z, fill_type=ft).filled(lower, upper),
                    lambda: contourpy.contour_generator(z=z, name="serial",
                                                        fill_type=ft).filled(lower, upper)], r)
                rows.append((name, str(n), "filled", ft, f"{ours * 1e3:.2f}",
                             f"{theirs * 1e3:.2f}", f"{ours / theirs:.2f}"))
    return rows


def draw_rows(icm, sizes, repeat):
    import matplotlib
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt

    def whole(draw, z):
        def run():
            fig, ax = plt.subplots(figsize=(6.4, 4.8), dpi=100)
            draw(ax, z)
            fig.canvas.draw()
            plt.close(fig)
        return run

    rows = []
    for n in sizes:
        r = max(3, repeat // (4 if n >= 4096 else 1))
        for name, z, _, _ in fields(n):
            ours, theirs = interleaved([
                whole(lambda ax, z: icm.contourf(ax, z, 10), z),
                whole(lambda ax, z: ax.contourf(z, 10, algorithm="serial"), z)], r)
            rows.append((name, str(n), f"{ours * 1e3:.1f}", f"{theirs * 1e3:.1f}",
                         f"{ours / theirs:.2f}"))
    return rows


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--sizes", type=int, nargs="+", default=[1024, 4096])
    parser.add_argument("--repeat", type=int, default=11)
    parser.add_argument("--module-dir", default=os.path.join(HERE, "..", "build", "python"),
                        help="where the isocontour package is (an installed one comes after)")
    args = parser.parse_args()
    sys.path.insert(0, os.path.abspath(args.module_dir))
    import contourpy
    import isocontour
    import isocontour.mpl

    print(f"isocontour {isocontour.__version__} from {os.path.dirname(isocontour.__file__)}, "
          f"contourpy {contourpy.__version__}")
    print("The whole call, contour_generator(z=z, ...) then lines() or filled(): median ms")
    print_table(("field", "N", "call", "type", "isocontour", "contourpy", "/contourpy"),
                generator_rows(isocontour, contourpy, args.sizes, args.repeat))
    print()
    import matplotlib
    print(f"The whole draw to an Agg canvas, contourf with 10 levels (matplotlib "
          f"{matplotlib.__version__}): median ms")
    print_table(("field", "N", "isocontour.mpl", "ax.contourf", "/matplotlib"),
                draw_rows(isocontour.mpl, args.sizes, args.repeat))
    return 0


if __name__ == "__main__":
    sys.exit(main())
