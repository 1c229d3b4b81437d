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
echo "smoke_timer: ok"
