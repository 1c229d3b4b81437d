#!/usr/bin/env bash
# Smoke check of gradient-bench-contour: a run on a small field prints the median and the count;
# bad arguments and bad fields give one line on stderr and exit code 2. Asserts no timing.
set -u
timer=$1
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "smoke_timer: $*" >&2; exit 1; }

# A 2 x 2 field, nodes (0,0) (0,1) (1,0) (1,1) = 1, 0, 0, 0 as float32: one cell, case 8,
# whose segment crosses edges 3 and 0 at their midpoints for threshold 0.5.
printf '\x00\x00\x80\x3f\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00' > "$tmp/one.f32"
out=$("$timer" --field "$tmp/one.f32" --size 2 --threshold 0.5 --repeat 3 --points "$tmp/p.f32") \
  || fail "run failed"
[[ $out =~ ^median_us\ [0-9.]+\ end_points\ 2$ ]] || fail "unexpected output: $out"
# (0, 0.5) then (0.5, 0), as 32-bit words.
want='00000000 3f000000 3f000000 00000000'
got=$(od -An -tx4 -v "$tmp/p.f32" | xargs)
[[ $got == "$want" ]] || fail "points $got, expected $want"

# The library's joined lines on the same cell: one open line of two points, from the raw field
# (a = x) and from a .npy of it (C order, z[row][col] at x = col: the transpose, same line).
out=$("$timer" --lines --field "$tmp/one.f32" --size 2 --threshold 0.5 --repeat 3) \
  || fail "--lines run failed"
[[ $out =~ ^median_us\ [0-9.]+\ .*\ lines\ 1\ points\ 2\ peak_extra_bytes\ [0-9]+\ output_bytes\ [0-9]+\ .*input_bytes\ 16($|\ ) ]] \
  || fail "unexpected --lines output: $out"
dict="{'descr': '<f4', 'fortran_order': False, 'shape': (2, 2), }"
printf '\x93NUMPY\x01\x00\x76\x00%-117s\n' "$dict" > "$tmp/one.npy"
cat "$tmp/one.f32" >> "$tmp/one.npy"
out=$("$timer" --lines --npy "$tmp/one.npy" --levels 0.25,0.5 --threads 2 --repeat 1) \
  || fail "--npy run failed"
[[ $out =~ \ lines\ 2\ points\ 4\  ]] || fail "unexpected --npy output: $out"

# The library's filled band on the same cell: 0.25 < value <= 0.5 is one polygon, a ring of
# four points around the corner between the two crossings (closed: five).
out=$("$timer" --filled --npy "$tmp/one.npy" --levels 0.25,0.5 --repeat 2) \
  || fail "--filled run failed"
[[ $out =~ ^median_us\ [0-9.]+\ .*polygons\ 1\ rings\ 1\ points\ 5\  ]] \
  || fail "unexpected --filled output: $out"

expect2() {
  local err
  err=$("$timer" "$@" 2>&1 >/dev/null)
  local rc=$?
  [[ $rc -eq 2 ]] || fail "exit $rc for: $*"
  [[ $(printf '%s\n' "$err" | wc -l) -eq 1 && -n $err ]] || fail "not one line for: $*"
}
expect2
expect2 --field "$tmp/one.f32" --size 2 --threshold 0.5
expect2 --field "$tmp/one.f32" --size 3 --threshold 0.5 --repeat 1
expect2 --field "$tmp/missing.f32" --size 2 --threshold 0.5 --repeat 1
expect2 --field "$tmp/one.f32" --size 2 --threshold nan --repeat 1
expect2 --field "$tmp/one.f32" --size 2x --threshold 0.5 --repeat 1
expect2 --field "$tmp/one.f32" --size 2 --threshold 0.5 --repeat 0
expect2 --field "$tmp/one.f32" --size 2 --threshold 0.5 --repeat 1 --bogus 1
expect2 --field "$tmp/one.f32" --size 2 --threshold 0.5 --repeat
expect2 --npy "$tmp/one.npy" --threshold 0.5 --repeat 1
expect2 --field "$tmp/one.f32" --size 2 --levels 0.5,1 --repeat 1
expect2 --lines --npy "$tmp/one.f32" --threshold 0.5 --repeat 1
expect2 --lines --npy "$tmp/one.npy" --field "$tmp/one.f32" --size 2 --threshold 0.5 --repeat 1
expect2 --lines --npy "$tmp/one.npy" --levels 0.5,,1 --repeat 1
expect2 --filled --npy "$tmp/one.npy" --levels 0.5 --repeat 1
expect2 --filled --npy "$tmp/one.npy" --levels 0.5,0.25 --repeat 1
expect2 --filled --lines --npy "$tmp/one.npy" --levels 0.25,0.5 --repeat 1
echo "smoke_timer: ok"
