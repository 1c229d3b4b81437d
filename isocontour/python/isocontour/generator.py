"""contourpy's contour_generator, drawn by isocontour: the same calls, properties and output
types, so that code written for contourpy (matplotlib's own contour and contourf among it) runs
on this library unchanged.

The geometry is contourpy 'serial''s: the centre rule at saddle cells, bands lower < z <= upper,
NaN, infinite and masked values removed, corner_mask as contourpy has it. Every line type
(Separate, SeparateCode, ChunkCombinedCode, ChunkCombinedOffset, ChunkCombinedNan) and fill type
(OuterCode, OuterOffset, ChunkCombinedCode, ChunkCombinedOffset, ChunkCombinedCodeOffset,
ChunkCombinedOffsetOffset) comes in contourpy's exact layout and dtypes: float64 points, uint8
codes, uint32 offsets. The chunk arguments are accepted and checked as contourpy checks them,
but the result always comes as one chunk, its lines and polygons joined whole (contourpy would
cut them at chunk borders): chunk_count is (1, 1). What cannot be matched is refused with a
ValueError, never drawn differently: quad_as_tri=True and the 'mpl2005' algorithm.

contourpy itself is not needed; where it is installed, its LineType, FillType and ZInterp
members are accepted too, and the properties return them.
"""

import enum
import os

import numpy as np

from . import _isocontour
from ._order import arranged, ring_points
from ._xarray import grid as _dataarray_grid
from ._xarray import is_dataarray as _is_dataarray


class LineType(enum.IntEnum):
    """contourpy's line types, with contourpy's values."""

    Separate = 101
    SeparateCode = 102
    ChunkCombinedCode = 103
    ChunkCombinedOffset = 104
    ChunkCombinedNan = 105


class FillType(enum.IntEnum):
    """contourpy's fill types, with contourpy's values."""

    OuterCode = 201
    OuterOffset = 202
    ChunkCombinedCode = 203
    ChunkCombinedOffset = 204
    ChunkCombinedCodeOffset = 205
    ChunkCombinedOffsetOffset = 206


class ZInterp(enum.IntEnum):
    """contourpy's interpolation of z along edges, with contourpy's values."""

    Linear = 1
    Log = 2


# matplotlib's path codes, as contourpy writes them.
MOVETO, LINETO, CLOSEPOLY = 1, 2, 79
_NAMES = ("serial", "threaded", "mpl2014")


def _contourpy_enum(ours):
    """contourpy's member of the same name where contourpy is installed and has it, else ours."""
    try:
        import contourpy
    except ImportError:
        return ours
    theirs = getattr(contourpy, type(ours).__name__, None)
    return getattr(theirs, ours.name, ours) if theirs is not None else ours


def _as(kind, value, default):
    """A member of our enum `kind` from ours, contourpy's or a name; ValueError otherwise."""
    if value is None:
        return default
    name = value if isinstance(value, str) else getattr(value, "name", None)
    if name in kind.__members__:
        return kind[name]
    raise ValueError(f"{value!r} is not a {kind.__name__}; one of "
                     f"{', '.join(kind.__members__)}")


def _pair(value, name):
    if value is None:
        return None
    pair = (value, value) if np.ndim(value) == 0 else tuple(value)
    if len(pair) != 2 or any(int(v) != v or v < 0 for v in pair):
        raise ValueError(f"{name} must be a non-negative whole number or a pair of them")
    return tuple(int(v) for v in pair)


def _engine_option(name):
    """Whether the compiled core's calls take the keyword `name`."""
    return name in _isocontour._options


class ContourGenerator:
    """contourpy's ContourGenerator, drawn by isocontour (see isocontour.contour_generator).

    The values, coordinates and mask are read once when it is made, as float64 (contourpy's
    type): contourpy reads them that way too, so every crossing is computed from the same
    numbers.
    """

    def __init__(self, x, y, z, *, corner_mask, line_type, fill_type, z_interp, thread_count):
        z, x, y, mask = _read(x, y, z)
        self._z, self._x, self._y = z, x, y
        self._corner_mask = bool(corner_mask)
        self._line_type = line_type
        self._fill_type = fill_type
        self._z_interp = z_interp
        self._threads = int(thread_count)
        self._options = {"saddle": "centre", "threads": self._threads}
        if x is not None:
            self._options.update(x=x, y=y)
        if mask is not None:
            self._options["mask"] = mask
        if self._corner_mask and mask is not None:
            self._options["corner_mask"] = True
        if z_interp == ZInterp.Log:
            self._options["interpolation"] = "log"

    # --- contourpy's properties ----------------------------------------------------------------

    @property
    def line_type(self):
        return _contourpy_enum(self._line_type)

    @property
    def fill_type(self):
        return _contourpy_enum(self._fill_type)

    @property
    def z_interp(self):
        return _contourpy_enum(self._z_interp)

    @property
    def corner_mask(self):
        return self._corner_mask

    @property
    def quad_as_tri(self):
        return False

    @property
    def chunk_count(self):
        """(1, 1): the whole grid is one chunk, whatever was asked."""
        return (1, 1)

    @property
    def chunk_size(self):
        """(rows, columns) of cells: the whole grid."""
        ny, nx = self._z.shape
        return (max(ny - 1, 0), max(nx - 1, 0))

    @property
    def thread_count(self):
        """Threads a call uses (0 asked for one per core); any count gives the same output."""
        return self._threads if self._threads > 0 else (os.cpu_count() or 1)

    # --- contourpy's class-level answers ------------------------------------------------

    default_line_type = LineType.Separate
    default_fill_type = FillType.OuterOffset

    @staticmethod
    def supports_line_type(line_type):
        """Every LineType: True; anything else: False."""
        try:
            return _as(LineType, line_type, None) is not None
        except ValueError:
            return False

    @staticmethod
    def supports_fill_type(fill_type):
        """Every FillType: True; anything else: False."""
        try:
            return _as(FillType, fill_type, None) is not None
        except ValueError:
            return False

    @staticmethod
    def supports_corner_mask():
        return _engine_option("corner_mask")

    @staticmethod
    def supports_quad_as_tri():
        return False

    @staticmethod
    def supports_threads():
        return True

    @staticmethod
    def supports_z_interp():
        return _engine_option("interpolation")

    # --- the calls -----------------------------------------------------------------------------

    def lines(self, level):
        """The lines at level, in this generator's line_type."""
        return self.multi_lines([level])[0]

    def filled(self, lower_level, upper_level):
        """The polygons of lower_level < z <= upper_level, in this generator's fill_type.
        Equal levels are refused (contourpy returns rings of no area for them)."""
        if not lower_level < upper_level:
            raise ValueError("upper and lower levels are the wrong way round"
                             if lower_level > upper_level else
                             "lower_level must be below upper_level")
        result = _isocontour.filled(self._z, lower_level, upper_level, **self._options)
        return _fill_layout(result, ring_points(result, self._x, self._y), self._fill_type)

    def multi_lines(self, levels):
        """lines() at each of levels, computed in one pass: a list with one entry per level."""
        levels = np.asarray(levels, dtype=np.float64)
        result = _isocontour.multi_lines(self._z, levels, **self._options)
        flat = arranged(result, self._z, levels, self._options) + (result.level_offsets,)
        return [_line_layout(flat, self._line_type, m) for m in range(len(levels))]

    def multi_filled(self, levels):
        """filled() between each pair of consecutive levels (increasing), in one pass."""
        levels = np.asarray(levels, dtype=np.float64)
        if levels.ndim != 1 or len(levels) < 2 or np.any(np.diff(levels) <= 0):
            raise ValueError("levels must be increasing, and at least two")
        result = _isocontour.multi_filled(self._z, levels, **self._options)
        points = ring_points(result, self._x, self._y)
        return [_fill_layout(result, points, self._fill_type, b) for b in range(len(levels) - 1)]

    def create_contour(self, level):
        """lines(level): the name matplotlib calls."""
        return self.lines(level)

    def create_filled_contour(self, lower_level, upper_level):
        """filled(lower_level, upper_level): the name matplotlib calls."""
        return self.filled(lower_level, upper_level)

    def __repr__(self):
        ny, nx = self._z.shape
        return (f"isocontour.ContourGenerator({ny} x {nx}, line_type={self._line_type.name}, "
                f"fill_type={self._fill_type.name}, corner_mask={self._corner_mask})")


def _read(x, y, z):
    """(z, x, y, mask) as float64 arrays, the mask the masked array's, NaN's and infinities'
    (None where nothing is masked), as contourpy reads them."""
    if z is None:
        raise ValueError("z must be given")
    if _is_dataarray(z):
        z, dx, dy, _ = _dataarray_grid(z, x if isinstance(x, str) else None,
                                       y if isinstance(y, str) else None)
        if x is None or isinstance(x, str):
            x, y = dx, dy
    values = np.ma.asarray(z)
    if values.ndim != 2:
        raise TypeError(f"Input z must be 2D, not {values.ndim}D")
    if values.shape[0] < 2 or values.shape[1] < 2:
        raise TypeError(f"Input z must be at least a (2, 2) shaped array, but has shape "
                        f"{values.shape}")
    data = np.ascontiguousarray(np.ma.getdata(values), dtype=np.float64)
    mask = np.ma.getmaskarray(values) | ~np.isfinite(data)
    if (x is None) != (y is None):
        raise TypeError("x and y must both be given, or neither")
    if x is not None:
        x = np.asarray(x, dtype=np.float64)
        y = np.asarray(y, dtype=np.float64)
        if x.ndim != y.ndim:
            raise TypeError(f"Number of dimensions of x ({x.ndim}) and y ({y.ndim}) do not match")
    return data, x, y, (mask if mask.any() else None)


def _codes(offsets, closed):
    """matplotlib's codes for lines (or rings) at offsets: MOVETO first, CLOSEPOLY last where
    closed, LINETO between."""
    codes = np.full(offsets[-1], LINETO, dtype=np.uint8)
    codes[offsets[:-1]] = MOVETO
    ends = offsets[1:][closed] - 1
    codes[ends] = CLOSEPOLY
    return codes


def _line_layout(flat, line_type, level):
    """Level `level` of lines as flat arrays (points, offsets, closed, level_offsets) in
    contourpy's layout for line_type."""
    all_points, all_offsets, all_closed, level_offsets = flat
    first, last = level_offsets[level], level_offsets[level + 1]
    offsets = all_offsets[first:last + 1]
    points = np.asarray(all_points[offsets[0]:offsets[-1]], dtype=np.float64)
    offsets = offsets - offsets[0]
    closed = all_closed[first:last]
    empty = last == first
    if line_type in (LineType.Separate, LineType.SeparateCode):
        spans = list(zip(offsets[:-1], offsets[1:]))
        lines = [points[a:b] for a, b in spans]
        if line_type == LineType.Separate:
            return lines
        codes = _codes(offsets, closed) if not empty else None
        return lines, [codes[a:b] for a, b in spans]
    if empty:
        return ([None], [None]) if line_type != LineType.ChunkCombinedNan else ([None],)
    if line_type == LineType.ChunkCombinedCode:
        return [points], [_codes(offsets, closed)]
    if line_type == LineType.ChunkCombinedOffset:
        return [points], [offsets.astype(np.uint32)]
    # ChunkCombinedNan: one row of NaN between consecutive lines.
    count = len(offsets) - 1
    out = np.full((len(points) + count - 1, 2), np.nan)
    rows = np.arange(len(points)) + np.repeat(np.arange(count), np.diff(offsets))
    out[rows] = points
    return ([out],)


def _fill_layout(result, all_points, fill_type, band=0):
    """Band `band` of a Bands result, its points all_points, in contourpy's layout."""
    first, last = result.band_offsets[band], result.band_offsets[band + 1]
    polygons = result.polygon_offsets[first:last + 1]  # ring indices
    rings = result.ring_offsets[polygons[0]:polygons[-1] + 1]  # point indices
    points = np.asarray(all_points[rings[0]:rings[-1]], dtype=np.float64)
    rings = rings - rings[0]
    polygons = polygons - polygons[0]
    empty = last == first
    codes = _codes(rings, np.ones(len(rings) - 1, dtype=bool))
    if fill_type in (FillType.OuterCode, FillType.OuterOffset):
        if empty:
            return [], []
        starts = rings[polygons]  # point offsets of each polygon
        spans = list(zip(starts[:-1], starts[1:]))
        outer_points = [points[a:b] for a, b in spans]
        if fill_type == FillType.OuterCode:
            return outer_points, [codes[a:b] for a, b in spans]
        return outer_points, [(rings[polygons[p]:polygons[p + 1] + 1] - starts[p])
                              .astype(np.uint32) for p in range(len(polygons) - 1)]
    if empty:
        return ([None], [None]) if fill_type in (FillType.ChunkCombinedCode,
                                                 FillType.ChunkCombinedOffset) else \
            ([None], [None], [None])
    if fill_type == FillType.ChunkCombinedCode:
        return [points], [codes]
    if fill_type == FillType.ChunkCombinedOffset:
        return [points], [rings.astype(np.uint32)]
    if fill_type == FillType.ChunkCombinedCodeOffset:
        return [points], [codes], [rings[polygons].astype(np.uint32)]
    return [points], [rings.astype(np.uint32)], [polygons.astype(np.uint32)]


def contour_generator(x=None, y=None, z=None, *, name=None, corner_mask=None, line_type=None,
                      fill_type=None, chunk_size=None, chunk_count=None, total_chunk_count=None,
                      quad_as_tri=False, z_interp=None, thread_count=0):
    """contourpy.contour_generator's call, drawn by isocontour: a ContourGenerator with
    contourpy's methods (lines, filled, multi_lines, multi_filled, create_contour,
    create_filled_contour), properties and output types.

    x, y   None (grid units), 1-D per column and row, or 2-D of z's shape; float64.
    z      2-D array, masked array or xarray.DataArray (its coordinates give x and y); NaN and
           infinite values are masked, as contourpy masks them.
    name   'serial' (the default), 'threaded' or 'mpl2014': drawn alike, as 'serial' draws
           (contourpy's 'mpl2014' gives the same lines and polygons, some starting elsewhere).
           'mpl2005', whose saddles differ, is refused.
    corner_mask  True (the default) contours a cell with one masked corner as the triangle of
           its other three; False drops it.
    line_type, fill_type  contourpy's enums, ours (isocontour.LineType, isocontour.FillType) or
           their names; defaults LineType.Separate and FillType.OuterOffset, as 'serial'.
    chunk_size, chunk_count, total_chunk_count  checked as contourpy checks them (at most one,
           whole numbers) but the output is one chunk, its lines and polygons joined whole.
    quad_as_tri  must be False: triangulated quads are refused (ValueError).
    z_interp  ZInterp.Linear (default) or ZInterp.Log (every usable value > 0).
    thread_count  threads for each call (0: one per core); any count gives the same output.
    """
    if name not in (None,) + _NAMES:
        if name == "mpl2005":
            raise ValueError("name='mpl2005' is not drawn by isocontour: its saddle cells and "
                             "masks differ from 'serial''s; use name='serial'")
        raise ValueError(f"unknown algorithm name {name!r}; isocontour draws as 'serial'")
    if quad_as_tri:
        raise ValueError("quad_as_tri=True is not supported by isocontour: it contours each "
                         "quad as one cell (quad_as_tri=False)")
    if sum(v is not None and v != 0 for v in (chunk_size, chunk_count, total_chunk_count)) > 1:
        raise ValueError("Only one of chunk_size, chunk_count and total_chunk_count should be set")
    _pair(chunk_size, "chunk_size")
    _pair(chunk_count, "chunk_count")
    if total_chunk_count is not None and (int(total_chunk_count) != total_chunk_count
                                          or total_chunk_count < 0):
        raise ValueError("total_chunk_count must be a non-negative whole number")
    if int(thread_count) != thread_count or thread_count < 0:
        raise ValueError("thread_count must be a non-negative whole number")
    return ContourGenerator(
        x, y, z, corner_mask=True if corner_mask is None else corner_mask,
        line_type=_as(LineType, line_type, LineType.Separate),
        fill_type=_as(FillType, fill_type, FillType.OuterOffset),
        z_interp=_as(ZInterp, z_interp, ZInterp.Linear), thread_count=int(thread_count))
