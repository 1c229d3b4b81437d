"""Test fields and point helpers for the peer comparisons.

The charges' field: three point charges circling (40, 40), their field 1/r * 3 summed in float32
on an n x n grid over 79 x 79 units, rows a and columns b holding node (a, b). The arithmetic is
float32 throughout, so C++ code that rounds each product and sum to float makes it bit for bit.
"""
import math

import numpy as np
from scipy.sparse import coo_matrix
from scipy.sparse.csgraph import connected_components
from scipy.spatial import cKDTree

F32 = np.float32


def charges(t):
    """The three charge positions at t (float32 throughout)."""
    t2 = F32(t + t)
    s1, c1 = F32(math.sin(float(t))), F32(math.cos(float(t)))
    s2, c2 = F32(math.sin(float(t2))), F32(math.cos(float(t2)))
    offs = F32(40)
    return [(offs + s1 * F32(20), offs + c1 * F32(20)),
            (offs + s2 * F32(5), offs + c1 * F32(5)),
            (offs + s1 * F32(25), offs + c2 * F32(25))]


def charge_field(n, t):
    """The n x n field at time t as an (n, n) float32 array."""
    spacing = F32(79.0 / (n - 1))
    coord = np.arange(n, dtype=F32) * spacing
    px = coord[:, None]
    py = coord[None, :]
    total = np.zeros((n, n), dtype=F32)
    for cx, cy in charges(t):
        dx = px - cx
        dy = py - cy
        sq = dx * dx + dy * dy  # float32 products and sum
        length = np.sqrt(sq.astype(np.float64)).astype(F32)
        with np.errstate(divide="ignore"):
            total = total + (F32(1) / length) * F32(3)
    return total


def distinct(points, radius):
    """The points with every cluster closer than radius merged: one crossing that two cells
    interpolated from opposite ends of their shared edge counts once."""
    if len(points) == 0:
        return points
    points = np.unique(points, axis=0)
    pairs = cKDTree(points).query_pairs(radius, output_type="ndarray")
    graph = coo_matrix((np.ones(len(pairs)), (pairs[:, 0], pairs[:, 1])),
                       shape=(len(points), len(points)))
    count, label = connected_components(graph, directed=False)
    _, first = np.unique(label, return_index=True)
    return points[np.sort(first)]
