"""isocontour.contour_generator, the drop-in for contourpy's, against contourpy itself on the
same arrays: every line and fill type in contourpy's layout and dtypes, the same lines and
polygons; and matplotlib drawing through it in place of contourpy."""

import contourpy
import numpy as np
import pytest

import isocontour as ic
from conftest import (assert_same_shapes, canonical_ring, ring_area, smooth_field,
                      without_repeats)

LINE_TYPES = list(ic.LineType.__members__)
FILL_TYPES = list(ic.FillType.__members__)


def fields():
    """name -> (x, y, z, options) on which both generators are made."""
    loops = smooth_field(70, 90, 2.0, seed=21)
    rough = smooth_field(50, 60, 0.8, seed=22)  # many saddle cells
    holes = smooth_field(60, 80, 2.5, seed=23)
    holes[20:28, 30:41] = np.nan
    holes[45, 10] = np.inf  # contourpy masks infinities too
    masked = np.ma.masked_array(smooth_field(60, 70, 2.0, seed=24), mask=False)
    masked[10:30, 5:9] = np.ma.masked
    masked[40, 40] = np.ma.masked
    xs = np.cumsum(np.random.default_rng(3).uniform(0.3, 1.5, 90))
    ys = np.linspace(-4.0, 9.0, 70)
    gx, gy = np.meshgrid(xs, ys)
    gx, gy = gx + 0.2 * gy, gy - 0.1 * gx  # sheared: truly curvilinear
    plateau = np.round(smooth_field(50, 50, 3.0, seed=25) * 20) / 20  # nodes exactly at levels
    return {
        "smoothed": (None, None, loops, {}),
        "rough (saddles)": (None, None, rough, {}),
        "NaN and inf holes": (None, None, holes, {"corner_mask": False}),
        "masked array": (None, None, masked, {"corner_mask": False}),
        "rectilinear": (xs, ys, loops, {}),
        "rectilinear, y falling": (xs, ys[::-1].copy(), loops, {}),
        "curvilinear": (gx, gy, loops, {}),
        # contourpy repeats a node exactly at a level, isocontour never: compared without.
        "plateau at the levels": (None, None, plateau, {}),
    }


CASES = fields()
CASES["NaN holes, corner mask"] = CASES["NaN and inf holes"][:3] + ({"corner_mask": True},)
CASES["masked, corner mask"] = CASES["masked array"][:3] + ({"corner_mask": True},)
CASES["log interpolation"] = (None, None, np.exp(2.0 * smooth_field(60, 70, 2.0, seed=26)),
                              {"z_interp": "Log"})

LEVELS = (-0.1, 0.0, 0.05)
BANDS = ((-0.1, 0.0), (0.0, 0.05), (-1e3, -0.05))


def levels_for(name):
    return (0.7, 1.0, 1.6) if name == "log interpolation" else LEVELS


def bands_for(name):
    return ((0.7, 1.0), (1.0, 1.6), (1e-3, 0.9)) if name == "log interpolation" else BANDS


def pair(name, **kwargs):
    x, y, z, options = CASES[name]
    ours = ic.contour_generator(x, y, z, **options, **kwargs)
    theirs = contourpy.contour_generator(x, y, z, name="serial", **options, **kwargs)
    return ours, theirs


def line_shapes(lines, line_type):
    """Each line of any layout as ((k, 2) points,), a closed line normalised."""
    if line_type == "Separate":
        out = list(lines)
    elif line_type == "SeparateCode":
        out = list(lines[0])
        for points, codes in zip(*lines):
            assert codes.dtype == np.uint8 and len(codes) == len(points)
            assert codes[0] == 1 and (codes[-1] == 79) == np.array_equal(points[0], points[-1])
    elif line_type == "ChunkCombinedNan":
        out = []
        for points in lines[0]:
            if points is not None:
                breaks = np.flatnonzero(np.isnan(points[:, 0]))
                out += [p for p in np.split(points, breaks) if len(p)]
                out = [p[1:] if np.isnan(p[0, 0]) else p for p in out]
    else:
        out = []
        for points, marks in zip(*lines):
            if points is None:
                continue
            offsets = marks if line_type == "ChunkCombinedOffset" else \
                np.append(np.flatnonzero(marks == 1), len(marks))
            out += [points[a:b] for a, b in zip(offsets[:-1], offsets[1:])]
    return [((canonical_ring(p) if np.array_equal(p[0], p[-1]) else without_repeats(p)),)
            for p in out]


def polygon_shapes(filled, fill_type):
    """Each polygon of any layout as (outer ring, holes...) normalised; for the layouts that do
    not group holes with their outer ring, each ring alone."""
    def rings_by_codes(points, codes):
        starts = np.append(np.flatnonzero(codes == 1), len(codes))
        return [points[a:b] for a, b in zip(starts[:-1], starts[1:])]

    polygons = []
    if fill_type in ("OuterCode", "OuterOffset"):
        for points, marks in zip(*filled):
            rings = rings_by_codes(points, marks) if fill_type == "OuterCode" else \
                [points[a:b] for a, b in zip(marks[:-1], marks[1:])]
            polygons.append(rings)
    else:
        for chunk in zip(*filled):
            if chunk[0] is None:
                continue
            points, marks = chunk[0], chunk[1]
            rings = rings_by_codes(points, marks) if "CombinedCode" in fill_type else \
                [points[a:b] for a, b in zip(marks[:-1], marks[1:])]
            if fill_type == "ChunkCombinedCodeOffset":  # outer offsets count points
                starts = np.searchsorted(np.cumsum([0] + [len(r) for r in rings]), chunk[2])
            elif fill_type == "ChunkCombinedOffsetOffset":  # outer offsets count rings
                starts = chunk[2]
            else:  # no grouping: each ring alone
                starts = np.arange(len(rings) + 1)
            polygons += [rings[a:b] for a, b in zip(starts[:-1], starts[1:])]
    return [(canonical_ring(p[0]),) + tuple(sorted((canonical_ring(h) for h in p[1:]),
                                                   key=lambda h: tuple(h[0])))
            for p in polygons]


def all_points(lines):
    """Every point of a lines() result, in its order."""
    arrays = [a for a in (lines if isinstance(lines, list) else lines[0]) if a is not None]
    return np.concatenate(arrays) if arrays else np.empty((0, 2))


def assert_same_layout(ours, theirs):
    """The same nesting of tuples and lists, and arrays of the same dtypes and widths."""
    assert type(ours) is type(theirs)
    if isinstance(ours, (list, tuple)):
        assert len(ours) == len(theirs)
        for a, b in zip(ours, theirs):
            assert_same_layout(a, b)
    elif ours is not None:
        assert isinstance(ours, np.ndarray) and ours.dtype == theirs.dtype, (ours, theirs)
        assert ours.shape[1:] == theirs.shape[1:]


def contourpy_nan_layout(offset_lines):
    """contourpy's documented ChunkCombinedNan made from its ChunkCombinedOffset: one row of NaN
    between consecutive lines of a chunk (Debian's contourpy predates that line type)."""
    out = []
    for points, offsets in zip(*offset_lines):
        if points is None:
            out.append(None)
            continue
        gap = np.full((1, 2), np.nan)
        pieces = [p for a, b in zip(offsets[:-1], offsets[1:]) for p in (gap, points[a:b])]
        out.append(np.concatenate(pieces[1:]))
    return (out,)


@pytest.mark.parametrize("line_type", LINE_TYPES)
@pytest.mark.parametrize("name", list(CASES))
def test_every_line_type_gives_contourpy_s_lines(name, line_type):
    native = line_type in contourpy.LineType.__members__
    ours, theirs = pair(name, line_type=line_type if native else "ChunkCombinedOffset")
    if not native:
        ours = ic.contour_generator(*CASES[name][:3], **CASES[name][3], line_type=line_type)
    assert ours.line_type.name == line_type
    for level in levels_for(name):
        mine = ours.lines(level)
        other = theirs.lines(level) if native else contourpy_nan_layout(theirs.lines(level))
        assert_same_layout(mine, other)
        assert_same_shapes(line_shapes(mine, line_type), line_shapes(other, line_type))
        if name != "plateau at the levels":
            # The lines come in contourpy's order, each from contourpy's start (where lines run
            # along cell edges between nodes at the level, the order of the scan is not theirs).
            np.testing.assert_allclose(without_repeats(all_points(mine)),
                                       without_repeats(all_points(other)), rtol=0, atol=1e-9)


@pytest.mark.parametrize("fill_type", FILL_TYPES)
@pytest.mark.parametrize("name", list(CASES))
def test_every_fill_type_gives_contourpy_s_polygons(name, fill_type):
    ours, theirs = pair(name, fill_type=fill_type)
    assert ours.fill_type == theirs.fill_type
    total = 0
    for lower, upper in bands_for(name):
        mine, other = ours.filled(lower, upper), theirs.filled(lower, upper)
        shapes = polygon_shapes(mine, fill_type)
        total += len(shapes)
        if name == "plateau at the levels":
            # Where a ring passes a node at a level twice, isocontour splits it there (a valid
            # polygon) and contourpy does not: the same region, other rings.
            area = lambda shapes: sum(ring_area(np.vstack([r, r[:1]])) for s in shapes  # noqa
                                      for r in s)
            assert area(shapes) == pytest.approx(area(polygon_shapes(other, fill_type)),
                                                 rel=1e-12)
            continue
        assert_same_layout(mine, other)
        assert_same_shapes(shapes, polygon_shapes(other, fill_type))
    assert total > 3


def test_multi_calls_and_the_matplotlib_names_give_the_single_calls():
    x, y, z, _ = CASES["rectilinear"]
    gen = ic.contour_generator(x, y, z, line_type="SeparateCode", fill_type="OuterCode")
    levels = [-0.2, -0.1, 0.0, 0.1]
    for got, level in zip(gen.multi_lines(levels), levels):
        want = gen.create_contour(level)
        assert all(np.array_equal(a, b) for a, b in zip(got[0] + got[1], want[0] + want[1]))
        assert len(got[0]) == len(want[0])
    for got, lower, upper in zip(gen.multi_filled(levels), levels[:-1], levels[1:]):
        want = gen.create_filled_contour(lower, upper)
        assert len(got[0]) == len(want[0]) > 0
        assert all(np.array_equal(a, b) for a, b in zip(got[0] + got[1], want[0] + want[1]))


def test_properties_and_class_answers_are_contourpy_s():
    z = smooth_field(30, 40, 2.0, seed=1)
    ours = ic.contour_generator(z=z, chunk_size=5)
    theirs = contourpy.contour_generator(z=z, name="serial", chunk_size=5)
    for prop in ("line_type", "fill_type", "z_interp", "corner_mask", "quad_as_tri"):
        assert getattr(ours, prop) == getattr(theirs, prop), prop
    assert ours.chunk_count == (1, 1) and ours.chunk_size == (29, 39)  # one chunk, joined
    assert ours.default_line_type == ic.LineType.Separate
    assert ours.default_fill_type == ic.FillType.OuterOffset
    assert all(ours.supports_line_type(t) for t in LINE_TYPES)
    assert all(ours.supports_fill_type(getattr(contourpy.FillType, t)) for t in FILL_TYPES)
    assert not ours.supports_line_type("Lines") and not ours.supports_quad_as_tri()
    assert ours.supports_threads()
    assert ours.supports_corner_mask() and ours.supports_z_interp()
    assert ic.contour_generator(z=z, thread_count=3).thread_count == 3
    assert ic.contour_generator(z=z, line_type=contourpy.LineType.ChunkCombinedCode).line_type \
        == contourpy.LineType.ChunkCombinedCode
    # Empty results in every layout, as contourpy gives them.
    for t in contourpy.LineType.__members__:
        assert_same_layout(ic.contour_generator(z=z, line_type=t).lines(99.0),
                           contourpy.contour_generator(z=z, line_type=t).lines(99.0))
    for t in FILL_TYPES:
        assert_same_layout(ic.contour_generator(z=z, fill_type=t).filled(50.0, 99.0),
                           contourpy.contour_generator(z=z, fill_type=t).filled(50.0, 99.0))
    assert ic.contour_generator(z=z, line_type="ChunkCombinedNan").lines(99.0) == ([None],)


@pytest.mark.parametrize("kwargs,words", [
    ({"quad_as_tri": True}, "quad_as_tri"),
    ({"name": "mpl2005"}, "mpl2005"),
    ({"name": "fastest"}, "fastest"),
    ({"chunk_size": 4, "chunk_count": 2}, "Only one"),
    ({"chunk_size": -1}, "chunk_size"),
    ({"line_type": "Lines"}, "LineType"),
    ({"fill_type": 3}, "FillType"),
    ({"z_interp": "Cubic"}, "ZInterp"),
    ({"thread_count": -2}, "thread_count"),
])
def test_what_cannot_be_matched_is_refused_with_a_clear_error(kwargs, words):
    with pytest.raises(ValueError, match=words):
        ic.contour_generator(z=np.zeros((4, 5)), **kwargs)


def test_refusals_of_the_calls():
    gen = ic.contour_generator(z=smooth_field(10, 10, 1.0, seed=2))
    with pytest.raises(ValueError, match="wrong way round"):
        gen.filled(1.0, 0.0)
    with pytest.raises(TypeError, match="2D"):
        ic.contour_generator(z=np.zeros(5))
    with pytest.raises(TypeError, match="both"):
        ic.contour_generator(x=np.arange(10), z=np.zeros((10, 10)))
    with pytest.raises(ValueError, match="above 0"):
        ic.contour_generator(z=[[1.0, 2.0], [-1.0, 3.0]], z_interp="Log").lines(1.5)


# --- matplotlib, drawing through the drop-in ------------------------------------------------

def test_matplotlib_draws_through_the_drop_in(monkeypatch):
    import matplotlib
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt
    from test_matplotlib import picture

    z = np.ma.masked_array(smooth_field(60, 80, 2.5, seed=31), mask=False)
    z[25:32, 40:47] = np.ma.masked
    x = np.cumsum(np.linspace(1.0, 2.0, 80))
    y = np.linspace(0.0, 30.0, 60)

    def draw(ax):
        filled = ax.contourf(x, y, z, 9, cmap="viridis", extend="both", algorithm="serial",
                             corner_mask=True)
        lines = ax.contour(x, y, z, filled.levels, colors="k", algorithm="serial",
                           corner_mask=True)
        ax.clabel(lines, fontsize=7)
        ax.figure.colorbar(filled)

    native = picture(draw)
    made = []

    def ours(*args, **kwargs):
        made.append(ic.contour_generator(*args, **kwargs))
        return made[-1]

    monkeypatch.setattr(contourpy, "contour_generator", ours)
    drop_in = picture(draw)
    assert len(made) == 2 and all(isinstance(g, ic.ContourGenerator) for g in made)
    differ = np.any(native != drop_in, axis=2).sum()
    assert differ <= 20, f"{differ} pixels differ"
    plt.close("all")
