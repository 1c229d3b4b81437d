#!/usr/bin/python3
"""Makes isocontour/docs/contour-lines.svg: isocontour --svg on a terrain-like field (smoothed noise
at two scales over a tilted ridge), nine levels; and isocontour/docs/contour-bands.svg, the same
field's ten filled bands between them (--filled --open-bands).
Usage: isocontour/docs/contour_picture.py [path to the isocontour tool, default build/bin/isocontour]."""
import os
import subprocess
import sys
import tempfile

import numpy as np
from scipy.ndimage import gaussian_filter

here = os.path.dirname(os.path.abspath(__file__))
tool = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "..", "build", "bin",
                                                          "isocontour")
rng = np.random.default_rng(2026)
rows, cols = 200, 300
y, x = np.mgrid[0:rows, 0:cols]
ridge = np.exp(-((y - 0.4 * x - 60) / 45.0) ** 2)
z = (gaussian_filter(rng.standard_normal((rows, cols)), 18) * 9
     + gaussian_filter(rng.standard_normal((rows, cols)), 5) * 1.2 + ridge)
with tempfile.TemporaryDirectory() as tmp:
    path = os.path.join(tmp, "terrain.npy")
    np.save(path, z.astype(np.float32))
    subprocess.run([tool, path, "--nlevels", "9", "--svg",
                    os.path.join(here, "contour-lines.svg")], check=True)
    subprocess.run([tool, path, "--nlevels", "9", "--filled", "--open-bands", "--svg",
                    os.path.join(here, "contour-bands.svg")], check=True)
