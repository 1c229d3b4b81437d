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

# Waits up to 10 s for the demo to end and checks its exit code.
expect_exit_0() {
  local i
  for i in $(seq 100); do [ -s "$E2E_TMP/rc" ] && break; sleep 0.1; done
  [ -s "$E2E_TMP/rc" ] || fail "$1: the demo did not end"
  # A key sent to a window that is already gone stays down in the server: release them all.
  xdotool keyup Escape alt F4 2>/dev/null || true
  [ "$(cat "$E2E_TMP/rc")" = 0 ] || fail "$1: exit code $(cat "$E2E_TMP/rc"): $(cat "$E2E_TMP/demo.log")"
  pass "$1 ends the demo with exit code 0"
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

grid_box "$E2E_TMP/a.png"; sleep 0.5; grid_box "$E2E_TMP/b.png"
e2e_differ "$E2E_TMP/a.png" "$E2E_TMP/b.png" || fail "frames do not animate"
pass "frames animate"

text_box "$E2E_TMP/t1.png"
text=$(e2e_ocr "$E2E_TMP/t1.png")
[ "$text" = "Threshold = 0.600000" ] || fail "OCR read '$text', not 'Threshold = 0.600000'"
pass "text reads '$text'"

xdotool key --window "$win" --delay 50 Up Up Up Up Up Up Up Up Up Up
sleep 0.5
text_box "$E2E_TMP/t2.png"
text=$(e2e_ocr "$E2E_TMP/t2.png")
[ "$text" = "Threshold = 0.700000" ] || fail "after 10 Ups OCR read '$text'"
pass "after 10 Ups the text reads '$text'"

# Focus another window: the frames stop; focus back: they run again.
xmessage -geometry 200x100+0+0 "other window" &
E2E_PIDS+=($!)
other=$(e2e_find_window "xmessage") || fail "no second window"
xdotool windowactivate --sync "$other" 2>/dev/null || xdotool windowfocus --sync "$other"
sleep 0.5
grid_box "$E2E_TMP/c.png"; sleep 0.5; grid_box "$E2E_TMP/d.png"
e2e_differ "$E2E_TMP/c.png" "$E2E_TMP/d.png" && fail "frames run while inactive"
pass "inactive: frames stop"
xdotool windowactivate --sync "$win" 2>/dev/null || xdotool windowfocus --sync "$win"
sleep 0.5
grid_box "$E2E_TMP/e.png"; sleep 0.5; grid_box "$E2E_TMP/f.png"
e2e_differ "$E2E_TMP/e.png" "$E2E_TMP/f.png" || fail "frames do not resume when active"
pass "active again: frames resume"

xdotool key --window "$win" Escape 2>/dev/null || true
expect_exit_0 "Escape"

start_demo
xdotool windowactivate --sync "$win" 2>/dev/null || true
xdotool key alt+F4 2>/dev/null || true
expect_exit_0 "the window manager's close (Alt+F4)"
echo "linux demo e2e: all passed"
