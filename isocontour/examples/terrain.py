#!/usr/bin/python3
"""A relief map of a made-up terrain: filled height bands under contour lines, with isocontour.

    PYTHONPATH=build/python /usr/bin/python3 isocontour/examples/terrain.py [OUT.png]

The terrain is random noise with a falling power spectrum (large hills, small bumps), made here
with numpy; the bands and lines come from isocontour, the drawing from matplotlib.
Writes isocontour/docs/terrain.png unless told otherwise.
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
from matplotlib.cm import ScalarMappable  # noqa: E402
from matplotlib.collections import LineCollection, PathCollection  # noqa: E402
from matplotlib.colors import from_levels_and_colors  # noqa: E402
from matplotlib.path import Path  # noqa: E402


def terrain(rows, cols, seed=3):
    """Heights in metres: random noise smoothed by a falling power spectrum (large hills, small
    bumps, amplitude ~ frequency^-1.9, the finest bumps cut), raised into an island."""
    rng = np.random.default_rng(seed)
    fy = np.fft.fftfreq(rows)[:, None]
    fx = np.fft.rfftfreq(cols)[None, :]
    f = np.hypot(fx, fy)
    f[0, 0] = 1.0
    gain = f ** -1.9 * np.exp(-((f / 0.3) ** 2))
    gain[0, 0] = 0.0
    noise = rng.standard_normal(f.shape) + 1j * rng.standard_normal(f.shape)
    z = np.fft.irfft2(noise * gain, s=(rows, cols))
    z = (z - z.mean()) / z.std()
    v, u = np.mgrid[-1.0:1.0:rows * 1j, -1.0:1.0:cols * 1j]
    island = np.exp(-(u * u + v * v) * 1.5)
    return (z * 550.0 + island * 1300.0 - 550.0).astype(np.float32)


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
    levels = np.arange(-1200.0, 1601.0, 200.0)

    bands = isocontour.multi_filled(z, levels, open_bands=True, x=x, y=y)
    lines = isocontour.multi_lines(z, levels, x=x, y=y)

    fig, ax = plt.subplots(figsize=(8, 5.6), dpi=100)
    below_sea = bands.upper <= 0.0
    colours = np.empty((len(bands.lower), 4))
    colours[below_sea] = plt.get_cmap("Blues_r")(np.linspace(0.15, 0.8, below_sea.sum()))
    colours[~below_sea] = plt.get_cmap("terrain")(np.linspace(0.3, 1.0, (~below_sea).sum()))
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
    ax.set_title(f"{len(bands.lower)} bands ({len(bands)} polygons) under {len(lines)} lines "
                 f"at {len(levels)} levels")
    cmap, norm = from_levels_and_colors(levels, colours, extend="both")
    fig.colorbar(ScalarMappable(norm, cmap), ax=ax, label="height (m)", shrink=0.9)
    fig.tight_layout()
    fig.savefig(out)
    print(f"{out}: {len(bands)} polygons, {len(lines)} lines")


if __name__ == "__main__":
    main()
