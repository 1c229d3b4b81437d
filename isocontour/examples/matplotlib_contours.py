#!/usr/bin/python3
"""Filled contours, labelled lines and a colour bar with isocontour.mpl, as matplotlib draws
them with Axes.contourf and Axes.contour, on a field with a hole of missing values.

    /usr/bin/python3 isocontour/examples/matplotlib_contours.py [OUT.png]

Needs the isocontour package (pip install ./isocontour, or PYTHONPATH=build/python after a
build). Writes isocontour/docs/matplotlib.png unless told otherwise.
"""

import os
import sys

import numpy as np

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.append(os.path.join(HERE, "..", "..", "build", "python"))  # else a build in the tree

import matplotlib  # noqa: E402

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402

import isocontour.mpl  # noqa: E402


def field(rows, cols):
    """Two hills and a hollow on a slope, with a lake of NaN."""
    y, x = np.mgrid[-2.0:2.0:rows * 1j, -3.0:3.0:cols * 1j]
    z = (np.exp(-((x + 1.2) ** 2 + (y - 0.4) ** 2)) + 0.8 * np.exp(-((x - 1.1) ** 2 + y ** 2) * 2)
         - 0.6 * np.exp(-((x - 0.2) ** 2 + (y + 1.1) ** 2) * 3) + 0.08 * x)
    z[(x - 1.9) ** 2 + (y + 1.2) ** 2 < 0.12] = np.nan
    return x[0], y[:, 0], z


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(HERE, "..", "docs", "matplotlib.png")
    x, y, z = field(120, 180)
    fig, ax = plt.subplots(figsize=(6.4, 3.8), dpi=80)
    filled = isocontour.mpl.contourf(ax, z, 12, x=x, y=y, cmap="RdYlBu_r", extend="both")
    lines = isocontour.mpl.contour(ax, z, filled.levels[::2], x=x, y=y, colors="k",
                                   linewidths=0.6)
    ax.clabel(lines, fontsize=7)
    fig.colorbar(filled, ax=ax, label="z")
    ax.set_title("isocontour.mpl: contourf, contour, clabel, colorbar", fontsize=10)
    ax.set_aspect("equal")
    fig.tight_layout()
    fig.savefig(out)
    print(f"{out}: {sum(map(len, filled.allsegs))} polygons, {sum(map(len, lines.allsegs))} lines")


if __name__ == "__main__":
    main()
