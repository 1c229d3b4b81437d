#!/usr/bin/python3
"""Times the isocontour tool's raster form against gdal_contour on the same GeoTIFFs, in one run.

Rasters:
  - jacksboro: matplotlib's int16 344 x 403 elevation model, made a GeoTIFF (WGS 84);
  - topobathy: matplotlib's float32 91 x 120 model of land and sea floor, likewise;
  - noise: an N x N (--size, default 8192) Float32 GeoTIFF, tiled, 10 m pixels in UTM, of
    Gaussian-smoothed normal noise at three scales (seed 12345) spread over 0 .. 2000 m.
Jobs, each to GeoPackage as a user would run them: lines at a 10 m interval (-i 10 -a elev) and
bands (-p -i 10 -amin lo -amax hi). Each job by gdal_contour, then by isocontour with
--threads 1 and --threads 2; the median of --runs runs of wall-clock time, processor time (user
and system, the measure on a shared machine) and peak resident memory, as GNU time reports
them, and our processor time and wall-clock time against gdal_contour's. A gdal_contour run
longer than --gdal-timeout seconds is stopped and reported as such.

  bench/gdal_contour_bench.py --tool build/bin/isocontour            the full figures
  bench/gdal_contour_bench.py --tool build/bin/isocontour --size 512 --runs 1   a smoke run
"""

import argparse
import os
import statistics
import subprocess
import sys
import tempfile

import numpy as np
from osgeo import gdal, osr
from scipy.ndimage import gaussian_filter

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "isocontour",
                                "tests", "peers"))
import dems  # noqa: E402

gdal.UseExceptions()


def noise(path, n):
    rng = np.random.default_rng(12345)
    z = np.zeros((n, n), np.float32)
    for sigma, amp in ((n / 16, 1.0), (n / 128, 0.15), (n / 1024 + 1, 0.02)):
        a = gaussian_filter(rng.standard_normal((n, n)).astype(np.float32), sigma, mode="wrap")
        z += (a / a.std() * amp).astype(np.float32)
        del a
    z -= z.min()
    z *= np.float32(2000 / z.max())
    srs = osr.SpatialReference()
    srs.ImportFromEPSG(32633)
    return dems.write_tif(path, z, (500000.0, 10.0, 0.0, 5000000.0, 0.0, -10.0),
                          srs.ExportToWkt(), gdal.GDT_Float32, options=("TILED=YES",))


def timed(args, timeout):
    """(wall s, cpu s, peak KiB) of one run, or None past the timeout."""
    with tempfile.NamedTemporaryFile(mode="r", suffix=".time") as report:
        try:
            subprocess.run(["/usr/bin/time", "-o", report.name, "-f", "%e %U %S %M", *args],
                           check=True, timeout=timeout, stdout=subprocess.DEVNULL)
        except subprocess.TimeoutExpired:
            return None
        wall, user, system, peak = report.read().split()[-4:]
    return float(wall), float(user) + float(system), int(peak)


def measure(args, dst, runs, timeout):
    results = []
    for _ in range(runs):
        if os.path.exists(dst):
            os.remove(dst)
        r = timed([*args, dst], timeout)
        if r is None:
            return None
        results.append(r)
    return tuple(statistics.median(r[k] for r in results) for k in range(3))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--tool", required=True, help="the isocontour tool, built with GDAL")
    parser.add_argument("--size", type=int, default=8192, help="the noise raster's side")
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--gdal-timeout", type=float, default=3600)
    parser.add_argument("--interval", type=float, default=10)
    opts = parser.parse_args()

    with tempfile.TemporaryDirectory(prefix="gdal-contour-bench-") as tmp:
        rasters = [
            ("jacksboro 403 x 344 int16", dems.jacksboro(os.path.join(tmp, "jacksboro.tif"))),
            ("topobathy 120 x 91 float32", dems.topobathy(os.path.join(tmp, "topobathy.tif"))),
            (f"noise {opts.size} x {opts.size} float32",
             noise(os.path.join(tmp, "noise.tif"), opts.size)),
        ]
        i = f"{opts.interval:g}"
        jobs = [("lines", ["-i", i, "-a", "elev"]),
                ("bands", ["-p", "-i", i, "-amin", "lo", "-amax", "hi"])]
        print(f"gdal_contour ({gdal.__version__}) against isocontour, to GeoPackage, interval {i}; "
              f"median of {opts.runs}; time in s, memory in MiB")
        print()
        print("| raster | job | tool | wall | cpu | peak memory | cpu vs gdal | wall vs gdal |")
        print("|---|---|---|---:|---:|---:|---:|---:|")
        for name, src in rasters:
            for job, flags in jobs:
                dst = os.path.join(tmp, "out.gpkg")
                theirs = measure(["gdal_contour", "-q", *flags, src], dst, opts.runs,
                                 opts.gdal_timeout)
                rows = [("gdal_contour", theirs)]
                for threads in ("1", "2"):
                    rows.append((f"isocontour --threads {threads}",
                                 measure([opts.tool, "-q", "--threads", threads, *flags, src],
                                         dst, opts.runs, None)))
                for tool, r in rows:
                    if r is None:
                        print(f"| {name} | {job} | {tool} | > {opts.gdal_timeout:g} | | | | |")
                        continue
                    wall, cpu, peak = r
                    vs = ("", "") if tool == "gdal_contour" or theirs is None else (
                        f"{cpu / theirs[1]:.3f}", f"{wall / theirs[0]:.3f}")
                    print(f"| {name} | {job} | {tool} | {wall:.2f} | {cpu:.2f} | "
                          f"{peak / 1024:.0f} | {vs[0]} | {vs[1]} |", flush=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
