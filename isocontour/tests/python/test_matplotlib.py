"""isocontour.mpl against matplotlib's own contour and contourf (algorithm='serial'): the same
pictures, pixel for pixel but for a bounded few, with colorbars and clabel; the ContourSet they
return; masked arrays, NaN, extend, colours, coordinates, origin and extent, holes."""

import matplotlib
import numpy as np
import pytest

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402
from matplotlib.contour import ContourSet  # noqa: E402

import isocontour.mpl as icm  # noqa: E402
from conftest import smooth_field  # noqa: E402


def picture(draw, size=(5.0, 3.6), dpi=80):
    """The RGBA pixels of a figure on which draw(ax) has drawn, rendered by Agg."""
    fig, ax = plt.subplots(figsize=size, dpi=dpi)
    draw(ax)
    fig.canvas.draw()
    pixels = np.asarray(fig.canvas.buffer_rgba()).copy()
    plt.close(fig)
    return pixels


def differing(a, b):
    return int(np.any(a != b, axis=2).sum())


def masked_field():
    z = np.ma.masked_array(smooth_field(60, 80, 3.0, seed=41), mask=False)
    z[20:27, 30:38] = np.ma.masked
    z[45, 60] = np.ma.masked
    return z


def nan_field():
    z = smooth_field(50, 70, 2.0, seed=42)
    z[10:16, 5:12] = np.nan
    return z


XS = np.cumsum(np.linspace(0.5, 1.5, 80))
YS = np.linspace(-3.0, 3.0, 60)
GX, GY = np.meshgrid(XS, YS)

CASES = {
    # name: (z, x, y, keyword arguments of both calls)
    "default levels": (smooth_field(60, 80, 3.0, seed=40), None, None, {}),
    "int levels, extend both, cmap": (smooth_field(60, 80, 3.0, seed=40), None, None,
                                      {"levels": 12, "extend": "both", "cmap": "viridis"}),
    "levels, colors, extend min, alpha": (smooth_field(60, 80, 2.0, seed=43), None, None,
                                          {"levels": [-0.1, -0.02, 0.0, 0.05, 0.1],
                                           "colors": ["#336", "#559", "#77b", "#99d", "#bbf"],
                                           "extend": "min", "alpha": 0.6}),
    "masked array, corner mask": (masked_field(), None, None, {"levels": 8}),  # rcParams'
    "NaN, corner mask": (nan_field(), None, None, {"extend": "max"}),
    "masked array, no corner mask": (masked_field(), None, None, {"corner_mask": False}),
    "rectilinear": (smooth_field(60, 80, 3.0, seed=44), XS, YS, {"levels": 6}),
    "curvilinear": (smooth_field(60, 80, 3.0, seed=44), GX + 0.3 * GY, GY, {"levels": 6}),
    "origin and extent": (smooth_field(60, 80, 3.0, seed=45), None, None,
                          {"origin": "upper", "extent": (0, 8, 0, 6)}),
    "minimum at the lowest level": (np.round(smooth_field(40, 50, 3.0, seed=46) * 10), None,
                                    None, {"levels": 5}),
}


def theirs(ax, z, x, y, filled, kwargs):
    args = (z,) if x is None else (x, y, z)
    call = ax.contourf if filled else ax.contour
    return call(*args, algorithm="serial", **kwargs)


def ours(ax, z, x, y, filled, kwargs):
    call = icm.contourf if filled else icm.contour
    return call(ax, z, x=x, y=y, **kwargs)


@pytest.mark.parametrize("filled", [True, False], ids=["contourf", "contour"])
@pytest.mark.parametrize("name", list(CASES))
def test_pictures_equal_matplotlib_s_own(name, filled):
    z, x, y, kwargs = CASES[name]
    sets = {}

    def drawer(which):
        def draw(ax):
            cs = which(ax, z, x, y, filled, dict(kwargs))
            sets[which] = cs
            if filled:
                ax.figure.colorbar(cs)
            elif name != "minimum at the lowest level":
                # Where nodes lie exactly at a level contourpy repeats them in its lines and
                # clabel counts points: the lines are the same, the labels not.
                ax.clabel(cs, fontsize=7)
        return draw

    mine, other = picture(drawer(ours)), picture(drawer(theirs))
    # A crossing computed in another order of operations may move an edge across a pixel
    # centre; a handful of pixels at most.
    assert differing(mine, other) <= 12, name
    cs, ref = sets[ours], sets[theirs]
    assert isinstance(cs, ContourSet)
    np.testing.assert_array_equal(cs.levels, ref.levels)
    np.testing.assert_array_equal(cs.layers, ref.layers)
    assert len(cs.collections) == len(ref.collections)


def test_a_wrong_picture_is_caught():
    """The comparison sees a band drawn at other levels (so the bound above means something)."""
    z = smooth_field(60, 80, 3.0, seed=40)
    a = picture(lambda ax: icm.contourf(ax, z, [-0.2, 0.0, 0.2]))
    b = picture(lambda ax: ax.contourf(z, [-0.2, 0.01, 0.2], algorithm="serial"))
    assert differing(a, b) > 100


def test_holes_stay_open():
    """An annulus: the band between two levels is a ring with a hole, drawn without its hole."""
    v, u = np.mgrid[-1:1:61j, -1:1:61j]
    z = np.hypot(u, v)
    cs = icm.contourf(plt.figure().add_subplot(), z, [0.3, 0.6, 0.9])
    kinds = cs.allkinds[0]
    assert len(kinds) == 1 and (kinds[0] == 1).sum() == 2  # one polygon of two rings
    pixels = picture(lambda ax: (icm.contourf(ax, z, [0.3, 0.6], colors="k"),
                                 ax.set_axis_off(), ax.set_position([0, 0, 1, 1])), size=(2, 2))
    centre, ring = pixels[80, 80], pixels[80, 80 + 36]
    assert tuple(centre[:3]) == (255, 255, 255) and tuple(ring[:3]) == (0, 0, 0)
    plt.close("all")


def test_empty_and_level_free_calls_are_not_errors():
    z = smooth_field(20, 30, 2.0, seed=47)
    ax = plt.figure().add_subplot()
    cs = icm.contourf(ax, z, [50.0, 60.0, 70.0])  # every band empty
    assert [len(s) for s in cs.allsegs] == [0, 0]
    with pytest.warns(UserWarning, match="No contour levels"):
        lines = icm.contour(ax, z, [])
    assert len(lines.levels) == 1
    with pytest.raises(ValueError, match="at least 2"):
        icm.contourf(ax, z, [0.0])
    with pytest.raises(ValueError, match="mpl2005"):
        icm.contour(ax, z, algorithm="mpl2005")
    plt.close("all")


def test_options_of_the_library_are_keywords():
    z = smooth_field(40, 50, 0.8, seed=48)  # rough: saddle cells
    ax = plt.figure().add_subplot()
    centre = icm.contour(ax, z, [0.0])
    above = icm.contour(ax, z, [0.0], saddle="above", threads=2)
    assert sum(map(len, centre.allsegs)) != sum(map(len, above.allsegs))
    plt.close("all")


def test_a_dataarray_draws_as_its_coordinates():
    xr = pytest.importorskip("xarray")
    z = smooth_field(60, 80, 3.0, seed=49)
    da = xr.DataArray(z, dims=("lat", "lon"), coords={"lon": XS, "lat": YS})
    for call in (icm.contourf, icm.contour):
        a = picture(lambda ax: call(ax, da.T, 8, x="lon", y="lat"))
        b = picture(lambda ax: call(ax, z, 8, x=XS, y=YS))
        assert differing(a, b) == 0
