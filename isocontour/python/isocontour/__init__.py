"""Contour lines and filled bands of 2-D arrays: numpy, xarray, matplotlib, contourpy, shapely.

The calls (compiled, the C++ library's own; see help(isocontour._isocontour) for the rules):
  lines(z, level, ...), multi_lines(z, levels, ...)     -> Lines
  filled(z, lower, upper, ...), multi_filled(z, levels, ...) -> Bands
Every call takes a numpy array or a 2-D xarray.DataArray (its coordinates become x and y).
Lines and Bands pickle, and give shapely geometries (to_shapely()) and GeoJSON
(__geo_interface__).

A grid too large for one call, window by window (compiled too), joined into exactly what one
call on the whole grid returns:
  window_lines(z, levels, window, ...) -> LinePieces, join_lines(parts), finish_lines(joined)
  window_filled(z, levels, window, ...) -> PolygonPieces, join_filled, finish_filled

Beside them:
  contour_generator(x, y, z, ...)  contourpy's contour_generator, drawn by this library: the
                                   same methods and output types (LineType, FillType, ZInterp)
  isocontour.mpl                   contour(ax, z, ...) and contourf(ax, z, ...), returning a
                                   matplotlib ContourSet (imported when first used)
  isocontour.dask                  multi_lines(array, levels, ...) and multi_filled(...) of a
                                   dask array, chunk by chunk, on Dask's schedulers: the same
                                   Lines and Bands (imported when first used)
"""

import importlib as _importlib

from ._isocontour import (Bands, Error, LinePieces, Lines, PolygonPieces, __version__, filled,
                          finish_filled, finish_lines, join_filled, join_lines, lines,
                          multi_filled, multi_lines, window_filled, window_lines)
from .generator import ContourGenerator, FillType, LineType, ZInterp, contour_generator

__all__ = ["Bands", "ContourGenerator", "Error", "FillType", "LinePieces", "LineType", "Lines",
           "PolygonPieces", "ZInterp", "__version__", "contour_generator", "filled",
           "finish_filled", "finish_lines", "join_filled", "join_lines", "lines", "multi_filled",
           "multi_lines", "window_filled", "window_lines"]

# Submodules that need more than numpy (matplotlib, dask) load when first named.
_SUBMODULES = ("dask", "mpl")


def __getattr__(name):
    if name in _SUBMODULES:
        return _importlib.import_module(f"{__name__}.{name}")
    raise AttributeError(f"module {__name__!r} has no attribute {name!r}")


def __dir__():
    return sorted(list(globals()) + list(_SUBMODULES))
