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
