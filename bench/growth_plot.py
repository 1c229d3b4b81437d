#!/usr/bin/python3
"""Draws the growth figures of bench/library_targets.py (its --growth-json) as one log-log PNG:
time and working memory against N, lines and filled, ours and contourpy's, on both fields.

usage: growth_plot.py GROWTH.json OUT.png
"""
import json
import sys

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402


def main():
    if len(sys.argv) != 3:
        print(__doc__.strip().splitlines()[-1], file=sys.stderr)
        return 2
    with open(sys.argv[1]) as f:
        rows = json.load(f)
    fig, axes = plt.subplots(1, 2, figsize=(11, 4.5))
    styles = {"picture": "-", "random": "--"}
    colours = {("ours", "lines"): "tab:blue", ("cp", "lines"): "tab:orange",
               ("ours", "filled"): "tab:green", ("cp", "filled"): "tab:red"}
    for field in ("picture", "random"):
        picked = sorted((r for r in rows if r["field"] == field), key=lambda r: r["n"])
        ns = [r["n"] for r in picked]
        for who, name in (("ours", "isocontour"), ("cp", "contourpy")):
            for kind in ("lines", "filled"):
                label = f"{name} {kind}, {field}"
                colour = colours[(who, kind)]
                axes[0].loglog(ns, [r[f"{who}_{kind}_s"] * 1e3 for r in picked],
                               styles[field], color=colour, marker="o", label=label)
                memory = [max(r[f"{who}_{kind}_bytes"], 1) / 2**20 for r in picked]
                axes[1].loglog(ns, memory, styles[field], color=colour, marker="o",
                               label=label)
        axes[1].loglog(ns, [0.25 * r["input_bytes"] / 2**20 for r in picked], ":",
                       color="grey", label="a quarter of the input" if field == "picture" else None)
    axes[0].set(xlabel="N (N x N float64)", ylabel="milliseconds, one thread",
                title="Time of one level / one band")
    axes[1].set(xlabel="N (N x N float64)", ylabel="MiB beyond the output",
                title="Peak working memory of the call")
    for ax in axes:
        ax.grid(True, which="both", alpha=0.3)
    axes[0].legend(fontsize=7)
    fig.tight_layout()
    fig.savefig(sys.argv[2], dpi=110)
    return 0


if __name__ == "__main__":
    sys.exit(main())
