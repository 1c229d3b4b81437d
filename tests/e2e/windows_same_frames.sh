#!/usr/bin/env bash
# The same answer on both platforms: the Windows renderer (under wine) and the Linux one write
# byte-identical contour segment CSVs, for the named frames at three thresholds and for a
# sweep of times at the start threshold. The charges move on
# sin and cos of t and 2t, so a last-bit difference between the two C runtimes' sine or cosine
# would show up here as a moved end point, named by frame and row.
# And the same PNG files: the two pictures of each frame agree pixel for pixel outside the
# threshold text (FreeType draws it on Linux, GDI on Windows, so those glyphs differ), and the
# Windows PNG writer, given each Linux frame's pixels, writes the Linux file byte for byte.
# Usage: windows_same_frames.sh <wine runner> <gradient-render.exe> <linux gradient-render>
#        <png_rewrite.exe>
set -euo pipefail
runner=$1 windows=$2 linux=$3 rewrite=$4
tmp=$(mktemp -d "${TMPDIR:-/tmp}/same-frames.XXXXXX")
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# One run of a Windows program under wine. A failed run is reported with its exit code and
# output, then tried once more: wine itself (its server, its services starting on demand beside
# other tests' wine processes) can fail a launch now and then, where a fault of the program
# fails both times.
windows_run() {
  local what=$1 rc=0
  shift
  "$runner" "$@" >"$tmp/wine.out" 2>&1 || rc=$?
  if [ "$rc" -ne 0 ]; then
    echo "note: $what under wine exited $rc; output:" >&2
    sed 's/^/  /' "$tmp/wine.out" | tail -n 20 >&2
    rc=0
    "$runner" "$@" >"$tmp/wine.out" 2>&1 || rc=$?
    [ "$rc" -eq 0 ] || { sed 's/^/  /' "$tmp/wine.out" | tail -n 20 >&2; fail "$what under wine exited $rc twice"; }
  fi
  cat "$tmp/wine.out"
}

# The segments and the picture of frame t at threshold level; the pictures are kept as
# <n>-linux.png and <n>-windows.png for the checks after the loop.
frames=0
check() {
  local t=$1 level=$2
  local args=(--time "$t" --threshold "$level")
  frames=$((frames + 1))
  "$linux" "${args[@]}" --segments "$tmp/linux.csv" --png "$tmp/$frames-linux.png" ||
    fail "t = $t, threshold = $level: the Linux renderer exited $?"
  windows_run "t = $t, threshold = $level: the Windows renderer" \
    "$windows" "${args[@]}" --segments "$tmp/windows.csv" --png "$tmp/$frames-windows.png"
  [ "$(head -n 1 "$tmp/linux.csv")" = "x1,y1,x2,y2,nx1,ny1,nx2,ny2" ] || fail "t = $t: no CSV header"
  if ! cmp -s "$tmp/linux.csv" "$tmp/windows.csv"; then
    diff "$tmp/linux.csv" "$tmp/windows.csv" | head -n 6 >&2 || true
    fail "t = $t, threshold = $level: the Windows segments differ from the Linux ones"
  fi
  # The difference of the two pictures, the text's box (as the whole-program tests crop it)
  # blacked out: any channel left above 0 is a pixel that differs.
  local differ
  differ=$(/usr/bin/convert "$tmp/$frames-linux.png" "$tmp/$frames-windows.png" \
    -compose difference -composite -fill black -draw 'rectangle 0,0 239,25' -threshold 0 \
    -format '%[fx:maxima]' info:)
  [ "$differ" = 0 ] || fail "t = $t, threshold = $level: the pictures differ outside the text"
  echo "ok: t = $t, threshold = $level: $(($(wc -l <"$tmp/linux.csv") - 1)) segments, identical; same picture"
}

for t in 0 1.3 2.7 11.9; do
  for level in 0.6 0.5865 3.35; do check "$t" "$level"; done
done
# A sweep over four turns of the slower charge, at odd times that are not round in binary.
for k in $(seq 1 24); do
  check "$(awk -v k="$k" 'BEGIN{printf "%.4f", k * 1.0472 + 0.0137}')" 0.6
done

# Every Linux picture written again by the Windows PNG writer (one wine run for all of them).
pairs=()
for n in $(seq 1 "$frames"); do pairs+=("$tmp/$n-linux.png" "$tmp/$n-rewritten.png"); done
windows_run "png_rewrite" "$rewrite" "${pairs[@]}"
for n in $(seq 1 "$frames"); do
  cmp -s "$tmp/$n-linux.png" "$tmp/$n-rewritten.png" ||
    fail "frame $n: the Windows PNG writer's bytes differ from the Linux writer's"
done
echo "ok: $frames frames: the Windows PNG writer writes the Linux files byte for byte"
# The PNGs were written whole: no temporary is left beside them.
[ -z "$(find "$tmp" -name '*.partial*')" ] || fail "a PNG temporary was left behind"
