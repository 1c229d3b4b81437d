#!/usr/bin/python3
"""Times isocontour.dask against the in-memory call, and its memory per process, on Dask's
threaded scheduler and on a LocalCluster of two worker processes.

1. An N x N float32 field (--size, 8192) held in memory: isocontour.multi_lines and
   multi_filled in one call, then isocontour.dask's with 1, 2 and 4 chunks per side, on the
   threaded scheduler (the array in memory, da.from_array) and on a LocalCluster of two
   single-threaded workers (the same values made chunk by chunk in the workers, as a cluster's
   array is never whole in the client). Every result is checked identical to the one call's.
2. A --lazy-size (32768) float32 field made lazily by Dask, chunks of --lazy-chunk (2048), never
   whole in memory, on a LocalCluster of two workers with a --memory-limit (1.5 GiB) each:
   time, each worker's peak memory, and the output's size; whether a worker was restarted.

The field is a sum of six plane waves (3 to 25 cycles across the grid) computed per node in
float64 from its grid indices and rounded to float32, so that a block gives the same values as
the whole. Ten levels evenly spread over -1.5 .. 1.5; bands with open_bands=True.
Time: wall-clock median of --repeat runs. Peak memory: each process's high-water resident set
(VmHWM), reset through /proc/PID/clear_refs before each run, less its resident set then ("+").

    /usr/bin/python3 bench/dask_chunks.py [--size 8192] [--lazy-size 32768] [--lazy-chunk 2048]
        [--memory-limit 1.5GiB] [--repeat 3] [--skip-lazy] [--module-dir build/python]
"""

import argparse
import os
import statistics
import sys
import time

import numpy as np

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
from compare_peers import print_table  # noqa: E402

WAVES = np.random.default_rng(2023).uniform([3, 3, 0, 0.3], [25, 25, 2 * np.pi, 1.0], (6, 4))
LEVELS = list(np.linspace(-1.5, 1.5, 10))


def field_block(rows, cols, n):
    """The field at grid rows and columns (index ranges) of an n x n grid, float32."""
    u = np.arange(cols.start, cols.stop, dtype=np.float64)[None, :] / n
    v = np.arange(rows.start, rows.stop, dtype=np.float64)[:, None] / n
    z = np.zeros((len(v), u.shape[1]))
    for fx, fy, phase, amplitude in WAVES:
        z += amplitude * np.sin(2 * np.pi * (fx * u + fy * v) + phase)
    return z.astype(np.float32)


def lazy_field(n, chunk):
    """The field made by Dask, block by block."""
    import dask.array as da

    def block(_, block_info=None):
        (r0, r1), (c0, c1) = block_info[None]["array-location"]
        return field_block(range(r0, r1), range(c0, c1), n)

    return da.map_blocks(block, da.empty((n, n), chunks=chunk, dtype=np.float32),
                         dtype=np.float32)


# --- Peak memory of a process, on Linux --------------------------------------------------

def reset_peak():
    """Resets this process's high-water resident set; returns the resident set now (bytes)."""
    with open("/proc/self/clear_refs", "w") as f:
        f.write("5")
    return status("VmRSS")


def status(field):
    with open("/proc/self/status") as f:
        for line in f:
            if line.startswith(field + ":"):
                return int(line.split()[1]) * 1024
    raise RuntimeError(f"no {field} in /proc/self/status")


def peak():
    return status("VmHWM")


def mib(n):
    return f"{n / 2 ** 20:,.0f}"


# --- Runs ----------------------------------------------------------------------------------

def measured(call, repeat, client=None):
    """(median seconds, result, [(process, peak, peak above start)]) of call(), the peaks
    reset before each run in this process and, with a client, in its workers."""
    times, peaks = [], {}
    result = None
    for _ in range(repeat):
        result = None
        starts = {"client": reset_peak()}
        if client is not None:
            starts.update(client.run(reset_peak))
        begin = time.perf_counter()
        result = call()
        times.append(time.perf_counter() - begin)
        ends = {"client": peak()}
        if client is not None:
            ends.update(client.run(peak))
        for who, end in ends.items():
            old = peaks.get(who, (0, 0))
            peaks[who] = (max(old[0], end), max(old[1], end - starts[who]))
    names = sorted(peaks, key=lambda w: (w != "client", w))
    return statistics.median(times), result, [(w, *peaks[w]) for w in names]


def same(a, b):
    return np.array_equal(a.points, b.points) and len(a) == len(b)


def memory_text(peaks):
    return "; ".join(f"{'client' if w == 'client' else 'worker ' + str(k)}: {mib(p)} "
                     f"(+{mib(above)})" for k, (w, p, above) in enumerate(peaks))


def part_one(ic, icd, n, repeat, client):
    import dask
    import dask.array as da
    z = field_block(range(n), range(n), n)
    rows = []
    for kind in ("lines", "filled"):
        whole = ic.multi_lines if kind == "lines" else ic.multi_filled
        chunked = icd.multi_lines if kind == "lines" else icd.multi_filled
        extra = {} if kind == "lines" else {"open_bands": True}
        seconds, want, peaks = measured(lambda: whole(z, LEVELS, **extra), repeat)
        rows.append((kind, "one call", "-", f"{seconds:.2f}", memory_text(peaks), "-"))
        for per_side in (1, 2, 4):
            chunk = -(-n // per_side)
            with dask.config.set(scheduler="threads"):
                array = da.from_array(z, chunks=chunk)
                seconds, got, peaks = measured(lambda: chunked(array, LEVELS, **extra), repeat)
            rows.append((kind, "threaded", f"{per_side} x {per_side}", f"{seconds:.2f}",
                         memory_text(peaks), "yes" if same(got, want) else "NO"))
            del got
            with dask.config.set(scheduler=client):
                array = lazy_field(n, chunk)
                seconds, got, peaks = measured(lambda: chunked(array, LEVELS, **extra), repeat,
                                               client)
            rows.append((kind, "2 workers", f"{per_side} x {per_side}", f"{seconds:.2f}",
                         memory_text(peaks), "yes" if same(got, want) else "NO"))
            del got
        del want
    print(f"An {n} x {n} float32 field, {len(LEVELS)} levels: median seconds; peak resident MiB "
          "per process (+ above its start)")
    print_table(("output", "how", "chunks", "seconds", "peak memory, MiB", "identical"), rows)


def part_two(icd, n, chunk, memory_limit, repeat):
    import dask
    from dask.sizeof import sizeof
    from distributed import Client, LocalCluster
    rows = []
    with LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                      memory_limit=memory_limit, dashboard_address=None) as cluster, \
            Client(cluster) as client:
        workers = sorted(client.scheduler_info()["workers"])
        with dask.config.set(scheduler=client):
            icd.multi_lines(lazy_field(256, 64), LEVELS)  # the workers import the package
            for kind in ("lines", "filled"):
                call = icd.multi_lines if kind == "lines" else icd.multi_filled
                extra = {} if kind == "lines" else {"open_bands": True}
                seconds, result, peaks = measured(
                    lambda: call(lazy_field(n, chunk), LEVELS, **extra), repeat, client)
                size = sizeof(result)  # its arrays' bytes (isocontour.dask tells Dask so)
                rows.append((kind, f"{seconds:.1f}", f"{len(result):,}",
                             f"{len(result.points):,}", mib(size), memory_text(peaks)))
                del result
        restarted = sorted(client.scheduler_info()["workers"]) != workers
    print(f"A {n} x {n} float32 field made lazily ({n * n * 4 / 2 ** 30:.1f} GiB), chunks "
          f"{chunk} x {chunk}, 2 workers of {memory_limit} each ({len(LEVELS)} levels; "
          f"a worker restarted: {'YES' if restarted else 'no'})")
    print_table(("output", "seconds", "lines / polygons", "points", "output MiB",
                 "peak memory, MiB"), rows)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--size", type=int, default=8192)
    parser.add_argument("--lazy-size", type=int, default=32768)
    parser.add_argument("--lazy-chunk", type=int, default=2048)
    parser.add_argument("--memory-limit", default="1.5GiB")
    parser.add_argument("--repeat", type=int, default=3)
    parser.add_argument("--skip-lazy", action="store_true")
    parser.add_argument("--module-dir", default=os.path.join(HERE, "..", "build", "python"),
                        help="where the isocontour package is (an installed one comes after)")
    args = parser.parse_args()
    sys.path.insert(0, os.path.abspath(args.module_dir))
    # The workers are started afresh and import the package from the same place.
    os.environ["PYTHONPATH"] = os.pathsep.join(
        [os.path.abspath(args.module_dir)] + os.environ.get("PYTHONPATH", "").split(os.pathsep))
    import dask
    import distributed
    import isocontour
    import isocontour.dask
    from distributed import Client, LocalCluster

    print(f"isocontour {isocontour.__version__} from {os.path.dirname(isocontour.__file__)}, "
          f"dask {dask.__version__}, distributed {distributed.__version__}, "
          f"{os.cpu_count()} cores")
    with LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                      dashboard_address=None) as cluster, \
            Client(cluster, set_as_default=False) as client:
        with dask.config.set(scheduler=client):
            isocontour.dask.multi_lines(lazy_field(256, 64), LEVELS)  # imports in the workers
        part_one(isocontour, isocontour.dask, args.size, args.repeat, client)
    if not args.skip_lazy:
        print()
        part_two(isocontour.dask, args.lazy_size, args.lazy_chunk, args.memory_limit,
                 args.repeat)
    return 0


if __name__ == "__main__":
    sys.exit(main())
