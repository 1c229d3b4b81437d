#!/usr/bin/python3
"""The isocontour npm package against d3-contour and marchingsquares, in Node and headless
Chromium, on the same arrays.

The fields are made here as the peer comparison makes them (compare_peers.py): the benchmark
picture (the demo's charges at t = 1.3 s, float32) with one level (0.6) and ten, and the
smoothed random field (seed 12345, sigma n / 200) with one level (0) and ten spread over +-1.5
standard deviations; each at every size asked for (1000 and 4096 by default), written as
float32 .npy. bench/web/run.mjs then times, in Node and in a page in Chromium, d3-contour's
contours(), ours through the same API, our flat isolines() and isobands(), and marchingsquares'
isoLines() and isoBands(), and prints the tables and the package's size.

Needs the web build (cmake --preset web && cmake --build --preset web). Full figures:
  /usr/bin/python3 bench/web_peers.py
A quick smoke run: /usr/bin/python3 bench/web_peers.py --sizes 200 --runs 2
"""

import argparse
import gzip
import json
import os
import subprocess
import sys
import tempfile

import numpy as np

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from compare_peers import PICTURE_LEVELS, THRESHOLD, picture, smoothed_random  # noqa: E402

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def fields(n):
    z = smoothed_random(n)
    spread = float(np.std(z))
    return [("picture", picture(n), [float(THRESHOLD)], list(PICTURE_LEVELS)),
            ("smoothed random", z, [0.0],
             [round(spread * v, 6) for v in np.linspace(-1.5, 1.5, 10)])]


def package_size():
    pkg = os.path.join(ROOT, "build-web", "isocontour-js")
    rows = []
    for name in ("isocontour-simd.wasm", "isocontour-plain.wasm"):
        data = open(os.path.join(pkg, name), "rb").read()
        rows.append((name, len(data), len(gzip.compress(data, 9))))
    js = b"".join(open(os.path.join(pkg, "src", f), "rb").read()
                  for f in sorted(os.listdir(os.path.join(pkg, "src"))))
    rows.append(("src/*.js", len(js), len(gzip.compress(js, 9))))
    print("\nThe package (what a browser with SIMD loads: the SIMD module and the JavaScript)\n")
    print("| file | bytes | gzipped |\n|---|---:|---:|")
    for name, size, packed in rows:
        print(f"| {name} | {size} | {packed} |")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--sizes", default="1000,4096")
    parser.add_argument("--runs", type=int, default=5, help="runs of ours (the median is kept)")
    parser.add_argument("--peer-runs", type=int, default=1, help="runs of each peer")
    parser.add_argument("--no-browser", action="store_true")
    args = parser.parse_args()
    with tempfile.TemporaryDirectory(prefix="web-peers-") as tmp:
        listing = []
        for n in (int(s) for s in args.sizes.split(",")):
            for name, z, one, ten in fields(n):
                file = f"{name.replace(' ', '-')}-{n}.npy"
                np.save(os.path.join(tmp, file), np.ascontiguousarray(z, dtype=np.float32))
                listing.append({"name": name, "size": n, "file": file, "levels": [one, ten]})
        with open(os.path.join(tmp, "fields.json"), "w") as f:
            json.dump(listing, f)
        command = ["node", "--max-old-space-size=8192", os.path.join(ROOT, "bench", "web", "run.mjs"),
                   tmp, "--runs", str(args.runs), "--peer-runs", str(args.peer_runs)]
        if args.no_browser:
            command.append("--no-browser")
        subprocess.run(command, check=True)
    package_size()


if __name__ == "__main__":
    main()
