"""Real elevation models as GeoTIFFs, with their coordinate systems, for the raster form's tests,
the README's picture and the benchmark: Debian's python-matplotlib-data ships both models.

jacksboro()  int16, 344 x 403, 1/1200 degree pixels, WGS 84, north-up (row 0 the northernmost)
topobathy()  float32, 91 x 120, 1/30 degree pixels, WGS 84, rows running north (south-up)
Each takes the path to write and keyword arguments that vary it: a geotransform of its own
(rotation terms), nodata holes, PixelIsPoint.
"""

import math
import os

import numpy as np
import matplotlib
from osgeo import gdal, osr

gdal.UseExceptions()

SAMPLES = os.path.join(matplotlib.get_data_path(), "sample_data")


def wgs84():
    srs = osr.SpatialReference()
    srs.ImportFromEPSG(4326)
    return srs.ExportToWkt()


def write_tif(path, z, gt, wkt, dtype, nodata=None, point=False, options=()):
    ds = gdal.GetDriverByName("GTiff").Create(path, z.shape[1], z.shape[0], 1, dtype,
                                              list(options))
    if point:  # PixelIsPoint: GDAL shifts the geotransform it reports by half a pixel
        ds.SetMetadataItem("AREA_OR_POINT", "Point")
    ds.SetGeoTransform(gt)
    if wkt:
        ds.SetProjection(wkt)
    band = ds.GetRasterBand(1)
    if nodata is not None:
        band.SetNoDataValue(nodata)
    band.WriteArray(z)
    ds = None
    return path


def holes(shape, count, radius, seed):
    """A mask of `count` discs of about `radius` pixels, placed at random."""
    rng = np.random.default_rng(seed)
    rows, cols = np.mgrid[0:shape[0], 0:shape[1]]
    mask = np.zeros(shape, bool)
    for _ in range(count):
        r0, c0 = rng.uniform(0, shape[0]), rng.uniform(0, shape[1])
        mask |= (rows - r0) ** 2 + (cols - c0) ** 2 < (radius * rng.uniform(0.3, 1.0)) ** 2
    return mask


def jacksboro_array():
    d = np.load(os.path.join(SAMPLES, "jacksboro_fault_dem.npz"))
    # The bounds are the pixels' outer edges; "ymin" is the first (northern) row's.
    gt = (float(d["xmin"]), float(d["dx"]), 0.0, float(d["ymin"]), 0.0, -float(d["dy"]))
    return d["elevation"].astype(np.int16), gt


def topobathy_array():
    d = np.load(os.path.join(SAMPLES, "topobathy.npz"))
    lon = d["longitude"].astype(float)
    lat = d["latitude"].astype(float)
    dx = (lon[-1] - lon[0]) / (len(lon) - 1)
    dy = (lat[-1] - lat[0]) / (len(lat) - 1)
    # Coordinates of pixel centres; latitude rises with the row.
    gt = (lon[0] - dx / 2, dx, 0.0, lat[0] - dy / 2, 0.0, dy)
    return d["topo"].astype(np.float32), gt


def rotate(gt, degrees):
    """The same pixel sizes turned by `degrees` about the raster's origin."""
    t = math.radians(degrees)
    x0, a, _, y0, _, e = gt
    return (x0, a * math.cos(t), -e * math.sin(t), y0, a * math.sin(t), e * math.cos(t))


def jacksboro(path, rotation=0.0, nodata_holes=0, point=False, dtype=gdal.GDT_Int16,
              options=()):
    z, gt = jacksboro_array()
    nodata = None
    if nodata_holes:
        nodata = -32768
        z = z.copy()
        z[holes(z.shape, nodata_holes, 12, 7)] = nodata
    return write_tif(path, z, rotate(gt, rotation) if rotation else gt, wgs84(), dtype, nodata,
                     point, options)


def topobathy(path, nodata_holes=0, nan_holes=0):
    z, gt = topobathy_array()
    nodata = None
    if nodata_holes or nan_holes:
        z = z.copy()
    if nodata_holes:
        nodata = -9999.0
        z[holes(z.shape, nodata_holes, 6, 3)] = nodata
    if nan_holes:
        z[holes(z.shape, nan_holes, 3, 5)] = np.nan
    return write_tif(path, z, gt, wgs84(), gdal.GDT_Float32, nodata)
