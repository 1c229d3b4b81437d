"""Contour lines and filled bands of Dask arrays, chunk by chunk: exactly what one call returns.

    import dask.array as da
    import isocontour.dask
    z = da.from_zarr("heights.zarr")            # any 2-D dask array, or a DataArray backed by one
    lines = isocontour.dask.multi_lines(z, [0, 500, 1000])                 # an isocontour.Lines
    bands = isocontour.dask.multi_filled(z, [0, 500, 1000], open_bands=True)  # isocontour.Bands

The result is the very Lines or Bands that isocontour.multi_lines or multi_filled returns on the
same values: the same points, bit for bit, in the same order. With compute=False a
dask.delayed object is returned instead, to compute later or with other work.

How: the values are cast to the type the library computes in (float32 for float16 and float32,
float64 for every other real type) before anything else, so that every chunk reads the same
values. Each chunk, with one row and column of nodes of its neighbours before it and two after
it (dask.array.overlap), is contoured by a task of its own as a window of the whole grid
(isocontour.window_lines, window_filled). A task hands on its whole lines and rings, and apart
from them the pieces that go on across its chunk's border, numbered by the grid edges they
cross. The pieces are joined by a tree of tasks, neighbouring chunks first, so that a join
holds the pieces along its chunks' seams and nothing else, and hands on what it closed apart
from the pieces still open. A gathering task joins every whole part (isocontour.join_lines,
join_filled), and the last task finishes them as one call would (finish_lines, finish_filled). Chunks narrower than two nodes are merged with a
neighbour first, as dask.array.map_overlap merges them.

The tasks run on whichever Dask scheduler computes them: the threaded one by default, or a
dask.distributed Client's cluster, to which the pieces travel pickled.
"""

import operator

import numpy as np
import dask
import dask.array as da
from dask.array.overlap import ensure_minimum_chunksize, overlap
from dask.base import tokenize
from dask.delayed import Delayed
from dask.highlevelgraph import HighLevelGraph
from dask.sizeof import sizeof

from . import _isocontour
from ._xarray import arrays as _dataarray_arrays
from ._xarray import is_dataarray as _is_dataarray

__all__ = ["multi_filled", "multi_lines"]

# A chunk of nodes [r0, r1) contours the cells [r0, r1): it reads nodes r0 .. r1 and, where
# the grid goes on, one more on each side, r0 - 1 and r1 + 1. So one node of overlap before
# the chunk and two after it.
_HALO = (1, 2)

# Parts per join: 2 x 2 neighbouring chunks (4 along a grid one chunk wide), so that each
# join closes the seams between them.
_JOIN = 2


def multi_lines(array, levels, *, x=None, y=None, mask=None, saddle="above", normals=False,
                threads=1, at_level="below", interpolation="linear", corner_mask=False,
                compute=True):
    """The contour lines of a 2-D dask array at each of levels: isocontour.multi_lines's Lines.

    array   a 2-D dask.array.Array (rows = y, columns = x), any chunks; a numpy array or a
            2-D xarray.DataArray (backed by dask or not) is taken too.
    levels  a 1-D sequence of levels, any order, repeats allowed.
    x, y    None (grid units), 1-D per column and row, or 2-D of array's shape: numpy or dask
            arrays (rechunked to array's chunks). For a DataArray, x= and y= may name
            coordinates, as isocontour.multi_lines takes them.
    mask    None, or array's shape (numpy or dask): True removes a node. Masked chunks
            (dask.array.ma) count too.
    saddle, normals, at_level, interpolation, corner_mask  as isocontour.multi_lines.
    threads the library's threads in each chunk's task (Dask already works chunks in parallel).
    compute True: the Lines, computed on the current Dask scheduler; False: a dask.delayed
            object that computes to them.
    Bad levels and options raise as isocontour.multi_lines raises (isocontour.Error, a
    ValueError, for the library's refusals), here when called rather than when computed.
    """
    options = dict(saddle=saddle, normals=normals, threads=threads, at_level=at_level,
                   interpolation=interpolation, corner_mask=corner_mask)
    return _contour("lines", array, levels, x, y, mask, options, compute)


def multi_filled(array, levels, *, open_bands=False, x=None, y=None, mask=None, saddle="above",
                 threads=1, at_level="below", interpolation="linear", corner_mask=False,
                 compute=True):
    """Every band between consecutive levels of a 2-D dask array: isocontour.multi_filled's Bands.

    levels  strictly increasing, at least two; with open_bands=True also the bands below the
            first and above the last.
    The other arguments are multi_lines's (without normals); compute=False returns a
    dask.delayed object that computes to the Bands.
    """
    options = dict(open_bands=open_bands, saddle=saddle, threads=threads, at_level=at_level,
                   interpolation=interpolation, corner_mask=corner_mask)
    return _contour("filled", array, levels, x, y, mask, options, compute)


# --- The tasks ------------------------------------------------------------------------------
# The library's calls are wrapped in the package's own functions, which pickle by name (the
# compiled functions do not).

def _window(call, z, x, y, mask, window, levels, options):
    """A chunk's task: its whole lines or rings, and apart from them the pieces to join."""
    part = call(z, levels, window, x=x, y=y, mask=mask, **options)
    return part.whole(), part.pieces()


def _window_lines(*args):
    return _window(_isocontour.window_lines, *args)


def _window_filled(*args):
    return _window(_isocontour.window_filled, *args)


def _join_lines(parts, split):
    """A join of neighbouring chunks' pieces: what it closed, and apart from it the pieces
    still open (split), or all in one (the last join, which leaves no pieces)."""
    joined = _isocontour.join_lines(parts)
    return (joined.whole(), joined.pieces()) if split else joined


def _join_filled(parts, split):
    joined = _isocontour.join_filled(parts)
    return (joined.whole(), joined.pieces()) if split else joined


def _finish_lines(joined):
    return _isocontour.finish_lines(joined)


def _finish_filled(joined):
    return _isocontour.finish_filled(joined)


# Each kind's tasks: a chunk's window, a join (also the gathering of every whole part with the
# last join), the finish.
_TASKS = {"lines": (_window_lines, _join_lines, _finish_lines),
          "filled": (_window_filled, _join_filled, _finish_filled)}


# --- The graph ------------------------------------------------------------------------------

def _value_type(dtype):
    """The type the library computes in for values of dtype (isocontour's own rule)."""
    if dtype.kind == "f" and dtype.itemsize <= 4:
        return np.dtype(np.float32)
    if dtype.kind in "biufO":
        return np.dtype(np.float64)
    raise TypeError(f"array must hold real numbers, not values of dtype {dtype}")


def _shape_text(shape):
    return "(" + ", ".join(str(n) for n in shape) + ("," if len(shape) == 1 else "") + ")"


def _real(a, name):
    if a.dtype.kind not in "biufO":
        raise TypeError(f"{name} must hold real numbers, not values of dtype {a.dtype}")
    return a


def _coordinates(x, y, shape):
    """x and y as dask arrays, checked against the values' shape; (None, None) for grid units."""
    if x is None and y is None:
        return None, None
    if x is None or y is None:
        raise ValueError("give both x and y, or neither (grid units)")
    x, y = _real(da.asarray(x), "x"), _real(da.asarray(y), "y")
    rows, cols = shape
    got = f"got x {_shape_text(x.shape)} and y {_shape_text(y.shape)}"
    if x.ndim == 1 and y.ndim == 1:
        if x.shape != (cols,) or y.shape != (rows,):
            raise ValueError("1-D x and y must have one value per column and per row of z "
                             f"{_shape_text(shape)}, {got}")
    elif x.ndim == 2 and y.ndim == 2:
        if x.shape != shape or y.shape != shape:
            raise ValueError(f"2-D x and y must have z's shape {_shape_text(shape)}, {got}")
    else:
        raise ValueError("x and y must be both 1-D (one value per column and row) or both 2-D "
                         f"with z's shape {_shape_text(shape)}, {got}")
    return x, y


def _blocks(a, chunks, axes):
    """The overlapped blocks of a (values, a mask or coordinates over axes of the values) as an
    array of dask.delayed objects, one per chunk of the values along those axes."""
    if a is None:
        return None
    a = a.rechunk(tuple(chunks[k] for k in axes))
    depth = {k: _HALO for k in range(a.ndim)}
    return overlap(a, depth=depth, boundary="none", allow_rechunk=False).to_delayed()


def _ranges(chunks, n):
    """Per chunk of nodes along an axis of n nodes: (first node read, first cell, end of
    cells). The last chunk's last node has no cell past it."""
    ends = np.cumsum((0,) + tuple(chunks))
    return [(max(int(a) - 1, 0), int(a), min(int(b), n - 1)) for a, b in zip(ends, ends[1:])]


def _contour(kind, array, levels, x, y, mask, options, compute):
    if _is_dataarray(array):
        array, x, y, mask = _dataarray_arrays(array, x, y, mask, lazy=True)
    z = da.asarray(array)
    if z.ndim != 2:
        raise ValueError("array must be 2-D (rows = y, columns = x), got shape "
                         f"{_shape_text(z.shape)}")
    if any(np.isnan(n) for c in z.chunks for n in c):
        raise ValueError("array's chunk sizes must be known (dask's compute_chunk_sizes())")
    value_type = _value_type(z.dtype)
    z = z.astype(value_type)  # before the overlap: every chunk's halo reads the cast values
    levels = np.asarray(levels)
    x, y = _coordinates(x, y, z.shape)
    if mask is not None:
        mask = _real(da.asarray(mask), "mask")
        if mask.shape != z.shape:
            raise ValueError(f"mask must have z's shape {_shape_text(z.shape)}, got "
                             f"{_shape_text(mask.shape)}")
    # The library's own refusals of the levels and options, now rather than in a task.
    call = _isocontour.multi_lines if kind == "lines" else _isocontour.multi_filled
    call(np.ones((2, 2), dtype=value_type), levels, **options)
    rows, cols = z.shape
    if rows < 2 or cols < 2:  # no cells: an empty result, and nothing to read
        empty = call(np.zeros((0, 0), dtype=value_type), levels, **options)
        return empty if compute else dask.delayed(empty)

    chunks = tuple(ensure_minimum_chunksize(_HALO[1], c) for c in z.chunks)
    values = _blocks(z, chunks, (0, 1))
    masks = _blocks(mask, chunks, (0, 1))
    if x is not None and x.ndim == 2:
        xs, ys = _blocks(x, chunks, (0, 1)), _blocks(y, chunks, (0, 1))
    else:
        xs, ys = _blocks(x, chunks, (1,)), _blocks(y, chunks, (0,))
    # One graph layer of tasks over the blocks' (optimised) graphs: a window per chunk, whose
    # whole part and pieces are taken apart; the joins; the gathering; the finish.
    inputs = [blocks for blocks in (values, xs, ys, masks) if blocks is not None]
    token = tokenize(*(b.flat[0].key for b in inputs), levels, options)
    name = f"isocontour-{kind}"
    window_task, join_task, finish_task = _TASKS[kind]
    key = lambda blocks, *at: None if blocks is None else blocks[at].key  # noqa: E731
    layer, wholes, pieces = {}, [], {}

    def taken_apart(task, whole, piece):
        """Whole part and pieces of a task's result, under keys of their own."""
        layer[whole] = (operator.getitem, task, 0)
        layer[piece] = (operator.getitem, task, 1)
        wholes.append(whole)
        return piece

    for j, (y0, cy0, cy1) in enumerate(_ranges(chunks[0], rows)):
        for i, (x0, cx0, cx1) in enumerate(_ranges(chunks[1], cols)):
            if cx1 <= cx0 or cy1 <= cy0:
                continue
            if xs is not None and xs.ndim == 1:
                xk, yk = key(xs, i), key(ys, j)
            else:
                xk, yk = key(xs, j, i), key(ys, j, i)
            window = (f"{name}-window-{token}", j, i)
            layer[window] = (window_task, key(values, j, i), xk, yk, key(masks, j, i),
                             (x0, y0, cols, rows, cx0, cy0, cx1, cy1), levels, options)
            pieces[j, i] = taken_apart(window, (f"{name}-whole-{token}", j, i),
                                       (f"{name}-pieces-{token}", j, i))
    # The tree of joins: each level joins blocks of neighbouring parts, keyed by where they lie;
    # what a join closes goes to the gathering, only its open pieces on up the tree. The last
    # join leaves no pieces: its result goes whole.
    step = 0
    while len(pieces) > 1:
        tall = max(j for j, _ in pieces) > 0
        wide = max(i for _, i in pieces) > 0
        by = _JOIN if tall and wide else _JOIN * _JOIN if tall else 1
        bx = _JOIN if tall and wide else _JOIN * _JOIN if wide else 1
        groups = {}
        for (j, i), part in sorted(pieces.items()):
            groups.setdefault((j // by, i // bx), []).append(part)
        last = len(groups) == 1
        pieces = {}
        for at, group in groups.items():
            if len(group) == 1:
                pieces[at] = group[0]
                continue
            join = (f"{name}-join-{token}", step, *at)
            layer[join] = (join_task, group, not last)
            pieces[at] = join if last else taken_apart(
                join, (f"{name}-joined-{token}", step, *at), (f"{name}-open-{token}", step, *at))
        step += 1
    (root,) = pieces.values()
    gathered, final = f"{name}-gather-{token}", f"{name}-{token}"
    layer[gathered] = (join_task, [*wholes, root], False)
    layer[final] = (finish_task, gathered)
    graph = HighLevelGraph.from_collections(final, layer, dependencies=[b.flat[0] for b in inputs])
    result = Delayed(final, graph)
    return result.compute() if compute else result


# Dask weighs what its workers hold by sizeof(): the arrays the results and pieces own, not
# the small Python objects that hold them.
@sizeof.register(_isocontour.LinePieces)
@sizeof.register(_isocontour.PolygonPieces)
def _sizeof_pieces(pieces):
    return pieces.nbytes


@sizeof.register(_isocontour.Lines)
def _sizeof_lines(lines):
    arrays = [lines.points, lines.offsets, lines.closed, lines.levels, lines.level_offsets]
    return sum(a.nbytes for a in arrays) + (0 if lines.normals is None else lines.normals.nbytes)


@sizeof.register(_isocontour.Bands)
def _sizeof_bands(bands):
    return sum(a.nbytes for a in (bands.points, bands.ring_offsets, bands.polygon_offsets,
                                  bands.band_offsets, bands.lower, bands.upper))
