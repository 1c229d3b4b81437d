#!/usr/bin/env bash
# The same answer on both platforms: the Windows renderer (under wine) and the Linux one write
# byte-identical contour segment CSVs, for the named frames at three thresholds and for a
# sweep of times at the start threshold. The charges move on sin and cos of t and 2t, so a
# last-bit difference between the two C runtimes' sine or cosine would show up as a moved end
# point here, named by frame and row.
# Usage: windows_segments.sh <wine runner> <gradient-render.exe> <linux gradient-render>
set -euo pipefail
runner=$1 windows=$2 linux=$3
tmp=$(mktemp -d "${TMPDIR:-/tmp}/segments.XXXXXX")
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

frames=()
for t in 0 1.3 2.7 11.9; do
  for level in 0.6 0.5865 3.35; do frames+=("$t $level"); done
done
# A sweep over four turns of the slower charge, at odd times that are not round in binary.
for k in $(seq 1 24); do frames+=("$(awk -v k="$k" 'BEGIN{printf "%.4f", k * 1.0472 + 0.0137}') 0.6"); done

for frame in "${frames[@]}"; do
  read -r t level <<<"$frame"
  "$linux" --time "$t" --threshold "$level" --segments "$tmp/linux.csv"
  "$runner" "$windows" --time "$t" --threshold "$level" --segments "$tmp/windows.csv"
  if ! cmp -s "$tmp/linux.csv" "$tmp/windows.csv"; then
    diff "$tmp/linux.csv" "$tmp/windows.csv" | head -n 6 >&2 || true
    fail "t = $t, threshold = $level: the Windows segments differ from the Linux ones"
  fi
  [ "$(head -n 1 "$tmp/linux.csv")" = "x1,y1,x2,y2,nx1,ny1,nx2,ny2" ] || fail "t = $t: no CSV header"
  echo "ok: t = $t, threshold = $level: $(($(wc -l <"$tmp/linux.csv") - 1)) segments, identical"
done
