#!/usr/bin/python3
"""Filled bands with many holes in a row: isocontour.filled against contourpy's filled() on the
same array, in one run.

The field is exp(-(r - 2.5)^2), r the distance to the nearest centre of a lattice of 10 x 10
cells: a ring-shaped island with a pit at each centre, N / 10 of them to a row. The band from 0.5
to 2 holds one polygon with one hole per island, which is the case where a hole's search for its
outer ring once cost a row's pieces times its holes. Medians of --repeat runs, wall clock.

    /usr/bin/python3 bench/pitted_islands.py [--sizes 1000,2000,4000] [--repeat 3]
"""

import argparse
import os
import statistics
import sys
import time

import numpy as np

here = os.path.dirname(os.path.abspath(__file__))


def field(n):
    y, x = np.mgrid[0:n, 0:n].astype(float)
    dx, dy = x % 10.0 - 4.7, y % 10.0 - 4.8
    return np.exp(-(np.hypot(dx, dy) - 2.5) ** 2)


def median_ms(call, repeat):
    times = []
    for _ in range(repeat):
        start = time.perf_counter()
        call()
        times.append(time.perf_counter() - start)
    return 1000 * statistics.median(times)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--sizes", default="1000,2000,4000")
    parser.add_argument("--repeat", type=int, default=3)
    parser.add_argument("--module-dir", default=os.path.join(here, "..", "build", "python"))
    args = parser.parse_args()
    sys.path.insert(0, args.module_dir)
    import contourpy
    import isocontour

    print("| N | polygons | ours (ms) | contourpy serial (ms) | ours/peer |")
    print("|---:|---:|---:|---:|---:|")
    for n in (int(s) for s in args.sizes.split(",")):
        z = field(n)
        ours = isocontour.filled(z, 0.5, 2.0)
        gen = contourpy.contour_generator(z=z, name="serial", fill_type="OuterOffset")
        t_ours = median_ms(lambda: isocontour.filled(z, 0.5, 2.0), args.repeat)
        t_peer = median_ms(lambda: gen.filled(0.5, 2.0), args.repeat)
        polygons = len(ours.polygon_offsets) - 1
        print(f"| {n} | {polygons} | {t_ours:.0f} | {t_peer:.0f} | {t_ours / t_peer:.2f} |")


if __name__ == "__main__":
    main()
