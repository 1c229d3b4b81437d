#!/usr/bin/python3
"""The tool's raster form against gdal_contour (Debian's GDAL 3.6.2) on the same rasters in the
same run, and the form's own promises.

Usage: compare_gdal.py TOOL   (TOOL: isocontour built with GDAL)

Rasters (dems.py), GeoTIFFs with their coordinate systems: the two real models (jacksboro, int16
north-up; topobathy, float32 with its rows running north), jacksboro as float64 under a rotated
geotransform, topobathy with nodata holes and NaN pixels, jacksboro as int16 with a nodata value
in holes, and jacksboro as PixelIsPoint. Each runs with gdal_contour's flags given to both tools
alike (-i, -off, -fl, -e, -inodata, -snodata), for lines (-a) and for polygons (-p -amin -amax):
  lines, per level: the same number of features, once gdal_contour's degenerate ones (shorter
    than 1/1000 pixel: its nudge of a value at the level draws one around such a pixel) are left
    out; the same total length of their segments (1e-6, and 1e-4 pixel a line for our float32
    points); Hausdorff distance below 0.01 pixel. With nodata the lengths and distance are
    taken over the segments more than 1.5 pixels from any nodata pixel, where both draw the
    same lines, and the counts are reported (gdal_contour reaches half a pixel into the cells
    around nodata, which we leave out; docs/terrain.md);
  polygons: ours valid in GEOS (each band's MultiPolygon and each polygon), outer rings
    counter-clockwise and holes clockwise in the raster's coordinates; per band the same area
    (1e-6) as gdal_contour's, within our cover where nodata is near; gdal_contour's invalid ones
    counted and printed; the first band from the raster's minimum, the last to its maximum;
  orientation: higher values on the left of every line, checked against our own bands.
Ours runs in strips of 50 rows throughout, so that every comparison crosses the seams between
strips. Then the output itself: the ID, level and band fields, -nln, the coordinate system
carried, -3d, GPKG, Shapefile, GeoJSON, FlatGeobuf and CSV by extension and by -f; --threads
giving the same file, strips of 1 and 7 rows the same contours, --min-points leaving out
exactly the lines of fewer points; the progress bar on a
terminal only, and none with -q; bad input refused with one line and exit 2, nothing left in the
destination's folder; a raster of 1 GiB (as the values contoured) under a 640 MiB address space
limit, lines and bands. Exits 1 with one line per failure.
"""

import json
import os
import pty
import select
import subprocess
import sys
import tempfile

from collections import defaultdict

import numpy as np
from scipy.spatial import cKDTree
from osgeo import gdal, ogr
from shapely import wkb
from shapely.geometry import Point
from shapely.ops import unary_union
from shapely.prepared import prep
from shapely.validation import make_valid

import dems

gdal.UseExceptions()
ogr.UseExceptions()

FAILURES = []
# Ours reads and contours the rasters in strips of this many rows, so that every comparison
# crosses seams between strips (the rasters here are small enough to be one strip otherwise).
STRIP = "50"


def fail(name, message):
    FAILURES.append(f"{name}: {message}")
    print(f"FAIL {name}: {message}", flush=True)


def run(args, **kw):
    return subprocess.run(args, capture_output=True, text=True, **kw)


def features(path, fields):
    """[(field values..., shapely geometry)] of the file's one layer."""
    ds = ogr.Open(path)
    out = []
    for f in ds.GetLayer():
        g = f.GetGeometryRef()
        out.append((*(f[n] for n in fields), wkb.loads(bytes(g.ExportToIsoWkb()))))
    return out


class Raster:
    """What the checks need of a test raster: its pixel size and where its nodata lies."""

    def __init__(self, path, flags):
        ds = gdal.Open(path)
        band = ds.GetRasterBand(1)
        self.gt = ds.GetGeoTransform()
        z = band.ReadAsArray().astype(float)
        nodata = None if "-inodata" in flags else band.GetNoDataValue()
        if "-snodata" in flags:
            nodata = float(flags[flags.index("-snodata") + 1])
        self.bad = np.isnan(z) | ((z == nodata) if nodata is not None else False)
        self.pixel = abs(self.gt[1] * self.gt[5] - self.gt[2] * self.gt[4]) ** 0.5
        self.lo, self.hi = float(z[~self.bad].min()), float(z[~self.bad].max())

        # Pixels within one pixel of a nodata pixel (its 8 neighbours): a point in one lies
        # within 1.5 pixels of nodata, where the two tools may differ.
        near = self.bad.copy()
        for dr in (-1, 0, 1):
            for dc in (-1, 0, 1):
                near[max(dr, 0):near.shape[0] + min(dr, 0), max(dc, 0):near.shape[1] + min(dc, 0)] |= \
                    self.bad[max(-dr, 0):near.shape[0] + min(-dr, 0),
                             max(-dc, 0):near.shape[1] + min(-dc, 0)]
        self.near = near if self.bad.any() else None
        g = self.gt
        det = g[1] * g[5] - g[2] * g[4]
        self.inverse = (g[5] / det, -g[2] / det, -g[4] / det, g[1] / det)

    def map(self, px, py):
        g = self.gt
        return g[0] + px * g[1] + py * g[2], g[3] + px * g[4] + py * g[5]

    def far_segments(self, line):
        """The segments of a line with both ends away from nodata, as [(x0, y0), (x1, y1)]."""
        xy = np.asarray(line.coords)[:, :2]
        keep = np.ones(len(xy), bool)
        if self.near is not None:
            a, b, c, d = self.inverse
            dx, dy = xy[:, 0] - self.gt[0], xy[:, 1] - self.gt[3]
            px, py = a * dx + b * dy, c * dx + d * dy
            # A point on a pixel's edge (a crossing halfway) belongs to both pixels: rounding
            # must not put one tool's copy of it on one side and the other's on the other.
            for ex in (-1e-6, 1e-6):
                for ey in (-1e-6, 1e-6):
                    cols = np.clip(np.floor(px + ex), 0, self.near.shape[1] - 1).astype(int)
                    rows = np.clip(np.floor(py + ey), 0, self.near.shape[0] - 1).astype(int)
                    keep &= ~self.near[rows, cols]
        both = keep[:-1] & keep[1:]
        return [(tuple(xy[k]), tuple(xy[k + 1])) for k in np.nonzero(both)[0]]


def one_way(a, b):
    """An upper bound of the greatest distance from segments a (their ends and midpoints) to
    segments b: for each point, the nearest of the segments at b's 16 nearest ends."""
    a = np.asarray(a)
    b = np.asarray(b)
    points = np.concatenate([a[:, 0], a[:, 1], (a[:, 0] + a[:, 1]) / 2])
    ends = np.concatenate([b[:, 0], b[:, 1]])
    _, near = cKDTree(ends).query(points, k=min(16, len(ends)))
    near = np.asarray(near).reshape(len(points), -1) % len(b)
    p0, p1 = b[near, 0], b[near, 1]  # candidate segments, (points, k, 2)
    d = p1 - p0
    q = points[:, None, :] - p0
    t = np.clip((q * d).sum(-1) / np.maximum((d * d).sum(-1), 1e-300), 0, 1)
    gap = np.hypot(*(q - t[..., None] * d).transpose(2, 0, 1))
    return float(gap.min(axis=1).max())


def compare_lines(name, tool, tmp, src, raster, flags):
    ours, theirs = os.path.join(tmp, "ours.gpkg"), os.path.join(tmp, "gdal.gpkg")
    for p in (ours, theirs):
        if os.path.exists(p):
            os.remove(p)
    r = run([tool, "-q", "-a", "elev", "--strip-rows", STRIP, *flags, src, ours])
    if r.returncode:
        return fail(name, f"isocontour {' '.join(flags)} exited {r.returncode}: {r.stderr}")
    subprocess.run(["gdal_contour", "-q", "-a", "elev", *flags, src, theirs], check=True)
    a, g = defaultdict(list), defaultdict(list)
    for level, line in features(ours, ["elev"]):
        a[level].append(line)
    for level, line in features(theirs, ["elev"]):
        if line.length > 1e-3 * raster.pixel:
            g[level].append(line)
    counts = []
    for level in sorted(set(a) | set(g)):
        la, lg = a[level], g[level]
        if raster.near is None and len(la) != len(lg):
            fail(name, f"{flags} level {level}: {len(la)} lines, gdal_contour {len(lg)}")
        elif raster.near is not None:
            counts.append(f"{level:g}: {len(la)}/{len(lg)}")
        parts_a = [s for line in la for s in raster.far_segments(line)]
        parts_g = [s for line in lg for s in raster.far_segments(line)]
        length_a = sum(np.hypot(q[0] - p[0], q[1] - p[1]) for p, q in parts_a)
        length_g = sum(np.hypot(q[0] - p[0], q[1] - p[1]) for p, q in parts_g)
        # Our float32 points round at 1e-7 of the coordinates: a little more for short levels.
        if abs(length_a - length_g) > 1e-6 * length_g + 1e-4 * raster.pixel * len(lg):
            fail(name, f"{flags} level {level}: length {length_a!r}, gdal_contour {length_g!r}")
        if bool(parts_a) != bool(parts_g):
            fail(name, f"{flags} level {level}: lines on one side only")
        elif parts_a:
            h = max(one_way(parts_a, parts_g), one_way(parts_g, parts_a))
            if h / raster.pixel > 0.01:
                fail(name, f"{flags} level {level}: Hausdorff distance {h / raster.pixel:.4f} "
                           "pixel")
    print(f"  {name} {' '.join(flags)}: {sum(map(len, a.values()))} lines"
          + (f" (ours/gdal_contour's near nodata {', '.join(counts)})" if counts else ""))
    return a


def compare_bands(name, tool, tmp, src, raster, flags):
    ours, theirs = os.path.join(tmp, "ours_p.gpkg"), os.path.join(tmp, "gdal_p.gpkg")
    for p in (ours, theirs):
        if os.path.exists(p):
            os.remove(p)
    r = run([tool, "-q", "-p", "-amin", "lo", "-amax", "hi", "--strip-rows", STRIP, *flags, src,
             ours])
    if r.returncode:
        return fail(name, f"isocontour -p {' '.join(flags)} exited {r.returncode}: {r.stderr}")
    subprocess.run(["gdal_contour", "-q", "-p", "-amin", "lo", "-amax", "hi", *flags, src, theirs],
                   check=True)
    a = sorted(features(ours, ["lo", "hi"]), key=lambda f: f[0])
    # gdal_contour 3.6.2 writes 0 for its first band's minimum: ordered by the maximum instead.
    g = sorted(features(theirs, ["lo", "hi"]), key=lambda f: f[1])
    for lo, hi, band in a:
        if not band.is_valid:
            fail(name, f"-p {flags} band {lo}..{hi} is invalid: {make_valid(band).geom_type}")
        for p in band.geoms:
            if not p.exterior.is_ccw or any(h.is_ccw for h in p.interiors):
                fail(name, f"-p {flags} band {lo}..{hi}: rings wound the wrong way")
                break
    if a and (a[0][0] != raster.lo or a[-1][1] != raster.hi):
        fail(name, f"-p {flags}: bands run {a[0][0]}..{a[-1][1]}, the raster "
                   f"{raster.lo}..{raster.hi}")
    if len(a) != len(g):
        return fail(name, f"-p {flags}: {len(a)} bands, gdal_contour {len(g)}")
    cover = unary_union([band for _, _, band in a])
    invalid = 0
    for (lo, hi, band), (_, ghi, gband) in zip(a, g):
        invalid += sum(not p.is_valid for p in gband.geoms)
        if lo != a[0][0] and hi != a[-1][1] and hi != ghi:
            fail(name, f"-p {flags}: band {lo}..{hi} against gdal_contour's ..{ghi}")
        theirs_area = gband.area if raster.near is None else \
            make_valid(gband).intersection(cover).area
        # As for lengths: float32 points move each edge by up to 1e-4 pixel.
        if abs(band.area - theirs_area) > 1e-6 * band.area + 1e-4 * raster.pixel * band.length:
            fail(name, f"-p {flags} band {lo}..{hi}: area {band.area!r}, gdal_contour "
                       f"{theirs_area!r}")
    print(f"  {name} -p {' '.join(flags)}: {len(a)} bands, "
          f"{sum(len(b.geoms) for _, _, b in a)} polygons, all valid; gdal_contour's invalid "
          f"polygons: {invalid}")
    return a


def check_orientation(name, raster, lines, bands):
    """Higher values on the left: never a band below the level just left of a line and one
    above it just right (every 25th segment, a hundredth of a pixel off its midpoint)."""
    step = 0.01 * raster.pixel
    prepared = [(lo, hi, prep(b)) for lo, hi, b in bands]

    def band_of(x, y):
        p = Point(x, y)
        return next(((lo, hi) for lo, hi, b in prepared if b.contains(p)), None)

    for level, ls in lines.items():
        for line in ls:
            xy = np.asarray(line.coords)
            for k in range(0, len(xy) - 1, 25):
                (x0, y0), (x1, y1) = xy[k], xy[k + 1]
                d = np.hypot(x1 - x0, y1 - y0)
                if d < 0.1 * raster.pixel:
                    continue
                mx, my = (x0 + x1) / 2, (y0 + y1) / 2
                nx, ny = -(y1 - y0) / d * step, (x1 - x0) / d * step
                left, right = band_of(mx + nx, my + ny), band_of(mx - nx, my - ny)
                # Along a zero-width ridge of nodes exactly at the level, lines run there and
                # back with lower values on both sides: only lower values on the left and
                # higher ones on the right are a line the wrong way round.
                if left and right and left[1] <= level <= right[0]:
                    return fail(name, f"level {level}: higher values not on the left near "
                                      f"({mx}, {my})")


def check_output(tool, tmp, src):
    """Fields, layer name, coordinate system, -3d and the drivers, on jacksboro."""
    name = "output"
    out = os.path.join(tmp, "out.gpkg")
    subprocess.run([tool, "-q", "-i", "200", "-a", "height", "-3d", "-nln", "isolines", src, out],
                   check=True)
    ds = ogr.Open(out)
    layer = ds.GetLayer(0)
    if ds.GetLayerCount() != 1 or layer.GetName() != "isolines":
        fail(name, f"layers {[ds.GetLayer(k).GetName() for k in range(ds.GetLayerCount())]}")
    defn = layer.GetLayerDefn()
    fields = [(defn.GetFieldDefn(k).GetName(), defn.GetFieldDefn(k).GetTypeName())
              for k in range(defn.GetFieldCount())]
    if fields != [("ID", "Integer"), ("height", "Real")]:
        fail(name, f"fields {fields}")
    srs = layer.GetSpatialRef()
    want = gdal.Open(src).GetSpatialRef()
    if srs is None or not srs.IsSame(want) or srs.GetAuthorityCode(None) != "4326":
        fail(name, "the layer does not carry the raster's coordinate system")
    if layer.GetGeomType() != ogr.wkbLineString25D:
        fail(name, f"-3d layer type {ogr.GeometryTypeToName(layer.GetGeomType())}")
    ids = []
    for f in layer:
        ids.append(f["ID"])
        zs = {p[2] for p in f.GetGeometryRef().GetPoints()}
        if zs != {f["height"]} or f["height"] % 200:
            fail(name, f"feature {f['ID']}: Z {sorted(zs)[:3]}, level {f['height']}")
            break
    if ids != list(range(len(ids))) or not ids:
        fail(name, f"IDs {ids[:5]}... are not 0, 1, 2, ...")
    ds = None
    bands = os.path.join(tmp, "bands.gpkg")
    subprocess.run([tool, "-q", "-p", "-i", "200", "-amax", "top", "-3d", src, bands], check=True)
    ds = ogr.Open(bands)
    layer = ds.GetLayer(0)
    if layer.GetName() != "contour" or layer.GetGeomType() != ogr.wkbMultiPolygon25D:
        fail(name, f"-p layer {layer.GetName()} {layer.GetGeomType()}")
    for f in layer:
        zs = {p[2] for poly in f.GetGeometryRef() for ring in poly for p in ring.GetPoints()}
        if zs != {f["top"]}:
            fail(name, f"band {f['ID']}: Z {sorted(zs)[:3]} against its maximum {f['top']}")
    ds = None

    # Every driver writes the same lines, chosen by extension or by name.
    reference = sorted(line.wkb for _, _, line in features(out, ["ID", "height"]))
    for dst, extra in (("l.shp", []), ("l.geojson", []), ("l.fgb", []), ("l.csv", []),
                       ("l.dat", ["-f", "GeoJSON"]), ("l.gpkg", ["-of", "gpkg"])):
        path = os.path.join(tmp, dst)
        r = run([tool, "-q", "-i", "200", "-a", "height", "-3d", *extra, src, path])
        if r.returncode:
            fail(name, f"{dst} {extra}: exit {r.returncode}: {r.stderr.strip()}")
            continue
        got = features(path, ["ID", "height"])
        if len(got) != len(reference):
            fail(name, f"{dst}: {len(got)} features, GPKG {len(reference)}")
        elif any(not a.equals_exact(wkb.loads(b), 1e-9) for a, b in
                 zip(sorted((g for _, _, g in got), key=lambda g: g.wkb), reference)):
            fail(name, f"{dst}: geometries differ from the GPKG's")


def check_threads(tool, tmp, src):
    """Any thread count writes the same file; strips of any height the same lines (written as
    they close, so in another order) and the same bands, bit for bit; --min-points the lines of
    as many points, and no other."""
    def geojson(flags, name):
        path = os.path.join(tmp, name)
        subprocess.run([tool, "-q", "-i", "50", *flags, src, path], check=True)
        with open(path, "rb") as f:
            return f.read()

    def line_set(text):
        return sorted(json.dumps([f["geometry"], f["properties"]["elev"]])
                      for f in json.loads(text)["features"])

    for flags in (["-a", "elev"], ["-p"]):
        one = geojson([*flags, "--threads", "1"], "t1.geojson")
        for more in (["--threads", "2"], ["--threads", "0"]):
            if geojson([*flags, *more], "t.geojson") != one:
                fail("threads", f"{flags}: --threads 1 and {more} write different files")
        for rows in ("1", "7"):
            strips = geojson([*flags, "--threads", "2", "--strip-rows", rows], "s.geojson")
            same = strips == one if "-p" in flags else line_set(strips) == line_set(one)
            if not same:
                fail("strips", f"{flags}: --strip-rows {rows} gives other contours")
    # --min-points leaves out exactly the lines of fewer points, whole grid or strips alike.
    lines = json.loads(geojson(["-a", "elev"], "all.geojson"))["features"]
    kept = sorted(json.dumps([f["geometry"], f["properties"]["elev"]]) for f in lines
                  if len(f["geometry"]["coordinates"]) >= 12)
    if not 0 < len(kept) < len(lines):
        fail("min-points", f"{len(kept)} of {len(lines)} lines have 12 points or more: no test")
    for rows in ([], ["--strip-rows", "7"]):
        if line_set(geojson(["-a", "elev", "--min-points", "12", *rows], "m.geojson")) != kept:
            fail("min-points", f"--min-points 12 {rows} keeps other lines than those of 12 points")


def stderr_on_terminal(args):
    """What the tool writes to stderr when stderr is a terminal."""
    master, slave = pty.openpty()
    p = subprocess.Popen(args, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=slave)
    os.close(slave)
    text = b""
    while True:
        ready, _, _ = select.select([master], [], [], 60)
        if not ready:
            break
        try:
            chunk = os.read(master, 4096)
        except OSError:  # the terminal closed with the process
            break
        if not chunk:
            break
        text += chunk
    p.wait()
    os.close(master)
    return p.returncode, text.decode(errors="replace")


def check_progress(tool, tmp, src):
    out = os.path.join(tmp, "progress.gpkg")
    code, text = stderr_on_terminal([tool, "-p", "-i", "100", src, out])
    if code or "isocontour: contouring" not in text or "writing" not in text or "100%" not in text:
        fail("progress", f"on a terminal: exit {code}, {text[-200:]!r}")
    code, text = stderr_on_terminal([tool, "-q", "-i", "100", src, out])
    if code or text:
        fail("progress", f"-q on a terminal: exit {code}, {text[-200:]!r}")
    r = run([tool, "-i", "100", src, out])
    if r.returncode or r.stderr:
        fail("progress", f"off a terminal: exit {r.returncode}, {r.stderr[-200:]!r}")


def check_refusals(tool, tmp, src):
    folder = os.path.join(tmp, "refusals")
    os.makedirs(folder)
    text = os.path.join(tmp, "not_a_raster.tif")
    with open(text, "w") as f:
        f.write("no raster here\n")
    dst = os.path.join(folder, "out.gpkg")
    for what, args in (
            ("a file GDAL cannot open", ["-i", "10", text, dst]),
            ("a file that does not exist", ["-i", "10", os.path.join(tmp, "none.tif"), dst]),
            ("a band that does not exist", ["-b", "2", "-i", "10", src, dst]),
            ("an interval of 0", ["-i", "0", src, dst]),
            ("an interval below 0", ["-i", "-10", src, dst]),
            ("an output driver that does not exist", ["-f", "NoSuchDriver", "-i", "10", src, dst]),
            ("a raster driver for the output", ["-f", "GTiff", "-i", "10", src, dst]),
            ("an extension no driver writes", ["-i", "10", src, os.path.join(folder, "out.xyz")]),
            ("a folder that does not exist", ["-i", "10", src, os.path.join(folder, "no", "o.shp")]),
            ("too many levels", ["-i", "0.001", src, dst]),
    ):
        r = run([tool, *args], timeout=120)
        lines = r.stderr.strip().split("\n")
        if r.returncode != 2 or len(lines) != 1 or not lines[0].startswith("isocontour: "):
            fail("refusals", f"{what}: exit {r.returncode}, stderr {r.stderr!r}")
        if os.listdir(folder):
            fail("refusals", f"{what}: left {os.listdir(folder)}")


def big_raster(path, n):
    """An n x n int16 GeoTIFF, deflated (a few tens of MB for n = 16384), of smooth waves."""
    ds = gdal.GetDriverByName("GTiff").Create(
        path, n, n, 1, gdal.GDT_Int16,
        ["TILED=YES", "BLOCKXSIZE=512", "BLOCKYSIZE=512", "COMPRESS=DEFLATE", "PREDICTOR=2"])
    ds.SetGeoTransform((500000.0, 10.0, 0.0, 5000000.0, 0.0, -10.0))
    band = ds.GetRasterBand(1)
    x = np.arange(n, dtype=np.float32)
    for r0 in range(0, n, 1024):
        y = np.arange(r0, min(r0 + 1024, n), dtype=np.float32)[:, None]
        z = 1000 + 600 * np.sin(x / 1300) * np.cos(y / 1100) + 150 * np.sin((x + 2 * y) / 310)
        band.WriteArray(z.astype(np.int16), 0, r0)
    ds = None
    return path


def check_memory_limit(tool, tmp):
    """A raster of 16384 x 16384 pixels, 1 GiB as the float32 values contoured, under an address
    space limit of 640 MiB: lines and bands are made strip by strip; read as one strip, the same
    raster does not fit (so the limit is one that bites)."""
    src = big_raster(os.path.join(tmp, "big.tif"), 16384)
    limit = ["prlimit", f"--as={640 << 20}"]
    for flags in (["-i", "100"], ["-p", "-i", "100"]):
        dst = os.path.join(tmp, "big.gpkg")
        if os.path.exists(dst):
            os.remove(dst)
        r = run([*limit, tool, "-q", *flags, src, dst], timeout=900)
        if r.returncode:
            fail("memory", f"{flags} under 640 MiB: exit {r.returncode}: {r.stderr.strip()}")
            continue
        ds = ogr.Open(dst)
        count = ds.GetLayer().GetFeatureCount()
        ds = None
        if count < (15 if "-p" in flags else 300):
            fail("memory", f"{flags}: only {count} features")
        print(f"  16384 x 16384 under 640 MiB {' '.join(flags)}: {count} features")
    r = run([*limit, tool, "-q", "--strip-rows", "16384", "-fl", "1000", src,
             os.path.join(tmp, "whole.gpkg")], timeout=900)
    if r.returncode != 1 or "out of memory" not in r.stderr:
        fail("memory", f"the whole raster at once fitted under the limit: exit {r.returncode}")


def main():
    if len(sys.argv) != 2 or not os.access(sys.argv[1], os.X_OK):
        print(__doc__)
        return 2
    tool = sys.argv[1]
    with tempfile.TemporaryDirectory(prefix="isocontour-gdal-") as tmp:
        jb = dems.jacksboro(os.path.join(tmp, "jacksboro.tif"))
        cases = [
            ("jacksboro", jb, [["-i", "100"], ["-i", "25", "-off", "5"],
                               ["-fl", "350", "650.5", "900"], ["-e", "2"]]),
            # (gdal_contour's -e runs forever on negative values: not on topobathy)
            ("topobathy", dems.topobathy(os.path.join(tmp, "topobathy.tif")), [["-i", "250"]]),
            ("rotated float64", dems.jacksboro(os.path.join(tmp, "rotated.tif"), rotation=30,
                                               dtype=gdal.GDT_Float64), [["-i", "100"]]),
            ("topobathy holes", dems.topobathy(os.path.join(tmp, "holes.tif"), nodata_holes=6,
                                               nan_holes=4), [["-i", "250"]]),
            ("int16 nodata", dems.jacksboro(os.path.join(tmp, "nodata.tif"), nodata_holes=8),
             [["-i", "100"], ["-fl", "-20000", "300", "600", "-inodata"]]),
            ("jacksboro -snodata", jb, [["-i", "100", "-snodata", "600"]]),
            ("pixel is point", dems.jacksboro(os.path.join(tmp, "point.tif"), point=True),
             [["-i", "100"]]),
        ]
        for name, src, flag_sets in cases:
            for flags in flag_sets:
                raster = Raster(src, flags)
                lines = compare_lines(name, tool, tmp, src, raster, flags)
                bands = compare_bands(name, tool, tmp, src, raster, flags)
                if lines and bands:
                    check_orientation(name, raster, lines, bands)
        check_output(tool, tmp, jb)
        check_threads(tool, tmp, jb)
        check_progress(tool, tmp, jb)
        check_refusals(tool, tmp, jb)
        if os.environ.get("ISOCONTOUR_SANITIZED"):
            print("  (no address space limit under a sanitizer, whose shadow memory needs it all)")
        else:
            check_memory_limit(tool, tmp)
    if FAILURES:
        print(f"{len(FAILURES)} failures")
        return 1
    print("the raster form agrees with gdal_contour")
    return 0


if __name__ == "__main__":
    sys.exit(main())
