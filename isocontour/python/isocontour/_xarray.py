"""A 2-D xarray.DataArray as the arrays a call reads: its values, x, y and mask.

Which dimension is x: the last of the DataArray's two unless told. It is told by naming a
coordinate or a dimension as x= or y= (as xarray's own plotting does): a 1-D coordinate names
its dimension; a dimension without a coordinate means grid units along it. Without names, the
x and y dimensions' own coordinates are used where they exist (grid units where not). A 2-D
coordinate must lie over both dimensions; it is read in the values' orientation. Arrays given
as x= or y= (numpy, or DataArrays) are taken as they are, a 2-D DataArray turned to the values'
orientation. A mask that is a DataArray is turned the same way; a numpy mask has the shape of
the DataArray as given.

xarray is not imported here: the objects are used through their own methods.
"""

import numpy as np


def is_dataarray(obj):
    """Whether obj is an xarray.DataArray (without importing xarray)."""
    return type(obj).__name__ == "DataArray" and type(obj).__module__.startswith("xarray")


def _name_of_axis(z, name, axis):
    """(dimension, coordinate or None) for the coordinate or dimension called name."""
    if name in z.coords:
        coord = z.coords[name]
        if coord.ndim == 1:
            if coord.dims[0] not in z.dims:
                raise ValueError(f"{axis}={name!r}: its dimension {coord.dims[0]!r} is not one "
                                 f"of z's {tuple(z.dims)}")
            return coord.dims[0], coord
        if coord.ndim == 2 and set(coord.dims) == set(z.dims):
            return None, coord
        raise ValueError(f"{axis}={name!r} must be a 1-D coordinate or a 2-D one over z's "
                         f"dimensions {tuple(z.dims)}, not over {tuple(coord.dims)}")
    if name in z.dims:
        return name, None
    raise ValueError(f"{axis}={name!r} names neither a coordinate nor a dimension of z "
                     f"(coordinates {list(z.coords)}, dimensions {list(z.dims)})")


def _dims(z, x, y):
    """(y dimension, x dimension, x coordinate, y coordinate) for z and the names given."""
    dims = tuple(z.dims)
    xdim = ydim = None
    xcoord = ycoord = None
    if isinstance(x, str):
        xdim, xcoord = _name_of_axis(z, x, "x")
    if isinstance(y, str):
        ydim, ycoord = _name_of_axis(z, y, "y")
    if xdim is None and ydim is None:
        ydim, xdim = dims
    elif xdim is None:
        xdim = dims[1] if dims[0] == ydim else dims[0]
    elif ydim is None:
        ydim = dims[1] if dims[0] == xdim else dims[0]
    if xdim == ydim:
        raise ValueError(f"x and y both lie along dimension {xdim!r}")
    # Unnamed axes take their dimension's own coordinate, where it has one.
    if x is None and xdim in z.coords and z.coords[xdim].ndim == 1:
        xcoord = z.coords[xdim]
    if y is None and ydim in z.coords and z.coords[ydim].ndim == 1:
        ycoord = z.coords[ydim]
    return ydim, xdim, xcoord, ycoord


def _oriented(a, ydim, xdim):
    """A DataArray's values with (ydim, xdim) order where it has both, else as they are."""
    if is_dataarray(a):
        if a.ndim == 2 and set(a.dims) == {ydim, xdim}:
            return a.transpose(ydim, xdim).values
        return a.values
    return a


def grid(z, x=None, y=None):
    """(values, x, y, transposed) of a 2-D DataArray z: values as a numpy array in (y, x)
    order, x and y as numpy arrays (1-D or 2-D) or None, and whether the values were turned."""
    if z.ndim != 2:
        raise ValueError(f"z must be a 2-D DataArray, got dimensions {tuple(z.dims)}")
    ydim, xdim, xcoord, ycoord = _dims(z, x, y)
    values = z.transpose(ydim, xdim).values
    xs = _oriented(xcoord, ydim, xdim) if xcoord is not None else (
        None if isinstance(x, str) or x is None else _oriented(x, ydim, xdim))
    ys = _oriented(ycoord, ydim, xdim) if ycoord is not None else (
        None if isinstance(y, str) or y is None else _oriented(y, ydim, xdim))
    # The library takes both or neither, of one kind: a missing one is grid units, and a 1-D one
    # beside a 2-D one is spread over the grid.
    rows, cols = values.shape
    if xs is not None or ys is not None:
        xs = np.arange(cols, dtype=np.float64) if xs is None else np.asarray(xs)
        ys = np.arange(rows, dtype=np.float64) if ys is None else np.asarray(ys)
        if xs.ndim == 1 and ys.ndim == 2:
            xs = np.broadcast_to(xs[None, :], ys.shape)
        elif xs.ndim == 2 and ys.ndim == 1:
            ys = np.broadcast_to(ys[:, None], xs.shape)
    transposed = (ydim, xdim) != tuple(z.dims)
    return values, xs, ys, transposed


def arrays(z, x=None, y=None, mask=None):
    """(values, x, y, mask) for a call on the 2-D DataArray z (see the module's docstring)."""
    values, xs, ys, transposed = grid(z, x, y)
    if is_dataarray(mask):
        ydim, xdim, _, _ = _dims(z, x, y)
        mask = _oriented(mask, ydim, xdim)
    elif mask is not None and transposed:
        mask = np.asarray(mask).T
    return values, xs, ys, mask
