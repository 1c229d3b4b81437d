#!/usr/bin/env bash
# The same answer on both platforms: the Windows renderer (under wine) and the Linux one write
# byte-identical contour segment CSVs, for the named frames at three thresholds and for a
# sweep of times at the start threshold, and for the named frames the same picture outside the
# text box (the text itself is GDI's on Windows and FreeType's on Linux). The charges move on
# sin and cos of t and 2t, so a last-bit difference between the two C runtimes' sine or cosine
# would show up here as a moved end point, named by frame and row.
# Usage: windows_same_frames.sh <wine runner> <gradient-render.exe> <linux gradient-render>
set -euo pipefail
runner=$1 windows=$2 linux=$3
tmp=$(mktemp -d "${TMPDIR:-/tmp}/same-frames.XXXXXX")
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# Pixels that differ between two PNGs once the text box (top left, 260 x 28) is blacked out.
differing_pixels() {
  local f
  for f in "$1" "$2"; do
    /usr/bin/convert "$f" -fill black -draw "rectangle 0,0 259,27" "$f.masked.png"
  done
  /usr/bin/compare -metric AE "$1.masked.png" "$2.masked.png" null: 2>&1 || true
}

# Segments (and with a third word "png", the picture) of frame t at threshold level.
check() {
  local t=$1 level=$2 png=${3:-}
  local args=(--time "$t" --threshold "$level" --segments)
  if [ -n "$png" ]; then
    "$linux" "${args[@]}" "$tmp/linux.csv" --png "$tmp/linux.png"
    "$runner" "$windows" "${args[@]}" "$tmp/windows.csv" --png "$tmp/windows.png"
  else
    "$linux" "${args[@]}" "$tmp/linux.csv"
    "$runner" "$windows" "${args[@]}" "$tmp/windows.csv"
  fi
  [ "$(head -n 1 "$tmp/linux.csv")" = "x1,y1,x2,y2,nx1,ny1,nx2,ny2" ] || fail "t = $t: no CSV header"
  if ! cmp -s "$tmp/linux.csv" "$tmp/windows.csv"; then
    diff "$tmp/linux.csv" "$tmp/windows.csv" | head -n 6 >&2 || true
    fail "t = $t, threshold = $level: the Windows segments differ from the Linux ones"
  fi
  local note=""
  if [ -n "$png" ]; then
    local n
    n=$(differing_pixels "$tmp/linux.png" "$tmp/windows.png")
    [ "$n" = 0 ] || fail "t = $t, threshold = $level: $n pixels differ outside the text box"
    note=", same picture"
  fi
  echo "ok: t = $t, threshold = $level: $(($(wc -l <"$tmp/linux.csv") - 1)) segments, identical$note"
}

for t in 0 1.3 2.7 11.9; do
  for level in 0.6 0.5865 3.35; do check "$t" "$level" png; done
done
# A sweep over four turns of the slower charge, at odd times that are not round in binary.
for k in $(seq 1 24); do
  check "$(awk -v k="$k" 'BEGIN{printf "%.4f", k * 1.0472 + 0.0137}')" 0.6
done
