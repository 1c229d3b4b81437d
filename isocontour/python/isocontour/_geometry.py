"""Lines and Bands as shapely geometries and as GeoJSON (the geo interface).

The layout is the isocontour tool's GeoJSON: a FeatureCollection with one Feature per level
(properties {"level": L}, a MultiLineString) or per band (properties {"lower": ..., "upper": ...},
null on an open side, a MultiPolygon: each polygon its outer ring, counter-clockwise, then its
holes, clockwise). shapely is imported only here; the geometries are made with the
constructors that shapely 1.8 and 2.x share (MultiLineString, Polygon, MultiPolygon), one
geometry at a time.
"""

import math

import numpy as np


def _shapely():
    try:
        import shapely
        import shapely.geometry
    except ImportError as error:  # pragma: no cover - shapely is a test dependency
        raise ImportError("to_shapely() needs shapely (1.8 or 2.x): "
                          "apt install python3-shapely or pip install shapely") from error
    return shapely


def lines_to_shapely(lines):
    """One MultiLineString per level, in the order of the levels."""
    MultiLineString = _shapely().geometry.MultiLineString
    return [MultiLineString([np.asarray(a, dtype=np.float64) for a in level]) if level else
            MultiLineString() for level in lines.split_levels()]


def bands_to_shapely(bands):
    """One MultiPolygon per band, in band order."""
    geometry = _shapely().geometry
    Polygon, MultiPolygon = geometry.Polygon, geometry.MultiPolygon

    def polygon(rings):
        return Polygon(np.asarray(rings[0], dtype=np.float64),
                       [np.asarray(h, dtype=np.float64) for h in rings[1:]])

    return [MultiPolygon([polygon(p) for p in band]) if band else MultiPolygon()
            for band in bands.split_bands()]


def _bound(value):
    value = float(value)
    return None if math.isinf(value) else value


def lines_geo_interface(lines):
    """A FeatureCollection: one MultiLineString Feature per level."""
    features = []
    for level, level_lines in zip(lines.levels, lines.split_levels()):
        features.append({
            "type": "Feature",
            "properties": {"level": float(level)},
            "geometry": {"type": "MultiLineString",
                         "coordinates": [line.tolist() for line in level_lines]},
        })
    return {"type": "FeatureCollection", "features": features}


def bands_geo_interface(bands):
    """A FeatureCollection: one MultiPolygon Feature per band (null on an open side)."""
    features = []
    for lower, upper, polygons in zip(bands.lower, bands.upper, bands.split_bands()):
        features.append({
            "type": "Feature",
            "properties": {"lower": _bound(lower), "upper": _bound(upper)},
            "geometry": {"type": "MultiPolygon",
                         "coordinates": [[ring.tolist() for ring in rings] for rings in polygons]},
        })
    return {"type": "FeatureCollection", "features": features}
