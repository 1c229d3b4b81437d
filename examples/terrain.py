#!/usr/bin/python3
"""A relief map of a made-up terrain: filled height bands under contour lines, with isocontour.

    PYTHONPATH=build/python /usr/bin/python3 examples/terrain.py [OUT.png]

The terrain is random noise with a falling power spectrum (large hills, small bumps), made here
with numpy; the bands and lines come from isocontour, the drawing from matplotlib.
Writes docs/terrain.png unless told otherwise.
"""

import os
import sys

import numpy as np

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "build", "python"))  # a build in the source tree

import isocontour  # noqa: E402
import matplotlib  # noqa: E402

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402
from matplotlib.collections import LineCollection, PathCollection  # noqa: E402
from matplotlib.path import Path  # noqa: E402


def terrain(rows, cols, seed=3):
    """Heights in metres: noise whose amplitude falls as frequency^-1.8, then a coast at 0."""
    rng = np.random.default_rng(seed)
    fy = np.fft.fftfreq(rows)[:, None]
    fx = np.fft.rfftfreq(cols)[None, :]
    f = np.hypot(fx, fy)
    f[0, 0] = 1.0
    spectrum = (rng.standard_normal(f.shape) + 1j * rng.standard_normal(f.shape)) * f ** -1.8
    spectrum[0, 0] = 0.0
    z = np.fft.irfft2(spectrum, s=(rows, cols))
    z = (z - z.mean()) / z.std()
    return (z * 600.0 + 150.0).astype(np.float32)


def polygon_path(rings):
    """One polygon, outer ring then holes, as a matplotlib path (holes cut by their winding)."""
    vertices = np.concatenate(rings)
    codes = np.full(len(vertices), Path.LINETO, dtype=Path.code_type)
    start = 0
    for ring in rings:
        codes[start] = Path.MOVETO
        codes[start + len(ring) - 1] = Path.CLOSEPOLY
        start += len(ring)
    return Path(vertices, codes)


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(HERE, "..", "docs", "terrain.png")
    rows, cols = 300, 400
    z = terrain(rows, cols)
    x = np.linspace(0.0, 40.0, cols)  # kilometres
    y = np.linspace(0.0, 30.0, rows)
    levels = np.arange(-1200.0, 2001.0, 200.0)

    bands = isocontour.multi_filled(z, levels, open_bands=True, x=x, y=y)
    lines = isocontour.multi_lines(z, levels, x=x, y=y)

    fig, ax = plt.subplots(figsize=(8, 6), dpi=100)
    colours = plt.get_cmap("terrain")(np.linspace(0.0, 1.0, len(bands.lower)))
    below_sea = bands.upper <= 0.0
    colours[below_sea] = plt.get_cmap("Blues_r")(np.linspace(0.25, 0.75, below_sea.sum()))
    for colour, polygons in zip(colours, bands.split_bands()):
        paths = [polygon_path(rings) for rings in polygons]
        ax.add_collection(PathCollection(paths, facecolors=[colour], edgecolors="none"))
    for level, level_lines in zip(lines.levels, lines.split_levels()):
        ax.add_collection(LineCollection(level_lines, colors="#202020",
                                         linewidths=1.2 if level == 0 else 0.4))
    ax.set_xlim(x[0], x[-1])
    ax.set_ylim(y[0], y[-1])
    ax.set_aspect("equal")
    ax.set_xlabel("x (km)")
    ax.set_ylabel("y (km)")
    ax.set_title(f"{len(bands)} band polygons and {len(lines)} lines at {len(levels)} levels")
    handles = [plt.Rectangle((0, 0), 1, 1, color=c) for c in colours[::3]]
    names = [f"{lo:g} to {hi:g} m" for lo, hi in zip(bands.lower[::3], bands.upper[::3])]
    ax.legend(handles, names, loc="lower right", fontsize=7, framealpha=0.8)
    fig.tight_layout()
    fig.savefig(out)
    print(f"{out}: {len(bands)} polygons, {len(lines)} lines")


if __name__ == "__main__":
    main()
