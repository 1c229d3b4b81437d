#!/usr/bin/env bash
# The demo as a person sees it, on a virtual display: the window, its animation, the text,
# the keys, focus, and both ways of closing. Usage: linux_demo.sh <gradient-demo>
demo=$1
. "$(dirname "$0")/lib.sh"
e2e_start_display
export SDL_VIDEODRIVER=x11

# Start the demo; its exit code lands in $E2E_TMP/rc.
start_demo() {
  (set +e; timeout 60 "$demo" >"$E2E_TMP/demo.log" 2>&1; echo $? >"$E2E_TMP/rc") &
  E2E_PIDS+=($!)
  rm -f "$E2E_TMP/rc"
  win=$(e2e_find_window "Gradient Test in 2D") || fail "no window named 'Gradient Test in 2D'"
  sleep 1
  read -r gx gy gw gh < <(e2e_geometry "$win")
}

text_box() { e2e_shot $((gx + 0)) $((gy + 0)) 240 28 "$1"; }
grid_box() { e2e_shot $((gx + 100)) $((gy + 100)) 400 400 "$1"; }

start_demo
[ "$gw" = 800 ] && [ "$gh" = 600 ] || fail "drawable area is ${gw}x${gh}, not 800x600"
# Centred: the window as placed, less the decorations the window manager adds above.
cx=$((gx + gw / 2)); cy=$((gy + gh / 2))
[ $((cx - 640)) -le 20 ] && [ $((640 - cx)) -le 20 ] || fail "not centred in x: $gx"
[ $((cy - 512)) -le 40 ] && [ $((512 - cy)) -le 40 ] || fail "not centred in y: $gy"
pass "window 'Gradient Test in 2D' with an 800x600 drawable area at $gx,$gy"
# A fixed size, like the Windows window (no sizing border, no maximise box). SDL can say so only
# by equal minimum and maximum size hints; the window manager then offers neither resizing nor
# maximising, while minimising and closing stay.
hints=$(xprop -id "$win" WM_NORMAL_HINTS)
grep -q "minimum size: 800 by 600" <<<"$hints" && grep -q "maximum size: 800 by 600" <<<"$hints" ||
  fail "the size hints do not fix the size: $hints"
actions=$(xprop -id "$win" _NET_WM_ALLOWED_ACTIONS)
for a in MAXIMIZE_HORZ MAXIMIZE_VERT RESIZE; do
  ! grep -q "_NET_WM_ACTION_$a\b" <<<"$actions" || fail "the window manager allows $a: $actions"
done
for a in MINIMIZE CLOSE MOVE; do
  grep -q "_NET_WM_ACTION_$a\b" <<<"$actions" || fail "the window manager does not allow $a: $actions"
done
pass "fixed size: the window manager offers no resizing or maximising, only moving, minimising and closing"

e2e_expect_animation "running"
e2e_expect_text "Threshold = 0.600000" "at start"
xdotool key --window "$win" --delay 50 Up Up Up Up Up Up Up Up Up Up
sleep 0.5
e2e_expect_text "Threshold = 0.700000" "after 10 Ups"
e2e_expect_focus_pauses

xdotool key --window "$win" Escape 2>/dev/null || true
e2e_expect_exit_0 "Escape"

start_demo
xdotool windowactivate --sync "$win" 2>/dev/null || true
xdotool key alt+F4 2>/dev/null || true
e2e_expect_exit_0 "the window manager's close (Alt+F4)"
echo "linux demo e2e: all passed"
