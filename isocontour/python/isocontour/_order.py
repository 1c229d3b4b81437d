"""contourpy's order of lines and start of closed lines, from a Lines result.

The library gives a level's open lines first, then its closed ones, a closed line starting at
its lowest-numbered crossing (conventions.md, "Order"). contourpy 'serial' scans the cells (rows
from y = 0 up, each from x = 0) and traces a line from the first cell that starts it: an open
line from the cell it enters by, a closed line from the first of its cells in the scan, at the
point where it enters that cell; lines come in the order their first cells are met. matplotlib's
clabel places labels line by line from each line's start and skips those too close to earlier
ones, so the same lines in another order or from another start get other labels. arranged()
gives the same lines in contourpy's order and with its starts.

A line's cells are read from its points in grid units (the cell holding each segment's middle):
with coordinates, a second call in grid units (the same lines, points and order) supplies them.
"""

import numpy as np

from . import _isocontour


def arranged(result, z, levels, options):
    """(points, offsets, closed) of result (the Lines of z at levels with options), each level's
    lines in contourpy's order, each closed line starting where contourpy starts it; the level
    offsets are result's."""
    count = len(result)
    offsets = np.asarray(result.offsets)
    if count == 0:
        return result.points, offsets, np.asarray(result.closed)
    grid = result
    if "x" in options:
        plain = {k: v for k, v in options.items() if k not in ("x", "y")}
        grid = _isocontour.multi_lines(z, levels, **plain)
    p = np.asarray(grid.points, dtype=np.float64)
    middles = 0.5 * (p[:-1] + p[1:])
    cells_per_row = max(z.shape[1] - 1, 1)
    cell = (np.floor(middles[:, 1]).astype(np.int64) * cells_per_row +
            np.floor(middles[:, 0]).astype(np.int64))
    lengths = np.diff(offsets)
    # Segment k joins points k and k + 1 of one line unless k is a line's last point: those are
    # never the lowest.
    cell[offsets[1:-1] - 1] = np.iinfo(np.int64).max
    lowest_cell = np.minimum.reduceat(cell, offsets[:-1]) if len(cell) else cell
    at_lowest = np.flatnonzero(cell == np.repeat(lowest_cell, lengths)[:len(cell)])
    owner = np.searchsorted(offsets, at_lowest, side="right") - 1
    first = np.ones(len(at_lowest), dtype=bool)
    first[1:] = owner[1:] != owner[:-1]
    lowest = at_lowest[first]  # per line, its first segment in the scan of cells
    closed = np.asarray(result.closed)
    start = np.where(closed, lowest, offsets[:-1])
    key = cell[start]
    rotate = start - offsets[:-1]

    order = np.empty(count, dtype=np.int64)
    level_offsets = np.asarray(result.level_offsets)
    for m in range(len(level_offsets) - 1):
        a, b = level_offsets[m], level_offsets[m + 1]
        order[a:b] = a + np.argsort(key[a:b], kind="stable")
    new_lengths = lengths[order]
    new_offsets = np.zeros(count + 1, dtype=np.int64)
    np.cumsum(new_lengths, out=new_offsets[1:])
    within = np.arange(new_offsets[-1]) - np.repeat(new_offsets[:-1], new_lengths)
    span = np.repeat(np.maximum(new_lengths - 1, 1), new_lengths)
    wrapped = (within + np.repeat(rotate[order], new_lengths)) % span
    index = np.repeat(offsets[:-1][order], new_lengths) + np.where(
        np.repeat(closed[order], new_lengths), wrapped, within)
    return np.asarray(result.points)[index], new_offsets, closed[order]


def mirrored(x, y):
    """Whether coordinates x and y (None, 1-D or 2-D) turn the grid over: x falling where y
    rises or the other way round, judged on the first cell."""
    if x is None:
        return False
    x, y = np.asarray(x, dtype=np.float64), np.asarray(y, dtype=np.float64)
    if x.ndim == 1:
        return bool((x[-1] - x[0]) * (y[-1] - y[0]) < 0)
    ax, ay = x[0, 1] - x[0, 0], y[0, 1] - y[0, 0]
    bx, by = x[1, 0] - x[0, 0], y[1, 0] - y[0, 0]
    return bool(ax * by - ay * bx < 0)


def ring_points(bands, x, y):
    """The points of bands with each ring running as contourpy runs it. The library turns
    every ring to keep outer rings counter-clockwise in x and y; contourpy leaves them as the
    grid runs, so where the coordinates turn the grid over its rings run the other way (the
    same polygons; matplotlib's nonzero fill draws both alike, but Agg's pixel rule on edges
    through pixel centres follows direction)."""
    points = np.asarray(bands.points)
    if not mirrored(x, y) or not len(points):
        return points
    offsets = np.asarray(bands.ring_offsets)
    lengths = np.diff(offsets)
    within = np.arange(len(points)) - np.repeat(offsets[:-1], lengths)
    return points[np.repeat(offsets[1:] - 1, lengths) - within]
