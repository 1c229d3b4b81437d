"""The compiled core of the isocontour package: contour lines and filled bands of 2-D arrays
(type stubs)."""

from typing import Any, Literal, Optional, Sequence, Union

import numpy as np
import numpy.typing as npt

__version__: str
_options: tuple[str, ...]

_Array = npt.ArrayLike
_Real = Union[float, int, np.floating, np.integer]
_Saddle = Literal["above", "below", "centre", "center", "diagonal"]
_AtLevel = Literal["below", "above"]
_Interpolation = Literal["linear", "log"]

class Error(ValueError):
    """A refusal of the library: bad levels, shapes, masks or options."""

class Lines:
    """Contour lines as flat arrays: line k is points[offsets[k]:offsets[k + 1]]."""

    def __init__(self, points: _Array, offsets: _Array, closed: _Array, levels: _Array,
                 level_offsets: _Array, normals: Optional[_Array] = None) -> None:
        """Lines from arrays laid out as a call returns them, checked (ValueError otherwise)."""

    @property
    def points(self) -> npt.NDArray[np.floating]:
        """(n, 2) x, y of every point, line after line."""
    @property
    def offsets(self) -> npt.NDArray[np.int64]:
        """(lines + 1,) the first point of each line, then n."""
    @property
    def closed(self) -> npt.NDArray[np.bool_]:
        """(lines,) True where the line's last point repeats its first."""
    @property
    def normals(self) -> Optional[npt.NDArray[np.floating]]:
        """(n, 2) unit normals towards lower values with normals=True, else None."""
    @property
    def levels(self) -> npt.NDArray[np.floating]:
        """(levels,) the levels, in the values' type."""
    @property
    def level_offsets(self) -> npt.NDArray[np.int64]:
        """(levels + 1,) level m owns lines level_offsets[m] .. level_offsets[m + 1]."""
    def __len__(self) -> int: ...
    def split(self) -> list[npt.NDArray[np.floating]]:
        """One (k, 2) array per line, in order (views into points)."""
    def split_levels(self) -> list[list[npt.NDArray[np.floating]]]:
        """Per level, one (k, 2) array per line (views into points)."""
    def to_shapely(self) -> list[Any]:
        """One shapely MultiLineString per level, in the order of the levels."""
    @property
    def __geo_interface__(self) -> dict[str, Any]:
        """A GeoJSON FeatureCollection: one MultiLineString per level."""

class Bands:
    """Filled bands as flat arrays: ring r is points[ring_offsets[r]:ring_offsets[r + 1]]."""

    def __init__(self, points: _Array, ring_offsets: _Array, polygon_offsets: _Array,
                 band_offsets: _Array, lower: _Array, upper: _Array) -> None:
        """Bands from arrays laid out as a call returns them, checked (ValueError otherwise)."""

    @property
    def points(self) -> npt.NDArray[np.floating]: ...
    @property
    def ring_offsets(self) -> npt.NDArray[np.int64]: ...
    @property
    def polygon_offsets(self) -> npt.NDArray[np.int64]:
        """(polygons + 1,) polygon p is rings polygon_offsets[p] .. [p + 1], outer ring first."""
    @property
    def band_offsets(self) -> npt.NDArray[np.int64]:
        """(bands + 1,) band b is polygons band_offsets[b] .. [b + 1]."""
    @property
    def lower(self) -> npt.NDArray[np.floating]: ...
    @property
    def upper(self) -> npt.NDArray[np.floating]: ...
    def __len__(self) -> int: ...
    def split(self) -> list[list[npt.NDArray[np.floating]]]:
        """Per polygon, its rings as (k, 2) arrays, the outer one first (views into points)."""
    def split_bands(self) -> list[list[list[npt.NDArray[np.floating]]]]:
        """Per band, its polygons as split() gives them."""
    def to_shapely(self) -> list[Any]:
        """One shapely MultiPolygon per band, in band order, every polygon valid."""
    @property
    def __geo_interface__(self) -> dict[str, Any]:
        """A GeoJSON FeatureCollection: one MultiPolygon per band."""

def lines(z: _Array, level: _Real, *, x: Optional[_Array] = None, y: Optional[_Array] = None,
          mask: Optional[_Array] = None, saddle: _Saddle = "above", normals: bool = False,
          threads: int = 1, at_level: _AtLevel = "below",
          interpolation: _Interpolation = "linear", corner_mask: bool = False) -> Lines:
    """The contour lines of z (rows = y, columns = x) at one level."""

def multi_lines(z: _Array, levels: Sequence[_Real] | _Array, *, x: Optional[_Array] = None,
                y: Optional[_Array] = None, mask: Optional[_Array] = None,
                saddle: _Saddle = "above", normals: bool = False, threads: int = 1, at_level: _AtLevel = "below",
          interpolation: _Interpolation = "linear", corner_mask: bool = False) -> Lines:
    """The contour lines of z at each of levels, in one call."""

def filled(z: _Array, lower: _Real, upper: _Real, *, x: Optional[_Array] = None,
           y: Optional[_Array] = None, mask: Optional[_Array] = None,
           saddle: _Saddle = "above", threads: int = 1, at_level: _AtLevel = "below",
          interpolation: _Interpolation = "linear", corner_mask: bool = False) -> Bands:
    """The band lower < z <= upper as polygons."""

def multi_filled(z: _Array, levels: Sequence[_Real] | _Array, *, open_bands: bool = False,
                 x: Optional[_Array] = None, y: Optional[_Array] = None,
                 mask: Optional[_Array] = None, saddle: _Saddle = "above",
                 threads: int = 1, at_level: _AtLevel = "below",
          interpolation: _Interpolation = "linear", corner_mask: bool = False) -> Bands:
    """Every band between consecutive levels, in one call."""

# A grid too large for one call, window by window. A window is 8 integers: x0, y0, grid_nx,
# grid_ny, cell_x0, cell_y0, cell_x1, cell_y1.
_Window = Sequence[int]

class LinePieces:
    """The lines of one or more windows of a grid: whole lines, and pieces to join."""

    @property
    def line_count(self) -> int:
        """The number of whole lines."""
    @property
    def piece_count(self) -> int:
        """The number of pieces still to join."""
    @property
    def nbytes(self) -> int:
        """The bytes the lines and pieces hold."""
    @property
    def levels(self) -> npt.NDArray[np.floating]:
        """The levels (a copy), in the values' type."""
    def whole(self) -> LinePieces:
        """The whole lines only (a copy)."""
    def pieces(self) -> LinePieces:
        """The pieces only (a copy)."""

class PolygonPieces:
    """The filled bands of one or more windows of a grid: whole rings, and pieces to join."""

    @property
    def ring_count(self) -> int:
        """The number of whole rings."""
    @property
    def piece_count(self) -> int:
        """The number of pieces still to join."""
    @property
    def nbytes(self) -> int:
        """The bytes the rings and pieces hold."""
    def whole(self) -> PolygonPieces:
        """The whole rings only (a copy)."""
    def pieces(self) -> PolygonPieces:
        """The pieces only, with the windows' cells (a copy)."""

def window_lines(z: _Array, levels: Sequence[_Real] | _Array, window: _Window, *,
                 x: Optional[_Array] = None, y: Optional[_Array] = None,
                 mask: Optional[_Array] = None, saddle: _Saddle = "above",
                 normals: bool = False, threads: int = 1, at_level: _AtLevel = "below",
                 interpolation: _Interpolation = "linear",
                 corner_mask: bool = False) -> LinePieces:
    """The lines at each of levels of one window of a grid, for join_lines and finish_lines."""

def window_filled(z: _Array, levels: Sequence[_Real] | _Array, window: _Window, *,
                  open_bands: bool = False, x: Optional[_Array] = None,
                  y: Optional[_Array] = None, mask: Optional[_Array] = None,
                  saddle: _Saddle = "above", threads: int = 1, at_level: _AtLevel = "below",
                  interpolation: _Interpolation = "linear",
                  corner_mask: bool = False) -> PolygonPieces:
    """The bands between consecutive levels of one window of a grid."""

def join_lines(parts: Sequence[LinePieces]) -> LinePieces:
    """The lines of several windows of one grid together, in any grouping and order."""

def join_filled(parts: Sequence[PolygonPieces]) -> PolygonPieces:
    """The bands of several windows of one grid together, in any grouping and order."""

def finish_lines(joined: LinePieces) -> Lines:
    """Exactly what multi_lines returns on the whole grid (isocontour.Error while pieces remain)."""

def finish_filled(joined: PolygonPieces) -> Bands:
    """Exactly what multi_filled returns on the whole grid (isocontour.Error while pieces remain)."""
