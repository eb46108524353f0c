#!/usr/bin/env bash
# The region selection window end to end under the Wine bench. RegionSelect creates the
# window as the main dialog does, over a many-coloured backdrop, and shows it for each
# selection as the video options page will; xdotool drags on the bench's screen and
# ImageMagick's import reads the screen back. Checked: the window's class and look; that
# the shown window still shows the screen; during a drag the hatch frame (each pixel
# inverted) and the label with the right text above the rectangle, or below it near the
# top edge; a repaint during the drag changing nothing; the recording area after each
# release; Esc and Alt+F4 keeping the old area (and the window, for the next
# selection); and the screen exactly as before once the window is gone.
#
#   region_select.sh SOURCE_DIR REGIONSELECT WORK_DIR [VANTOR_EXE]
#
# Exit 77: the program cannot run on this machine (32-bit code where none runs).
set -uo pipefail
src=$1 prog=$2 work=$3 vantor=${4:-}
bench=$src/tools/winebench
check=$src/tests/overlays/region_shot_check.py

is_64bit() { od -An -tx2 -j$(( $(od -An -tu4 -j60 -N4 "$1") + 4 )) -N2 "$1" | grep -q 8664; }
"$bench" can-run-32bit || is_64bit "$prog" || exit 77

rm -rf "$work" && mkdir -p "$work"
work=$(cd "$work" && pwd)
eval "$("$bench" env)"
fail=0
say() { echo "region-e2e: $*"; }
bad() { say "FAIL: $*"; fail=1; }
winpath() { echo "Z:${1//\//\\}"; }
shot() { import -window root -depth 8 "$work/$1.ppm"; }
same() {  # NAME A B: the two screenshots are equal pixel for pixel
  local n
  n=$(compare -metric AE "$work/$2.ppm" "$work/$3.ppm" null: 2>&1)
  [ "$n" = 0 ] || bad "$1: $n pixels differ"
}

# Waits until the program has printed COUNT lines matching PATTERN (a generous bound that
# only a broken program reaches).
wait_lines() {
  local pattern=$1 count=${2:-1} i
  for i in $(seq 300); do
    [ "$(tr -d '\r' <"$work/prog.out" | grep -c -- "$pattern")" -ge "$count" ] && return 0
    sleep 0.1
  done
  return 1
}
last_capture() { tr -d '\r' <"$work/prog.out" | sed -n 's/^hidden capture=//p' | tail -1; }

# The label's text as it must look, drawn without the window: sets cell_h.
text_cell() {  # NAME TEXT
  "$bench" run "$prog" --text-cell "$2" --out "$(winpath "$work/$1.cell.ppm")" >"$work/$1.cell.out" 2>/dev/null
  cell_h=$(tr -d '\r' <"$work/$1.cell.out" | sed -n 's/^cell=[0-9]*,\([0-9]*\)$/\1/p')
  [ -n "$cell_h" ] || bad "$1: no text cell for '$2'"
}

# One selection: shows the window, presses at FROM, moves through the points after it,
# screenshots, releases. NAME FROM TO... (x,y each); the last point is where it ends.
shows=0
select_rect() {
  local name=$1 from=$2; shift 2
  shows=$((shows + 1))
  shot "$name.before"
  echo show >&8
  wait_lines '^shown' $shows || { bad "$name: the window was not shown"; return 1; }
  shot "$name.shown"
  same "$name: the shown window must show the screen as it was" "$name.before" "$name.shown"
  xdotool mousemove ${from%,*} ${from#*,}; sleep 0.3
  xdotool mousedown 1; sleep 0.3
  local p
  for p in "$@"; do xdotool mousemove ${p%,*} ${p#*,}; sleep 0.3; done
  sleep 0.3
  shot "$name.during"
}
release() {  # NAME: the button goes up, the window hides
  xdotool mouseup 1
  wait_lines '^hidden' $shows || { bad "$1: the window did not hide"; return 1; }
  shot "$1.after"
  same "$1: the screen after the selection" "$1.before" "$1.after"
}
frame_check() {  # NAME RECT TEXT_X TEXT_Y
  python3 "$check" "$work/$1.before.ppm" "$work/$1.during.ppm" "$2" "$work/$1.cell.ppm" "$3,$4" \
    >"$work/$1.check" 2>&1 || bad "$1: the frame or the label is not as it must be"
  sed "s/^/region-e2e: $1: /" "$work/$1.check"
}

mkfifo "$work/prog.in"
"$bench" run "$prog" --capture 10,20,329,259 --backdrop 60,0,1100,760 \
  <"$work/prog.in" >"$work/prog.out" 2>"$work/prog.err" &
prog_pid=$!
exec 8>"$work/prog.in"
cleanup() {
  exec 8>&- 2>/dev/null
  xdotool mouseup 1 2>/dev/null
  kill "$prog_pid" 2>/dev/null
  wait "$prog_pid" 2>/dev/null
}
trap cleanup EXIT
wait_lines '^ready' || { bad "RegionSelect did not start: $(cat "$work/prog.out" "$work/prog.err")"; exit 1; }
read -r SW SH < <(xdotool getdisplaygeometry)
created=$(tr -d '\r' <"$work/prog.out" | grep '^created')
say "$created"
wanted="created class=ShiftRegionWindow icon=yes cursor=cross background=none title=Title"
wanted+=" style=popup,topmost,hidden rect=0,0,$SW,$SH"
[ "$created" = "$wanted" ] || bad "the window is not the one wanted"

# 1. The drag from (200, 150) to (839, 629): 640 x 480 at (200, 150), the label above.
text_cell drag "X : 200  Y : 150  W : 640  H : 480"
if select_rect drag 200,150 420,300 700,500 839,629; then
  frame_check drag 200,150,839,629 210 $((150 - cell_h - 5))
  # Painted again in the middle of the drag, the window looks just the same.
  echo repaint >&8
  wait_lines '^repainted' || bad "drag: no repaint"
  shot drag.repainted
  same "drag: the window painted again" drag.during drag.repainted
  release drag
  [ "$(last_capture)" = "200,150,839,629" ] || bad "drag: the recording area is $(last_capture)"
fi

# 2. Esc during a drag: the window goes, the area stays.
if select_rect esc 300,300 500,450; then
  xdotool key Escape
  wait_lines '^hidden' $shows || bad "esc: the window did not hide"
  xdotool mouseup 1; sleep 0.3
  shot esc.after
  same "esc: the screen after Esc" esc.before esc.after
  [ "$(last_capture)" = "200,150,839,629" ] || bad "esc: the recording area became $(last_capture)"
fi

# 3. Near the screen's top edge the label goes below; odd spans lose a pixel.
text_cell top "X : 300  Y : 5  W : 400  H : 200"
if select_rect top 300,5 500,100 700,205; then
  frame_check top 300,5,699,204 310 $((204 + 5))
  release top
  [ "$(last_capture)" = "300,5,699,204" ] || bad "top: the recording area is $(last_capture)"
fi

# 4. Alt+F4 during a drag cancels like Esc; the window stays for the next selection.
if select_rect close 400,400 600,500; then
  xdotool key alt+F4
  wait_lines '^hidden' $shows || bad "close: the window did not hide"
  xdotool mouseup 1; sleep 0.3
  shot close.after
  same "close: the screen after Alt+F4" close.before close.after
  [ "$(last_capture)" = "300,5,699,204" ] || bad "close: the recording area became $(last_capture)"
fi

# 5. Spans of 5 and 4 pixels make 4 x 4.
text_cell small "X : 100  Y : 100  W : 4  H : 4"
if select_rect small 100,100 102,102 104,103; then
  frame_check small 100,100,103,103 110 $((100 - cell_h - 5))
  release small
  [ "$(last_capture)" = "100,100,103,103" ] || bad "small: the recording area is $(last_capture)"
fi

echo quit >&8
wait "$prog_pid" || bad "RegionSelect ended with status $?"
trap - EXIT

# The program's own icon for the window's class.
if [ -n "$vantor" ]; then
  icon=$("$bench" run "$prog" --module-icon "$(winpath "$vantor")" 2>/dev/null | tr -d '\r')
  [ "$icon" = "module icon=yes" ] || bad "Vantor.exe has no icon QIRVAX ($icon)"
  say "Vantor.exe: $icon"
fi

[ $fail = 0 ] && say "all checks passed"
exit $fail
