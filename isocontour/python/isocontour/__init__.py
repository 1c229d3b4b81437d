"""Contour lines and filled bands of 2-D arrays: numpy, xarray, matplotlib, contourpy, shapely.

The calls (compiled, the C++ library's own; see help(isocontour._isocontour) for the rules):
  lines(z, level, ...), multi_lines(z, levels, ...)     -> Lines
  filled(z, lower, upper, ...), multi_filled(z, levels, ...) -> Bands
Every call takes a numpy array or a 2-D xarray.DataArray (its coordinates become x and y).
Lines and Bands pickle, and give shapely geometries (to_shapely()) and GeoJSON
(__geo_interface__).

Beside them:
  contour_generator(x, y, z, ...)  contourpy's contour_generator, drawn by this library: the
                                   same methods and output types (LineType, FillType, ZInterp)
  isocontour.mpl                   contour(ax, z, ...) and contourf(ax, z, ...), returning a
                                   matplotlib ContourSet (imported when first used)
"""

import importlib as _importlib

from ._isocontour import Bands, Error, Lines, __version__, filled, lines, multi_filled, multi_lines
from .generator import ContourGenerator, FillType, LineType, ZInterp, contour_generator

__all__ = ["Bands", "ContourGenerator", "Error", "FillType", "LineType", "Lines", "ZInterp",
           "__version__", "contour_generator", "filled", "lines", "multi_filled", "multi_lines"]

# Submodules that need more than numpy (matplotlib) load when first named; a Dask layer would
# be named here too.
_SUBMODULES = ("mpl",)


def __getattr__(name):
    if name in _SUBMODULES:
        return _importlib.import_module(f"{__name__}.{name}")
    raise AttributeError(f"module {__name__!r} has no attribute {name!r}")


def __dir__():
    return sorted(list(globals()) + list(_SUBMODULES))
