# Shared pieces of the whole-program tests: a virtual display with a window manager, window
# lookup, screenshots and OCR. Source it; it installs an EXIT trap that stops what it started.
set -euo pipefail

E2E_TMP=$(mktemp -d "${TMPDIR:-/tmp}/e2e.XXXXXX")
E2E_PIDS=()

e2e_cleanup() {
  local pid
  for pid in "${E2E_PIDS[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${E2E_PIDS[@]}"; do wait "$pid" 2>/dev/null || true; done
  [ -n "${E2E_KEEP:-}" ] || rm -rf "$E2E_TMP"
}
trap e2e_cleanup EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }
pass() { echo "ok: $*"; }

# Starts Xvfb on a free display number with openbox, and exports DISPLAY.
e2e_start_display() {
  local n
  for n in $(seq 90 140); do
    [ -e "/tmp/.X${n}-lock" ] || [ -e "/tmp/.X11-unix/X${n}" ] || break
  done
  Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >"$E2E_TMP/xvfb.log" 2>&1 &
  E2E_PIDS+=($!)
  export DISPLAY=":$n"
  local i
  for i in $(seq 100); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
  xdpyinfo >/dev/null 2>&1 || fail "Xvfb did not start"
  openbox --sm-disable >"$E2E_TMP/openbox.log" 2>&1 &
  E2E_PIDS+=($!)
  sleep 1
}

# Prints the id of the window whose name is exactly $1, waiting up to 20 s.
e2e_find_window() {
  local i id
  for i in $(seq 200); do
    id=$(xdotool search --name "^$1\$" 2>/dev/null | head -n 1 || true)
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.1
  done
  return 1
}

# Writes a screenshot of the rectangle W x H at (X, Y) of the root window to file $5.
e2e_shot() {
  /usr/bin/import -window root -crop "${3}x${4}+${1}+${2}" +repage "$5"
}

# True when two images differ in any pixel.
e2e_differ() {
  local ae
  ae=$(/usr/bin/compare -metric AE "$1" "$2" null: 2>&1 || true)
  [ "${ae%% *}" != "0" ]
}

# Reads one line of white text from image $1. The darkest channel of each pixel keeps the
# white text and its antialiasing but drops the pure red and blue dots; the picture is then
# scaled up and inverted for the OCR.
e2e_ocr() {
  /usr/bin/convert "$1" -separate -evaluate-sequence min -resize 400% -negate "$E2E_TMP/ocr.png"
  tesseract "$E2E_TMP/ocr.png" - --psm 7 2>/dev/null | tr -d '\f' | head -n 1
}

# Absolute position and size of window $1's drawable area: "X Y W H".
e2e_geometry() {
  xwininfo -id "$1" | awk '/Absolute upper-left X/{x=$NF} /Absolute upper-left Y/{y=$NF}
    /^ *Width:/{w=$NF} /^ *Height:/{h=$NF} END{print x, y, w, h}'
}

# The checks both demo tests make. They call the script's own text_box and grid_box (each takes
# an output file) and use $win, the demo's window, and $E2E_TMP/rc, where its exit code lands.

# The threshold text reads exactly $1; $2 says when.
e2e_expect_text() {
  local text
  text_box "$E2E_TMP/text.png"
  text=$(e2e_ocr "$E2E_TMP/text.png")
  [ "$text" = "$1" ] || fail "$2: OCR read '$text', not '$1'"
  pass "$2: the text reads '$text'"
}

# Two grid pictures half a second apart differ; $1 says when.
e2e_expect_animation() {
  grid_box "$E2E_TMP/anim1.png"; sleep 0.5; grid_box "$E2E_TMP/anim2.png"
  e2e_differ "$E2E_TMP/anim1.png" "$E2E_TMP/anim2.png" || fail "$1: frames do not animate"
  pass "$1: frames animate"
}

# Another window takes the focus: the frames stop; the demo's window takes it back: they run.
e2e_expect_focus_pauses() {
  xmessage -geometry 200x100+0+0 "other window" &
  E2E_PIDS+=($!)
  local other
  other=$(e2e_find_window "xmessage") || fail "no second window"
  xdotool windowactivate --sync "$other" 2>/dev/null || xdotool windowfocus --sync "$other"
  sleep 0.5
  grid_box "$E2E_TMP/still1.png"; sleep 0.5; grid_box "$E2E_TMP/still2.png"
  e2e_differ "$E2E_TMP/still1.png" "$E2E_TMP/still2.png" && fail "frames run while inactive"
  pass "inactive: frames stop"
  xdotool windowactivate --sync "$win" 2>/dev/null || xdotool windowfocus --sync "$win"
  sleep 0.5
  e2e_expect_animation "active again"
}

# The demo ends within 10 s with exit code 0 (its own, not xdotool's); $1 says what ended it.
e2e_expect_exit_0() {
  local i
  for i in $(seq 100); do [ -s "$E2E_TMP/rc" ] && break; sleep 0.1; done
  [ -s "$E2E_TMP/rc" ] || fail "$1: the demo did not end"
  # A key sent to a window that is already gone stays down in the server: release them all.
  xdotool keyup Escape alt F4 2>/dev/null || true
  [ "$(cat "$E2E_TMP/rc")" = 0 ] || fail "$1: exit code $(cat "$E2E_TMP/rc")"
  pass "$1 ends the demo with exit code 0"
}
