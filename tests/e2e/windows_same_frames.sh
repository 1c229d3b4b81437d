#!/usr/bin/env bash
# The same answer on both platforms: the Windows renderer (under wine) and the Linux one write
# byte-identical contour segment CSVs, for the named frames at three thresholds and for a
# sweep of times at the start threshold. The charges move on
# sin and cos of t and 2t, so a last-bit difference between the two C runtimes' sine or cosine
# would show up here as a moved end point, named by frame and row.
# Usage: windows_same_frames.sh <wine runner> <gradient-render.exe> <linux gradient-render>
set -euo pipefail
runner=$1 windows=$2 linux=$3
tmp=$(mktemp -d "${TMPDIR:-/tmp}/same-frames.XXXXXX")
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# The segments of frame t at threshold level.
check() {
  local t=$1 level=$2
  local args=(--time "$t" --threshold "$level" --segments)
  "$linux" "${args[@]}" "$tmp/linux.csv"
  "$runner" "$windows" "${args[@]}" "$tmp/windows.csv"
  [ "$(head -n 1 "$tmp/linux.csv")" = "x1,y1,x2,y2,nx1,ny1,nx2,ny2" ] || fail "t = $t: no CSV header"
  if ! cmp -s "$tmp/linux.csv" "$tmp/windows.csv"; then
    diff "$tmp/linux.csv" "$tmp/windows.csv" | head -n 6 >&2 || true
    fail "t = $t, threshold = $level: the Windows segments differ from the Linux ones"
  fi
  echo "ok: t = $t, threshold = $level: $(($(wc -l <"$tmp/linux.csv") - 1)) segments, identical"
}

for t in 0 1.3 2.7 11.9; do
  for level in 0.6 0.5865 3.35; do check "$t" "$level"; done
done
# A sweep over four turns of the slower charge, at odd times that are not round in binary.
for k in $(seq 1 24); do
  check "$(awk -v k="$k" 'BEGIN{printf "%.4f", k * 1.0472 + 0.0137}')" 0.6
done

# The Windows renderer has no PNG encoder: --png is one line of error, exit 1, and no file.
set +e
"$runner" "$windows" --png "$tmp/frame.png" >"$tmp/err.txt" 2>&1 # the runner merges the two
code=$?
set -e
[ "$code" = 1 ] || fail "--png on Windows exits $code, not 1"
[ "$(wc -l <"$tmp/err.txt")" = 1 ] || fail "--png on Windows: not one line: $(cat "$tmp/err.txt")"
[ ! -e "$tmp/frame.png" ] && [ ! -e "$tmp/frame.png.partial" ] || fail "--png on Windows left a file"
echo "ok: --png on Windows: $(cat "$tmp/err.txt")"
