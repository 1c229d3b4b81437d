"""Shared fields and checks for the isocontour module's tests."""

import numpy as np
import pytest
from scipy.ndimage import gaussian_filter


def smooth_field(rows, cols, sigma, seed, dtype=np.float64):
    """Standard normal noise, Gaussian-smoothed: many small closed loops around 0."""
    noise = np.random.default_rng(seed).standard_normal((rows, cols))
    return gaussian_filter(noise, sigma, mode="nearest").astype(dtype)


def assert_same_lines(a, b):
    """Two Lines results equal point for point, in order."""
    np.testing.assert_array_equal(a.points, b.points)
    np.testing.assert_array_equal(a.offsets, b.offsets)
    np.testing.assert_array_equal(a.closed, b.closed)
    np.testing.assert_array_equal(a.level_offsets, b.level_offsets)
    if a.normals is None or b.normals is None:
        assert a.normals is None and b.normals is None
    else:
        np.testing.assert_array_equal(a.normals, b.normals)


def assert_same_bands(a, b):
    np.testing.assert_array_equal(a.points, b.points)
    np.testing.assert_array_equal(a.ring_offsets, b.ring_offsets)
    np.testing.assert_array_equal(a.polygon_offsets, b.polygon_offsets)
    np.testing.assert_array_equal(a.band_offsets, b.band_offsets)


def ring_area(ring):
    """Signed shoelace area (counter-clockwise positive) of a closed ring."""
    x, y = ring[:, 0].astype(np.float64), ring[:, 1].astype(np.float64)
    return 0.5 * float(np.dot(x[:-1], y[1:]) - np.dot(x[1:], y[:-1]))


@pytest.fixture(scope="session")
def field():
    """A 61 x 83 smoothed random field: rows and columns differ, so a swap shows."""
    return smooth_field(61, 83, 3.0, seed=7)


def pytest_configure(config):
    """With ISOCONTOUR_INSTALLED (scripts/test-python), the package must come from there."""
    import os
    expected = os.environ.get("ISOCONTOUR_INSTALLED")
    if expected:
        import isocontour
        where = os.path.realpath(isocontour.__file__)
        assert where.startswith(os.path.realpath(expected) + os.sep), \
            f"isocontour imported from {where}, not from the installed {expected}"


def without_repeats(points):
    """points without a point equal to the one before it (contourpy repeats a node that lies
    exactly at a level; isocontour never repeats a point)."""
    p = np.asarray(points, dtype=np.float64)
    keep = np.ones(len(p), dtype=bool)
    keep[1:] = np.any(p[1:] != p[:-1], axis=1)
    return p[keep]


def canonical_ring(ring):
    """A closed ring without repeated points nor its closing point, turned to start at its
    smallest point (x, then y; rounded, so that equal rings from two sides start alike)."""
    r = without_repeats(ring)
    assert np.array_equal(r[0], r[-1]), "ring not closed"
    r = r[:-1]
    key = np.round(r, 6)
    return np.roll(r, -np.lexsort((key[:, 1], key[:, 0]))[0], axis=0)


def assert_same_shapes(ours, theirs, tol=1e-9):
    """Two lists of shapes (each a tuple of (k, 2) arrays, already normalised) hold the same
    shapes, in any order: each matched by its size and first point, then point for point."""
    def key(shape):
        return tuple((len(a), *np.round(a[0], 5)) if len(a) else (0,) for a in shape)
    assert len(ours) == len(theirs)
    ours, theirs = sorted(ours, key=key), sorted(theirs, key=key)
    for a, b in zip(ours, theirs):
        assert key(a) == key(b)
        for p, q in zip(a, b):
            np.testing.assert_allclose(p, q, rtol=0, atol=tol)
