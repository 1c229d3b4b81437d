#!/usr/bin/env bash
# The Windows program as a person sees it, under wine on a virtual display: the window and its
# class as Windows reports them, the animation in pure red and blue, the text, the keys,
# focus, both ways of closing, and the error box when the graphics cannot start. Everything
# runs in a scratch wine prefix made for this run and removed after it.
# Usage: windows_demo.sh <gradient-demo.exe> <win_probe.exe> [screenshot.png]
demo=$1 probe=$2 keep_shot=${3:-}
. "$(dirname "$0")/lib.sh"

title="Gradient Test in 2D"
# Inside $E2E_TMP, so lib.sh's cleanup removes it; the server goes first.
export WINEPREFIX=$E2E_TMP/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
windows_cleanup() {
  timeout 30 wineserver -k >/dev/null 2>&1 || true
  e2e_cleanup
}
trap windows_cleanup EXIT

e2e_start_display
# One server for the whole run; wine's services start here with their output on /dev/null.
mkdir -p "$WINEPREFIX"
wineserver -p </dev/null >/dev/null 2>&1
timeout 120 wine wineboot -i </dev/null >/dev/null 2>&1 || fail "wineboot could not make the prefix"

# Starts the demo; its exit code lands in $E2E_TMP/rc.
start_demo() {
  rm -f "$E2E_TMP/rc"
  (set +e; timeout 90 wine "$demo" </dev/null >"$E2E_TMP/demo.log" 2>&1; echo $? >"$E2E_TMP/rc") &
  E2E_PIDS+=($!)
  # Wine may map the window more than once while it starts: take the id that stays.
  local i
  for i in 1 2 3 4 5; do
    win=$(e2e_find_window "$title") || fail "no window named '$title'"
    sleep 1
    xwininfo -id "$win" >/dev/null 2>&1 && break
  done
  read -r gx gy gw gh < <(e2e_geometry "$win")
}

# Pixels of exactly colour $2 (#RRGGBB) in image $1.
count_colour() {
  /usr/bin/convert "$1" -format %c histogram:info:- |
    awk -v c="$2" '$0 ~ c" " {n += $1} END {print n + 0}'
}

# The text box at the client area's top-left corner, and the grid below it.
text_box() { e2e_shot "$gx" "$gy" 240 26 "$1"; }
grid_box() { e2e_shot "$gx" $((gy + 40)) 560 500 "$1"; }

start_demo

# What Windows says about the window. The system adds WS_CLIPSIBLINGS (0x04000000) to every
# top-level window, so that bit is set aside before the style is compared.
# (Into a file, not a pipe: a wine helper process started by it could hold a pipe open.)
timeout 30 wine "$probe" "$title" </dev/null >"$E2E_TMP/probe.txt" 2>/dev/null ||
  fail "win_probe: $(cat "$E2E_TMP/probe.txt")"
info=$(tr -d '\r' <"$E2E_TMP/probe.txt")
echo "probe: $info"
class=$(sed -n 's/.*class=\([^ ]*\).*/\1/p' <<<"$info")
class_style=$(sed -n 's/.*classstyle=\([0-9]*\).*/\1/p' <<<"$info")
style=$(sed -n 's/.*style=\(0x[0-9A-Fa-f]*\).*/\1/p' <<<"$info")
rect=$(sed -n 's/.*rect=\([-0-9,]*\).*/\1/p' <<<"$info")
[ "$class" = TavWin ] || fail "class is '$class', not TavWin"
[ "$class_style" = 3 ] || fail "class style is $class_style, not 3"
printf -v style_wanted '0x%08X' $((style & ~0x04000000))
[ "$style_wanted" = 0x10CA0000 ] || fail "window style is $style, not 0x10CA0000"
# Centred on 1280 x 1024: ((1280 - 800) >> 1, (1024 - 600) >> 1) = (240, 212).
[ "$rect" = "240,212,1040,812" ] || fail "outer rectangle is $rect, not 240,212,1040,812"
pass "window '$title', class TavWin (style 3), window style $style_wanted (+ WS_CLIPSIBLINGS), outer rectangle $rect"

grid_box "$E2E_TMP/a.png"
red=$(count_colour "$E2E_TMP/a.png" '#FF0000')
blue=$(count_colour "$E2E_TMP/a.png" '#0000FF')
[ "$red" -gt 0 ] && [ "$blue" -gt 0 ] || fail "grid has $red pure red and $blue pure blue pixels"
pass "grid drawn in pure red ($red px) and pure blue ($blue px)"
e2e_expect_animation "running"
e2e_expect_text "Threshold = 0.600000" "at start"
# The window as a whole, frame and caption included: its outer rectangle.
[ -z "$keep_shot" ] || e2e_shot 240 212 800 600 "$keep_shot"

xdotool key --window "$win" --delay 50 Up Up Up Up Up Up Up Up Up Up
sleep 0.5
e2e_expect_text "Threshold = 0.700000" "after 10 Ups"

e2e_expect_focus_pauses

# Moved: the program hears WM_MOVE and the picture follows the client area.
xdotool windowmove --sync "$win" 60 40 2>/dev/null || xdotool windowmove "$win" 60 40
sleep 1
read -r mx my _ _ < <(e2e_geometry "$win")
[ "$mx,$my" != "$gx,$gy" ] || fail "the window did not move"
gx=$mx gy=$my
text_box "$E2E_TMP/t3.png"
text=$(e2e_ocr "$E2E_TMP/t3.png")
[ "$text" = "Threshold = 0.700000" ] || fail "after a move OCR read '$text'"
grid_box "$E2E_TMP/g.png"
[ "$(count_colour "$E2E_TMP/g.png" '#0000FF')" -gt 0 ] || fail "after a move no blue dots"
grid_box "$E2E_TMP/h.png"
e2e_differ "$E2E_TMP/g.png" "$E2E_TMP/h.png" || fail "frames do not animate after a move"
pass "moved to $gx,$gy: the picture follows, animated"

# Minimised and restored: the picture comes back and runs.
xdotool windowminimize --sync "$win" 2>/dev/null || xdotool windowminimize "$win"
sleep 0.5
xdotool windowactivate --sync "$win" 2>/dev/null || xdotool windowmap --sync "$win"
sleep 1
read -r gx gy _ _ < <(e2e_geometry "$win")
grid_box "$E2E_TMP/i.png"; sleep 0.5; grid_box "$E2E_TMP/j.png"
[ "$(count_colour "$E2E_TMP/j.png" '#0000FF')" -gt 0 ] || fail "after a restore no blue dots"
e2e_differ "$E2E_TMP/i.png" "$E2E_TMP/j.png" || fail "frames do not run after a restore"
pass "minimised and restored: frames run again"

xdotool key --window "$win" Escape 2>/dev/null || true
e2e_expect_exit_0 "Escape"

start_demo
xdotool windowactivate --sync "$win" 2>/dev/null || true
sleep 0.5
xdotool key alt+F4 2>/dev/null || true
e2e_expect_exit_0 "the window manager's close (Alt+F4)"
# The graphics cannot start (a font file Windows cannot load). The line the program writes to
# stderr is also in an error box over the window, with the one button OK; Enter closes it, the
# window stays and draws nothing until it is closed, and the exit code is 0, as without a box.
rm -f "$E2E_TMP/rc"
(set +e; GRADIENT_FONT='C:\no\such\font.ttf' timeout 90 wine "$demo" </dev/null \
  >"$E2E_TMP/demo.log" 2>&1; echo $? >"$E2E_TMP/rc") &
E2E_PIDS+=($!)
why='cannot start the graphics: TavGFX: cannot load the font C:\no\such\font.ttf'
for i in $(seq 60); do
  timeout 30 wine "$probe" --box "$title" </dev/null >"$E2E_TMP/box.txt" 2>/dev/null && break
  sleep 0.5
done
box=$(tr -d '\r' <"$E2E_TMP/box.txt")
[ "$box" = "icon=1 buttons=OK text=$why" ] || fail "error box: '$box', not 'icon=1 buttons=OK text=$why'"
grep -qxF "$why" <(tr -d '\r' <"$E2E_TMP/demo.log") || fail "stderr: '$(cat "$E2E_TMP/demo.log")'"
pass "the graphics fail: an error box (icon, OK) and stderr both say '$why'"
# The box is the smaller of the two windows with that title; a person clicks it, then Enter.
box_win=
for id in $(xdotool search --onlyvisible --name "^$title\$" 2>/dev/null); do
  read -r _ _ bw _ < <(e2e_geometry "$id")
  [ "$bw" -lt 700 ] && box_win=$id
done
[ -n "$box_win" ] || fail "no error box on the display"
xdotool windowactivate --sync "$box_win" 2>/dev/null || xdotool windowfocus --sync "$box_win"
sleep 0.3
xdotool key Return
for i in $(seq 20); do
  timeout 30 wine "$probe" --box "$title" </dev/null >/dev/null 2>&1 || break
  sleep 0.5
done
timeout 30 wine "$probe" --box "$title" </dev/null >/dev/null 2>&1 && fail "Enter left the box open"
win=$(e2e_find_window "$title") || fail "the window went with the box"
read -r gx gy gw gh < <(e2e_geometry "$win")
sleep 0.5
grid_box "$E2E_TMP/empty.png"
dots=$(($(count_colour "$E2E_TMP/empty.png" '#FF0000') + $(count_colour "$E2E_TMP/empty.png" '#0000FF')))
[ "$dots" = 0 ] || fail "without graphics the window shows $dots red or blue pixels"
[ ! -s "$E2E_TMP/rc" ] || fail "the demo ended with the box (exit $(cat "$E2E_TMP/rc"))"
pass "Enter closes the box; the window stays, empty"
xdotool windowactivate --sync "$win" 2>/dev/null || true
xdotool key --window "$win" Escape 2>/dev/null || true
e2e_expect_exit_0 "Escape after the error box"

echo "windows demo e2e: all passed"
