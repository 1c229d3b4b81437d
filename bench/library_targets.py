#!/usr/bin/python3
"""The contouring library's speed and memory targets, one table per target, peers in the same run.

Fields at N = --size (4096), float64: the benchmark picture (the demo's charges at t = 1.3 s,
built in float32 and widened) at level 0.6, and a smoothed random field (standard normal noise
from numpy's default_rng(1), scipy's gaussian_filter with sigma N / 200) at level 0. Ten levels
and eleven (ten bands) are spread over each field's range. Every figure is a median of
wall-clock times on one thread unless a table says otherwise; ours come from the timer
gradient-bench-contour (the library call alone, each call returning a fresh result), the peer's
from contourpy's serial generator, built beforehand, with its fastest line or fill type (each
timed, the fastest kept), every result kept until the next call returns.

  1. lines, one level, against one plain read of the same array (the timer's --stream);
  2. lines, ten levels in one call, against ten contourpy lines() calls;
  3. filled, one band and ten bands in one call, against contourpy filled();
  4. two threads against one;
  5. layouts: Fortran order, a transposed view and a strided slice against C order;
  6. memory beyond the output: the peak resident memory of the call less what was resident
     before it and the output's bytes, against the input's size;
  7. the isocontour Python module's whole call against the C++ call on the same array.
Then the growth: time and memory against N for lines and filled, ours and contourpy's, written
as JSON (--growth-json) for bench/growth_plot.py.
"""

import argparse
import json
import os
import statistics
import subprocess
import sys
import tempfile
import time

import numpy as np
import contourpy
from scipy.ndimage import gaussian_filter

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "isocontour", "tests", "peers"))
from fields import charge_field  # noqa: E402

PICTURE_TEN = (0.15, 0.2, 0.25, 0.3, 0.4, 0.5, 0.6, 0.8, 1.0, 1.5)


def fields(n):
    """(name, array, level, ten levels, band, eleven levels) for each field."""
    pic = charge_field(n, np.float32(1.3)).astype(np.float64)
    rnd = gaussian_filter(np.random.default_rng(1).standard_normal((n, n)), sigma=n / 200)
    s = float(np.std(rnd))
    return [
        ("picture", pic, 0.6, list(PICTURE_TEN), (0.6, 1.2),
         [round(v, 6) for v in np.linspace(0.15, 1.5, 11)]),
        ("random", rnd, 0.0, [s * v for v in np.linspace(-1.5, 1.5, 10)], (0.0, 0.5 * s),
         [s * v for v in np.linspace(-1.5, 1.5, 11)]),
    ]


class Timer:
    def __init__(self, path, repeat):
        self.path, self.repeat = path, repeat

    def run(self, npy, *args, repeat=None):
        out = subprocess.run([self.path, "--npy", npy, "--repeat", str(repeat or self.repeat)] +
                             [str(a) for a in args], check=True, capture_output=True,
                             text=True).stdout.split()
        f = {k: float(v) for k, v in zip(out[0::2], out[1::2])}
        f["s"] = f["median_us"] * 1e-6
        return f

    def stream(self, npy, *extra, repeat=None):
        return self.run(npy, "--stream", *extra, repeat=repeat)

    def lines(self, npy, levels, *extra, repeat=None):
        return self.run(npy, "--lines", "--levels", ",".join(repr(float(v)) for v in levels),
                        *extra, repeat=repeat)

    def filled(self, npy, levels, *extra, repeat=None):
        return self.run(npy, "--filled", "--levels", ",".join(repr(float(v)) for v in levels),
                        *extra, repeat=repeat)


def median_held(call, repeat):
    held, times = None, []
    for _ in range(repeat):
        start = time.perf_counter()
        result = call()
        times.append(time.perf_counter() - start)
        held = result  # noqa: F841 (kept until the next call has returned)
    return statistics.median(times)


def peer_lines(z, levels, repeat):
    best = None
    for t in contourpy.LineType.__members__.values():
        gen = contourpy.contour_generator(z=z, name="serial", line_type=t)
        s = median_held(lambda: [gen.lines(v) for v in levels], repeat)
        best = min(best or (s, t.name), (s, t.name))
    return best


def peer_filled(z, levels, repeat):
    best = None
    for t in contourpy.FillType.__members__.values():
        gen = contourpy.contour_generator(z=z, name="serial", fill_type=t)
        s = median_held(lambda: [gen.filled(a, b) for a, b in zip(levels[:-1], levels[1:])],
                        repeat)
        best = min(best or (s, t.name), (s, t.name))
    return best


PEER_MEMORY = r"""
import sys, numpy as np, contourpy
z = np.load(sys.argv[1]); kind = sys.argv[2]; levels = [float(v) for v in sys.argv[3:]]
def status(key):
    for line in open('/proc/self/status'):
        if line.startswith(key): return int(line.split()[1]) * 1024
if kind == 'lines':
    gen = contourpy.contour_generator(z=z, name='serial', line_type='Separate')
    call = lambda: gen.lines(levels[0])
else:
    gen = contourpy.contour_generator(z=z, name='serial', fill_type='OuterOffset')
    call = lambda: gen.filled(levels[0], levels[1])
open('/proc/self/clear_refs', 'w').write('5')
before = status('VmRSS:')
r = call()
high = status('VmHWM:')
out = sum(a.nbytes for part in r for a in (part if isinstance(part, list) else [part]))
print(high - before - out)
"""


def peer_memory(npy, kind, levels):
    """contourpy's peak resident memory beyond its output, measured in a process of its own."""
    out = subprocess.run(["/usr/bin/python3", "-c", PEER_MEMORY, npy, kind] +
                         [repr(float(v)) for v in levels], check=True, capture_output=True,
                         text=True)
    return int(out.stdout.strip())


def table(title, header, rows):
    print(title)
    widths = [max(len(h), *(len(r[i]) for r in rows)) for i, h in enumerate(header)]
    print("| " + " | ".join(h.ljust(w) for h, w in zip(header, widths)) + " |")
    print("|" + "|".join("-" * (w + 2) for w in widths) + "|")
    for r in rows:
        print("| " + " | ".join(c.ljust(w) for c, w in zip(r, widths)) + " |")
    print(flush=True)


def ms(s):
    return f"{s * 1e3:.2f}"


def verdict(ok):
    return "yes" if ok else "no"


def targets(timer, n, tmp, module_dir):
    rows = {k: [] for k in range(1, 8)}
    repeat = timer.repeat
    for name, z, level, ten, band, eleven in fields(n):
        c = os.path.join(tmp, f"{name}.npy")
        np.save(c, z)
        # 1. One level against one read.
        read = timer.stream(c)
        one = timer.lines(c, [level])
        limit = 1.5 if name == "picture" else 2.5
        rows[1].append((name, ms(read["s"]), ms(one["s"]), f"{one['s'] / read['s']:.2f}",
                        f"{limit}", verdict(one["s"] <= limit * read["s"])))
        # 2. Ten levels in one call.
        ours10 = timer.lines(c, ten, repeat=max(5, repeat // 2))
        cp10, t10 = peer_lines(z, ten, max(5, repeat // 2))
        cp1, t1 = peer_lines(z, [level], repeat)
        rows[2].append((name, f"{ms(cp10)} ({t10})", ms(ours10["s"]),
                        f"{ours10['s'] / cp10:.3f}", verdict(ours10["s"] <= 0.1 * cp10)))
        # 3. Filled.
        f1 = timer.filled(c, band)
        f10 = timer.filled(c, eleven, repeat=max(5, repeat // 2))
        cpf1, tf1 = peer_filled(z, list(band), repeat)
        cpf10, _ = peer_filled(z, eleven, max(5, repeat // 2))
        rows[3].append((name, f"{ms(cpf1)} ({tf1})", ms(f1["s"]), f"{f1['s'] / cpf1:.3f}",
                        ms(cpf10), ms(f10["s"]), f"{f10['s'] / cpf10:.3f}",
                        verdict(f1["s"] <= 0.2 * cpf1 and f10["s"] <= 0.2 * cpf10)))
        # 4. Threads.
        cells = [name]
        ups = []
        for what, one_t, args in (("lines 1", one, ("lines", [level])),
                                  ("lines 10", ours10, ("lines", ten)),
                                  ("filled 1", f1, ("filled", band)),
                                  ("filled 10", f10, ("filled", eleven))):
            two = getattr(timer, args[0])(c, args[1], "--threads", 2)
            ups.append(one_t["s"] / two["s"])
            cells.append(f"{ms(one_t['s'])} / {ms(two['s'])} = {ups[-1]:.2f}")
        rows[4].append(tuple(cells) + (verdict(min(ups) >= 1.8),))
        # 5. Layouts, each against C order of the same values.
        fortran = os.path.join(tmp, f"{name}-fortran.npy")
        np.save(fortran, np.asfortranarray(z))
        transposed = os.path.join(tmp, f"{name}-t.npy")
        np.save(transposed, z.T)  # a transposed view: stored in Fortran order
        transposed_c = os.path.join(tmp, f"{name}-t-c.npy")
        np.save(transposed_c, np.ascontiguousarray(z.T))
        for kind, call in (("lines", lambda p, *a: timer.lines(p, [level], *a)),
                           ("filled", lambda p, *a: timer.filled(p, band, *a))):
            base = call(c)
            f = call(fortran)
            t = call(transposed)
            tc = call(transposed_c)
            s = call(c, "--spread", 2)
            ratios = (f["s"] / base["s"], t["s"] / tc["s"], s["s"] / base["s"])
            rows[5].append((name, kind, ms(base["s"]), f"{ms(f['s'])} ({ratios[0]:.2f})",
                            f"{ms(t['s'])} ({ratios[1]:.2f})", f"{ms(s['s'])} ({ratios[2]:.2f})",
                            verdict(max(ratios) <= 1.25)))
        # 6. Memory beyond the output.
        for what, f in (("lines, one level", one), ("lines, ten levels", ours10),
                        ("filled, one band", f1), ("filled, ten bands", f10)):
            share = f["rss_extra_bytes"] / f["input_bytes"]
            rows[6].append((name, what, f"{f['input_bytes'] / 2**20:.0f}",
                            f"{f['output_bytes'] / 2**20:.2f}",
                            f"{f['rss_extra_bytes'] / 2**20:.2f}", f"{share:.3f}",
                            verdict(share <= 0.25)))
        # 7. From Python, interleaved with the C++ timer round by round.
        if module_dir:
            sys.path.insert(0, module_dir)
            import isocontour
            few = max(3, repeat // 4)
            for what, py, cpp in (
                    ("lines", lambda: isocontour.lines(z, level),
                     lambda: timer.lines(c, [level], repeat=few)["s"]),
                    ("filled", lambda: isocontour.filled(z, *band),
                     lambda: timer.filled(c, band, repeat=few)["s"])):
                ours_py, ours_cpp = [], []
                for _ in range(7):
                    ours_py.append(median_held(py, few))
                    ours_cpp.append(cpp())
                p, q = statistics.median(ours_py), statistics.median(ours_cpp)
                rows[7].append((name, what, ms(p), ms(q), f"{p / q:.2f}", verdict(p <= 1.1 * q)))
    table(f"1. Lines, one level, against one plain read of the array (N = {n}, ms):",
          ("field", "read", "lines", "ratio", "target", "met"), rows[1])
    table("2. Lines, ten levels in one call, against ten contourpy lines() calls (ms; target "
          "at most 0.1):", ("field", "contourpy (type)", "ours", "ratio", "met"), rows[2])
    table("3. Filled: one band against contourpy filled(), ten bands in one call against ten "
          "calls (ms; target at most 0.2):",
          ("field", "contourpy 1 (type)", "ours 1", "ratio", "contourpy 10", "ours 10", "ratio",
           "met"), rows[3])
    table("4. Two threads against one (ms, 1 thread / 2 threads = speed-up; target at least "
          "1.8):", ("field", "lines 1 level", "lines 10", "filled 1 band", "filled 10", "met"),
          rows[4])
    table("5. Layouts against C order of the same values (ms, and the ratio; target at most "
          "1.25):", ("field", "call", "C order", "Fortran", "transposed view", "strided slice",
                     "met"), rows[5])
    table("6. Working memory beyond the output: peak resident during the call, less resident "
          "before and the output (MiB; target at most 0.25 of the input):",
          ("field", "call", "input", "output", "extra", "extra/input", "met"), rows[6])
    if rows[7]:
        table("7. The Python module's whole call against the C++ call (ms; target at most "
              "1.1):", ("field", "call", "Python", "C++", "ratio", "met"), rows[7])


def growth(timer, sizes, tmp, path):
    """Time and memory against N, lines and filled, ours and contourpy's."""
    out = []
    rows = []
    for n in sizes:
        repeat = max(3, min(11, int(2e8 / (n * n))))
        for name, z, level, _, band, _ in fields(n):
            c = os.path.join(tmp, "growth.npy")
            np.save(c, z)
            lines = timer.lines(c, [level], repeat=repeat)
            filled = timer.filled(c, band, repeat=repeat)
            cp_lines, _ = peer_lines(z, [level], repeat)
            cp_filled, _ = peer_filled(z, list(band), repeat)
            entry = {"n": n, "field": name,
                     "ours_lines_s": lines["s"], "cp_lines_s": cp_lines,
                     "ours_filled_s": filled["s"], "cp_filled_s": cp_filled,
                     "ours_lines_bytes": lines["rss_extra_bytes"],
                     "ours_filled_bytes": filled["rss_extra_bytes"],
                     "cp_lines_bytes": peer_memory(c, "lines", [level]),
                     "cp_filled_bytes": peer_memory(c, "filled", list(band)),
                     "input_bytes": z.nbytes}
            out.append(entry)
            rows.append((str(n), name, ms(lines["s"]), ms(cp_lines), ms(filled["s"]),
                         ms(cp_filled), f"{entry['ours_lines_bytes'] / 2**20:.1f}",
                         f"{entry['cp_lines_bytes'] / 2**20:.1f}",
                         f"{entry['ours_filled_bytes'] / 2**20:.1f}",
                         f"{entry['cp_filled_bytes'] / 2**20:.1f}"))
            print(f"  growth: N = {n}, {name} done", file=sys.stderr, flush=True)
    table("Growth: one level / one band, one thread (ms; memory beyond the output, MiB):",
          ("N", "field", "lines", "contourpy", "filled", "contourpy", "lines MiB", "contourpy",
           "filled MiB", "contourpy"), rows)
    if path:
        with open(path, "w") as f:
            json.dump(out, f, indent=1)


def main():
    p = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    p.add_argument("--timer", default=os.path.join(HERE, "..", "build", "bin",
                                                   "gradient-bench-contour"))
    p.add_argument("--module-dir", default=os.path.join(HERE, "..", "build", "python"),
                   help="where the isocontour module is built ('' leaves target 7 out)")
    p.add_argument("--size", type=int, default=4096)
    p.add_argument("--repeat", type=int, default=11)
    p.add_argument("--growth-sizes", type=int, nargs="*", default=[512, 1024, 2048, 4096, 8192])
    p.add_argument("--growth-json", default="")
    args = p.parse_args()
    if not os.access(args.timer, os.X_OK):
        print(f"library_targets: no timer at {args.timer} (build the default preset)",
              file=sys.stderr)
        return 2
    with open("/proc/loadavg") as f:
        load = " ".join(f.read().split()[:3])
    print(f"Machine: {os.cpu_count()} cores, load average {load} at the start")
    timer = Timer(args.timer, args.repeat)
    with tempfile.TemporaryDirectory() as tmp:
        targets(timer, args.size, tmp, args.module_dir)
        if args.growth_sizes:
            growth(timer, args.growth_sizes, tmp, args.growth_json)
    with open("/proc/loadavg") as f:
        print(f"Load average at the end: {' '.join(f.read().split()[:3])}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
