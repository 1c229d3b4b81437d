#!/usr/bin/env bash
# The demo and the renderer in a hostile environment: no display, no font, outputs that cannot
# be written, and out-of-range numbers. Each case must end with one line on stderr naming the
# problem and the expected exit code, and leave no file behind, whole or partial.
#   hostile_env.sh GRADIENT_DEMO GRADIENT_RENDER WORK_DIR
set -uo pipefail
demo=$1
render=$2
work=$3
rm -rf "$work" && mkdir -p "$work"
cd "$work" || exit 1
failures=0
cases=0

fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# expect CODE PATTERN -- COMMAND...: COMMAND exits with CODE ("nonzero" for any but 0) and
# writes exactly one line to stderr, which matches the extended regex PATTERN.
expect() {
  local want=$1 pattern=$2
  shift 3
  cases=$((cases + 1))
  timeout 30 "$@" >out.txt 2>err.txt
  local code=$?
  local lines
  lines=$(wc -l <err.txt)
  local wrong=0
  if [ "$want" = nonzero ]; then
    [ $code -ne 0 ] || wrong=1
  else
    [ $code -eq "$want" ] || wrong=1
  fi
  if [ $wrong -eq 1 ]; then
    fail "$* exited $code, expected $want; stderr: $(head -c 300 err.txt)"
  elif [ "$lines" -ne 1 ]; then
    fail "$* wrote $lines lines to stderr, expected one: $(head -c 300 err.txt)"
  elif ! grep -Eqi -- "$pattern" err.txt; then
    fail "$* error does not name the problem ('$pattern'): $(cat err.txt)"
  else
    echo "ok: $(basename "$1") ${*:2} -> exit $code: $(cat err.txt)"
  fi
}

# nothing_left PATH...: none of the paths exists, and no temporary was left in the work dir.
nothing_left() {
  for p in "$@"; do [ -e "$p" ] && fail "$p was left behind"; done
  local stray
  stray=$(find . -name '*.partial' -o -name '*.tmp' | head -5)
  [ -z "$stray" ] || fail "temporaries left behind: $stray"
}

mkdir -p adir/inner

# No display: no DISPLAY, no WAYLAND_DISPLAY and no driver asked for.
expect 1 "display" -- env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER "$demo"

# No font: the graphics object cannot be made; the error names the missing file.
expect nonzero "/nonexistent/DejaVuSansMono\.ttf" -- \
  env GRADIENT_FONT=/nonexistent/DejaVuSansMono.ttf "$render" --png nofont.png
nothing_left nofont.png
# A font path that is a folder, and a font file cut short: refused the same way.
expect nonzero "font.*adir|adir.*font" -- env GRADIENT_FONT="$PWD/adir" "$render" --png nofont.png
head -c 100000 /usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf >cut.ttf
expect nonzero "cut\.ttf" -- env GRADIENT_FONT="$PWD/cut.ttf" "$render" --png nofont.png
nothing_left nofont.png

# Output that cannot be written. /proc takes no new files, even for root; where we are not
# root, a folder without write permission is tried too.
expect 1 "/proc/frame\.png" -- "$render" --png /proc/frame.png
expect 1 "/proc/segments\.csv" -- "$render" --segments /proc/segments.csv
expect 1 "missing/frame\.png" -- "$render" --png missing/frame.png
nothing_left missing
if [ "$(id -u)" -ne 0 ]; then
  mkdir readonly && chmod 555 readonly
  expect 1 "readonly/frame\.png" -- "$render" --png readonly/frame.png
  nothing_left readonly/frame.png
  chmod 755 readonly
fi
touch notadir
expect 1 "notadir/frame\.png" -- "$render" --png notadir/frame.png

# A PNG path that is a folder: refused, the folder as it was.
mkdir -p adir/inner
expect 1 "adir.*director" -- "$render" --png adir
[ -d adir/inner ] && [ "$(ls adir)" = inner ] || fail "the folder named as PNG was changed"
nothing_left

# A sequence whose folder cannot be made, and one that fails part-way: the frames written
# before the failure are whole, nothing partial remains.
expect 1 "notadir/seq" -- "$render" --frames 2 --dir notadir/seq
mkdir -p seq/frame-00001.png
expect 1 "frame-00001\.png" -- "$render" --frames 3 --dir seq
[ -s seq/frame-00000.png ] || fail "the frame before the failure is missing"
[ -e seq/frame-00002.png ] && fail "a frame after the failure was written"
nothing_left

# A full disk: where a small tmpfs can be mounted (root), fill it with the first output and
# let the second run out of space part-way; it must fail and leave nothing.
mkdir -p full
if [ "$(id -u)" -eq 0 ] && mount -t tmpfs -o size=8k tmpfs full 2>/dev/null; then
  trap "umount '$PWD/full' 2>/dev/null" EXIT
  timeout 30 "$render" --png full/first.png >/dev/null 2>&1
  expect 1 "full/segments\.csv" -- "$render" --segments full/segments.csv
  [ -e full/segments.csv ] && fail "a partial CSV was left on the full disk"
  [ -n "$(find full -name '*.partial')" ] && fail "a temporary was left on the full disk"
  umount full && trap - EXIT
else
  echo "skip: full disk (cannot mount a small tmpfs here)"
fi

# Numbers out of range: exit 2 before anything is written.
expect 2 "--frames" -- "$render" --frames 1000000000 --dir huge
nothing_left huge
expect 2 "--frames" -- "$render" --frames 99999999999999999999999 --dir huge
expect 2 "--frames" -- "$render" --frames -3 --dir huge
expect 2 "--frames" -- "$render" --frames 2.5 --dir huge
nothing_left huge
expect 2 "--fps" -- "$render" --frames 2 --dir zero --fps 0
expect 2 "--fps" -- "$render" --frames 2 --dir zero --fps -30
expect 2 "--fps" -- "$render" --frames 2 --dir zero --fps nan
nothing_left zero
for flag in --time --threshold; do
  for v in -1 -0.001 nan NaN -nan inf -inf 1e999 "" abc 1.5x; do
    expect 2 "$flag" -- "$render" "$flag" "$v" --png bad.png
  done
done
nothing_left bad.png
expect 2 "--png" -- "$render" --png
expect 2 "--bogus" -- "$render" --bogus

# The defined behaviour at the edges: 0 is a valid time and threshold.
cases=$((cases + 1))
if timeout 30 "$render" --time 0 --threshold 0 --png zero.png 2>err.txt && [ -s zero.png ] &&
   [ ! -s err.txt ]; then
  echo "ok: --time 0 --threshold 0 renders"
else
  fail "--time 0 --threshold 0 did not render cleanly: $(cat err.txt)"
fi

echo "hostile_env: $cases cases, $failures failed"
[ $failures -eq 0 ]
