#!/usr/bin/python3
"""Makes isocontour/docs/dem-contours.png: contour lines every 25 m (every 100 m drawn heavier),
coloured by height, that the isocontour tool makes from a GeoTIFF of a real elevation model,
matplotlib's Jacksboro fault DEM (int16, 1/1200 degree, WGS 84), drawn in longitude and latitude
over the model's hill shading; stored with a palette of 64 colours, so that it stays small.

    isocontour -i 25 -a elev jacksboro.tif contours.gpkg

Usage: isocontour/docs/dem_picture.py [path to the isocontour tool, default build/bin/isocontour]
"""
import os
import subprocess
import sys
import tempfile

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402
import numpy as np  # noqa: E402
from matplotlib.colors import LightSource  # noqa: E402
from osgeo import gdal, ogr  # noqa: E402
from PIL import Image  # noqa: E402

here = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(here, "..", "tests", "peers"))
import dems  # noqa: E402

tool = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "..", "build", "bin",
                                                          "isocontour")
with tempfile.TemporaryDirectory() as tmp:
    src = dems.jacksboro(os.path.join(tmp, "jacksboro.tif"))
    out = os.path.join(tmp, "contours.gpkg")
    subprocess.run([tool, "-q", "-i", "25", "-a", "elev", src, out], check=True)
    ds = gdal.Open(src)
    z = ds.GetRasterBand(1).ReadAsArray().astype(float)
    gt = ds.GetGeoTransform()
    lines = []
    vector = ogr.Open(out)
    for f in vector.GetLayer():
        lines.append((f["elev"], np.array(f.GetGeometryRef().GetPoints())))
    vector = None

extent = (gt[0], gt[0] + gt[1] * z.shape[1], gt[3] + gt[5] * z.shape[0], gt[3])
shade = LightSource(azdeg=315, altdeg=45).hillshade(z, vert_exag=0.04)
colours = plt.get_cmap("terrain")
fig, ax = plt.subplots(figsize=(5.6, 4.6), dpi=100)
ax.imshow(0.55 + 0.45 * shade, extent=extent, cmap="gray", vmin=0, vmax=1,
          interpolation="bilinear")
for level, xy in lines:
    index = level % 100 == 0
    ax.plot(xy[:, 0], xy[:, 1], color=colours(0.05 + 0.85 * (level - 236) / 840),
            lw=1.1 if index else 0.5)
ax.set_xlim(extent[0], extent[1])
ax.set_ylim(extent[2], extent[3])
ax.set_aspect(1 / np.cos(np.radians((extent[2] + extent[3]) / 2)))
ax.tick_params(labelsize=8)
ax.set_title("isocontour -i 25 on a GeoTIFF of the Jacksboro fault DEM", fontsize=9)
fig.tight_layout()
png = os.path.join(here, "dem-contours.png")
fig.savefig(png, dpi=100)
Image.open(png).convert("RGB").quantize(64).save(png, optimize=True)
