"""matplotlib's contour and contourf, drawn by isocontour.

    import isocontour.mpl
    cs = isocontour.mpl.contourf(ax, z, 10, x=x, y=y, cmap="viridis", extend="both")
    ax.clabel(isocontour.mpl.contour(ax, z, cs.levels, colors="k"))
    fig.colorbar(cs)

Each call returns a matplotlib.contour.ContourSet made through its constructor
(ContourSet(ax, levels, allsegs, allkinds, ...)), so clabel, colorbar, legend_elements and the
keywords of Axes.contour and Axes.contourf (colors, cmap, norm, vmin, vmax, extend, alpha,
linewidths, linestyles, hatches, locator, origin, extent, zorder, ...) work as they do there.
By default the picture is the one matplotlib's own contourf and contour draw: levels chosen as
matplotlib chooses them (an int asks its MaxNLocator for about that many), the centre rule at
saddle cells (contourpy 'serial''s), bands lower < z <= upper with the lowest level lowered when
it equals the data's minimum, NaN and infinities masked, corner_mask from
rcParams["contour.corner_mask"]. Filled polygons are drawn with their holes (outer rings
counter-clockwise, holes clockwise, as matplotlib's nonzero fill needs).
"""

import numbers

import matplotlib as mpl
import numpy as np
from matplotlib import ticker
from matplotlib.colors import LogNorm
from matplotlib.contour import ContourSet
from matplotlib.path import Path

from . import _isocontour
from ._order import arranged, ring_points
from ._xarray import grid as _dataarray_grid
from ._xarray import is_dataarray as _is_dataarray
from .generator import CLOSEPOLY, LINETO, MOVETO

# From 3.8 on a ContourSet holds one compound path per level instead of allsegs and allkinds.
_COMPOUND_PATHS = tuple(int(v) for v in mpl.__version__.split(".")[:2]) >= (3, 8)


class _ContourSet(ContourSet):
    """matplotlib's ContourSet, given the values' range and the grid's extent as well.

    ContourSet's own argument handling takes zmin and zmax from the levels and the axes' limits
    from the points, and expects one list of segments per level (lines) or per pair of levels
    (filled). matplotlib's contourf also draws the bands that extend= adds and takes its range
    and limits from the data; _process_args, the hook ContourSet names for derived classes, does
    so here.
    """

    def _process_args(self, levels, allsegs, allkinds, *, zrange, limits, **kwargs):
        self.levels = levels
        self.zmin, self.zmax = zrange
        self._mins, self._maxs = limits
        if _COMPOUND_PATHS:  # pragma: no cover - matplotlib >= 3.8
            self._paths = [Path.make_compound_path(*map(Path, segs, kinds)) if segs else
                           Path(np.empty((0, 2))) for segs, kinds in zip(allsegs, allkinds)]
        else:
            self.allsegs, self.allkinds = allsegs, allkinds
        return kwargs


def contour(ax, z, levels=None, *, x=None, y=None, saddle="centre", corner_mask=None, threads=1,
            **kwargs):
    """Contour lines of z on ax, as ax.contour(x, y, z, levels, **kwargs) draws them.

    z       2-D array, masked array or xarray.DataArray (its coordinates give x and y; x= and
            y= may name them).
    levels  None (about 7), an int (about that many, chosen by matplotlib's MaxNLocator) or
            increasing values.
    x, y    None (column and row numbers, or origin= and extent= as matplotlib has them), 1-D
            per column and row, or 2-D of z's shape.
    saddle  'centre' (matplotlib's rule), 'above' or 'below'.
    corner_mask  None: rcParams["contour.corner_mask"].
    threads the library's threads (0: one per core); any count gives the same picture.
    Returns a matplotlib.contour.ContourSet.
    """
    return _draw(ax, z, levels, x, y, False, saddle, corner_mask, threads, kwargs)


def contourf(ax, z, levels=None, *, x=None, y=None, saddle="centre", corner_mask=None, threads=1,
             **kwargs):
    """Filled contours of z on ax, as ax.contourf(x, y, z, levels, **kwargs) draws them.

    The arguments are contour()'s; levels must give at least two values. With extend='min',
    'max' or 'both' the bands below the first and above the last level are drawn too.
    Returns a matplotlib.contour.ContourSet.
    """
    return _draw(ax, z, levels, x, y, True, saddle, corner_mask, threads, kwargs)


def _draw(ax, z, levels, x, y, filled, saddle, corner_mask, threads, kwargs):
    algorithm = kwargs.pop("algorithm", None)
    if algorithm not in (None, "serial", "threaded", "mpl2014"):
        raise ValueError(f"algorithm={algorithm!r} is not drawn by isocontour (its saddle cells "
                         "differ); leave it out")
    kwargs.pop("nchunk", None)  # the library never cuts lines at chunk borders
    if corner_mask is None:
        corner_mask = mpl.rcParams["contour.corner_mask"]
    if "levels" in kwargs:
        if levels is not None:
            raise TypeError("levels given twice")
        levels = kwargs.pop("levels")
    extend = kwargs.get("extend", "neither")
    logscale = isinstance(kwargs.get("norm"), LogNorm) or isinstance(kwargs.get("locator"),
                                                                     ticker.LogLocator)
    if logscale and kwargs.get("norm") is None:
        kwargs["norm"] = LogNorm()

    data, x, y = _grid(z, x, y, kwargs.get("origin"), kwargs.get("extent"))
    values = np.ma.masked_invalid(data, copy=False)
    if values.mask is not np.ma.nomask and values.mask.all():
        zmin = zmax = np.nan
    else:
        zmin, zmax = float(values.min()), float(values.max())
    if logscale and zmin <= 0:
        import warnings
        values = np.ma.masked_where(values <= 0, values)
        warnings.warn("Log scale: values of z <= 0 have been masked", stacklevel=3)
        zmin = float(values.min())
    levels = _levels(levels, zmin, zmax, filled, extend, logscale, kwargs)

    options = {"saddle": saddle, "threads": threads}
    if x is not None:
        options.update(x=x, y=y)
    mask = np.ma.getmaskarray(values)
    if mask.any():
        options["mask"] = mask
        options["corner_mask"] = bool(corner_mask)
    z64 = np.ma.getdata(values).astype(np.float64, copy=False)

    if filled:
        bounds = _band_bounds(levels, zmin, extend, logscale)
        bands = _isocontour.multi_filled(z64, bounds, **options)
        allsegs, allkinds = _filled_paths(bands, ring_points(bands, x, y))
    else:
        levels64 = np.asarray(levels, dtype=np.float64)
        result = _isocontour.multi_lines(z64, levels64, **options)
        allsegs, allkinds = _line_paths(arranged(result, z64, levels64, options),
                                        result.level_offsets)
    xs = np.arange(z64.shape[1]) if x is None else x
    ys = np.arange(z64.shape[0]) if y is None else y
    limits = ([float(np.min(xs)), float(np.min(ys))], [float(np.max(xs)), float(np.max(ys))])
    return _ContourSet(ax, levels, allsegs, allkinds, filled=filled, zrange=(zmin, zmax),
                       limits=limits, **kwargs)


def _grid(z, x, y, origin, extent):
    """(values as a masked float64 array, x, y) as matplotlib reads them."""
    if _is_dataarray(z):
        values, dx, dy, _ = _dataarray_grid(z, x if isinstance(x, str) else None,
                                            y if isinstance(y, str) else None)
        if x is None or isinstance(x, str):
            x, y = dx, dy
        z = values
    data = np.ma.asarray(z, dtype=np.float64)
    if data.ndim != 2:
        raise TypeError(f"Input z must be 2D, not {data.ndim}D")
    rows, cols = data.shape
    if rows < 2 or cols < 2:
        raise TypeError(f"Input z must be at least a (2, 2) shaped array, but has shape "
                        f"{data.shape}")
    if (x is None) != (y is None):
        raise TypeError("x and y must both be given, or neither")
    if x is not None:
        return data, np.asarray(x, dtype=np.float64), np.asarray(y, dtype=np.float64)
    if origin == "image":
        origin = mpl.rcParams["image.origin"]
    if origin is None and extent is None:
        return data, None, None
    # matplotlib's own placement of a grid given by origin and extent (as imshow places pixels).
    if origin is None:
        x0, x1, y0, y1 = extent
        return data, np.linspace(x0, x1, cols), np.linspace(y0, y1, rows)
    x0, x1, y0, y1 = (0, cols, 0, rows) if extent is None else extent
    dx, dy = (x1 - x0) / cols, (y1 - y0) / rows
    xs = x0 + (np.arange(cols) + 0.5) * dx
    ys = y0 + (np.arange(rows) + 0.5) * dy
    if origin == "upper":
        ys = ys[::-1]
    return data, xs, ys


def _levels(levels, zmin, zmax, filled, extend, logscale, kwargs):
    """The levels matplotlib's contour and contourf pick (Axes.contour's rules)."""
    if levels is None:
        levels = 7
    if isinstance(levels, numbers.Integral):
        locator = kwargs.get("locator")
        if locator is None:
            locator = ticker.LogLocator() if logscale else ticker.MaxNLocator(levels + 1,
                                                                               min_n_ticks=1)
            kwargs["locator"] = locator
        lev = locator.tick_values(zmin, zmax)
        if not getattr(locator, "_symmetric", False):
            # Trim what the locator gave beyond the data, as matplotlib does.
            under = np.nonzero(lev < zmin)[0]
            i0 = under[-1] if len(under) else 0
            over = np.nonzero(lev > zmax)[0]
            i1 = over[0] + 1 if len(over) else len(lev)
            if extend in ("min", "both"):
                i0 += 1
            if extend in ("max", "both"):
                i1 -= 1
            if i1 - i0 < 3:
                i0, i1 = 0, len(lev)
            lev = lev[i0:i1]
        levels = lev
    levels = np.asarray(levels, dtype=np.float64)
    if levels.ndim != 1:
        raise ValueError("levels must be an int or a 1-D sequence")
    if not filled:
        inside = (levels > zmin) & (levels < zmax)
        if not inside.any():
            import warnings
            warnings.warn("No contour levels were found within the data range.", stacklevel=4)
            levels = np.array([zmin]) if np.isfinite(zmin) else levels
    if filled and len(levels) < 2:
        raise ValueError("Filled contours require at least 2 levels.")
    if len(levels) > 1 and np.min(np.diff(levels)) <= 0.0:
        raise ValueError("Contour levels must be increasing")
    return levels


def _band_bounds(levels, zmin, extend, logscale):
    """The bands' bounds as matplotlib's contourf computes them: the extended bands' far
    sides at +-1e250 (1e-250 in log scale), and the lowest bound lowered when it equals zmin so
    that the minimum is drawn (band rule lower < z <= upper)."""
    bounds = list(levels)
    if extend in ("both", "min"):
        bounds.insert(0, 1e-250 if logscale else -1e250)
    if extend in ("both", "max"):
        bounds.append(1e250)
    bounds = np.asarray(bounds, dtype=np.float64)
    if bounds[0] == zmin:
        bounds[0] = 0.99 * zmin if logscale else zmin - 1
    return bounds


def _codes_for(lengths, closed):
    codes = np.full(int(np.sum(lengths)), LINETO, dtype=np.uint8)
    ends = np.cumsum(lengths)
    starts = ends - lengths
    codes[starts] = MOVETO
    codes[(ends - 1)[closed]] = CLOSEPOLY
    return codes


def _line_paths(flat, level_offsets):
    """allsegs and allkinds of lines as flat arrays (points, offsets, closed) with level_offsets:
    per level, one (k, 2) array and its codes per line."""
    points, offsets, closed = flat
    codes = _codes_for(np.diff(offsets), closed)
    allsegs, allkinds = [], []
    for m in range(len(level_offsets) - 1):
        lines = range(level_offsets[m], level_offsets[m + 1])
        allsegs.append([points[offsets[k]:offsets[k + 1]] for k in lines])
        allkinds.append([codes[offsets[k]:offsets[k + 1]] for k in lines])
    return allsegs, allkinds


def _filled_paths(bands, points):
    """allsegs and allkinds of a Bands result with its points (turned as contourpy turns them):
    per band, one array and codes per polygon, its outer ring then its holes (matplotlib's
    OuterCode layout)."""
    ring_lengths = np.diff(bands.ring_offsets)
    codes = _codes_for(ring_lengths, np.ones(len(ring_lengths), dtype=bool))
    starts = bands.ring_offsets[bands.polygon_offsets]  # each polygon's first point, then n
    allsegs, allkinds = [], []
    for b in range(len(bands.lower)):
        first, last = bands.band_offsets[b], bands.band_offsets[b + 1]
        allsegs.append([points[starts[p]:starts[p + 1]] for p in range(first, last)])
        allkinds.append([codes[starts[p]:starts[p + 1]] for p in range(first, last)])
    return allsegs, allkinds
