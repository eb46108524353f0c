#!/usr/bin/env bash
# GDI screen recording end to end under the Wine bench. ScreenTarget shows a window whose
# content changes every few milliseconds in a known way (VantorRec's test pattern with
# its own frame counter, on a flat pad colour); `VantorRec --source screen` records the
# window's rectangle through the program's capture loop; ffprobe must accept the file
# and count exactly the frames grabbed, and the decoded frames must show the pattern at
# its place, frame numbers that never go back, a clean pad, and the cursor exactly where
# the pointer is (or nowhere). Then: a pause resumed by Pause and by Record, the
# marker shown meanwhile never reaching the file, Stop during a pause; a drag of the
# border during a recording; Ctrl+C; arguments refused.
#
#   gdi_screen_record.sh SOURCE_DIR VANTORREC SCREENTARGET CHECKER WORK_DIR FFMPEG FFPROBE
#
# Exit 77: the programs cannot run on this machine (32-bit code where none runs).
set -uo pipefail
src=$1 rec=$2 target=$3 check=$4 work=$5 ffmpeg=$6 ffprobe=$7
bench=$src/tools/winebench

is_64bit() { od -An -tx2 -j$(( $(od -An -tu4 -j60 -N4 "$1") + 4 )) -N2 "$1" | grep -q 8664; }
"$bench" can-run-32bit || { is_64bit "$rec" && is_64bit "$target"; } || exit 77

rm -rf "$work" && mkdir -p "$work"
work=$(cd "$work" && pwd)
eval "$("$bench" env)"
fail=0
say() { echo "gdi-e2e: $*"; }
bad() { say "FAIL: $*"; fail=1; }
winpath() { echo "Z:${1//\//\\}"; }
unixpath() { local p=${1%$'\r'}; p=${p#Z:}; echo "${p//\\//}"; }

# ScreenTarget's layout: a 560 x 320 window, the 384 x 288 pattern at (16, 16) of it.
W=560 H=320 X=200 Y=150
PAD=96,160,96
rect="$X,$Y,$((X + W - 1)),$((Y + H - 1))"
read -r SW SH < <(xdotool getdisplaygeometry)
PARKX=$((SW - 60)) PARKY=$((SH - 60))

# The target, fed commands through a pipe kept open for its whole life.
mkfifo "$work/target.in"
"$bench" run "$target" --at "$X,$Y" --park "$PARKX,$PARKY" <"$work/target.in" >"$work/target.out" 2>"$work/target.err" &
target_pid=$!
exec 8>"$work/target.in"
cleanup() {
  exec 8>&- 2>/dev/null
  kill "$target_pid" 2>/dev/null
  wait "$target_pid" 2>/dev/null
}
trap cleanup EXIT

# Waits until FILE has COUNT lines matching PATTERN (a generous bound: only a broken
# program reaches it).
wait_lines() {
  local file=$1 pattern=$2 count=${3:-1} i
  for i in $(seq 300); do
    [ "$(grep -c -- "$pattern" "$file" 2>/dev/null)" -ge "$count" ] && return 0
    sleep 0.1
  done
  return 1
}
wait_lines "$work/target.out" '^ready' || { bad "ScreenTarget did not start: $(cat "$work/target.err")"; exit 1; }
# (Windows programs end their lines with CR LF.)
arrow=$(tr -d '\r' <"$work/target.out" | sed -n 's/^arrow hotspot=\([0-9-]*\),\([0-9-]*\) box=\(.*\)$/\1,\2,\3/p')
say "arrow cursor (hotspot, box): $arrow"
target_cmd() { echo "$1" >&8; wait_lines "$work/target.out" "^ok $1" "$2" || bad "ScreenTarget did not confirm '$1'"; }

park_pointer() { xdotool mousemove $((PARKX + 20)) $((PARKY + 20)); sleep 0.3; }

checker() {
  case "$check" in
    *.exe) "$bench" run "$check" "$@" ;;
    *) "$check" "$@" ;;
  esac
}

# Runs VantorRec in the background: NAME, then its arguments. Sets rec_pid.
start_rec() {
  local name=$1; shift
  "$bench" run "$rec" --source screen --out "$(winpath "$work/$name")" --stats "$@" \
    <"${rec_stdin:-/dev/null}" >"$work/$name.out" 2>"$work/$name.err" &
  rec_pid=$!
}
# Waits for it; checks the status, the printed path and the file; sets file and grabs.
finish_rec() {
  local name=$1 status
  wait "$rec_pid"
  status=$?
  file= grabs=
  [ $status = 0 ] || { bad "$name: status $status: $(grep -v '^wine:' "$work/$name.err")"; return 1; }
  [ "$(wc -l <"$work/$name.out")" = 1 ] || { bad "$name: wanted the path alone on stdout: $(cat "$work/$name.out")"; return 1; }
  file=$(unixpath "$(head -1 "$work/$name.out")")
  case "$file" in
    "$work/$name/"[0-9]*-[0-9]*.avi) ;;
    *) bad "$name: unexpected name '$file'"; return 1 ;;
  esac
  [ -f "$file" ] || { bad "$name: no file at $file"; return 1; }
  grabs=$(sed -n 's/^capture: grabs=\([0-9]*\).*/\1/p' "$work/$name.err")
  repeated=$(sed -n 's/^capture: .*repeated=\([0-9]*\).*/\1/p' "$work/$name.err")
  say "$name: $(grep -E '^(stats|capture):' "$work/$name.err" | tr '\n' ' ')"
}
# ffprobe accepts the file: Xvid video of the area's size at the rate asked for, as many
# frames as grabs and places repeated for grabs that came late. Decodes the frames into
# NAME.bgr.
probe() {
  local name=$1 fps=$2 info frames
  info=$("$ffprobe" -v error -select_streams v -show_entries stream=codec_name,width,height,r_frame_rate -of csv=p=0 "$file" 2>&1)
  [ "$info" = "mpeg4,$W,$H,$fps/1" ] || bad "$name: video stream '$info', wanted mpeg4,$W,$H,$fps/1"
  frames=$("$ffprobe" -v error -count_frames -select_streams v -show_entries stream=nb_read_frames -of csv=p=0 "$file")
  say "$name: ffprobe counts $frames frames, the loop grabbed $grabs and repeated $repeated"
  [ -n "$grabs" ] && [ -n "$repeated" ] && [ "$frames" = $((grabs + repeated)) ] ||
    bad "$name: $frames frames in the file, $grabs grabbed and $repeated repeated"
  "$ffmpeg" -v error -i "$file" -f rawvideo -pix_fmt bgr24 -y "$work/$name.bgr" || bad "$name: ffmpeg cannot decode it"
}
check_frames() {
  local name=$1; shift
  checker --frames "$(winpath_if_exe "$work/$name.bgr")" --size ${W}x$H "$@" >"$work/$name.check" 2>&1
  local status=$?
  sed "s/^/gdi-e2e: $name: /" "$work/$name.check"
  [ $status = 0 ] || bad "$name: the decoded frames are not what was on the screen"
}
winpath_if_exe() { case "$check" in *.exe) winpath "$1" ;; *) echo "$1" ;; esac; }

# 1. 10 and 30 frames per second, the pointer outside the area: every frame shows the
#    window as it was, no cursor.
park_pointer
for fps in 10 30; do
  start_rec "rate$fps" --rect "$rect" --fps $fps --duration 3
  finish_rec "rate$fps" && probe "rate$fps" $fps &&
    check_frames "rate$fps" --pattern 16,16 --pad $PAD --window 0,0,$W,$H --no-cursor
done

# 2. The pointer inside the area, over the target: the arrow with its hotspot at the
#    pointer, in every frame.
cx=480 cy=150
xdotool mousemove $((X + cx)) $((Y + cy)); sleep 0.3
start_rec cursor --rect "$rect" --fps 10 --duration 2
finish_rec cursor && probe cursor 10 &&
  check_frames cursor --pattern 16,16 --pad $PAD --window 0,0,$W,$H --cursor $cx,$cy --arrow "$arrow"
park_pointer

# 3. Pause, resumed by a second Pause; pause again, resumed by Record; pause once more
#    and Stop. While paused the target shows a red marker, which must never reach the
#    file; a screenshot proves it was on the screen.
mkfifo "$work/rec.in"
rec_stdin=$work/rec.in
start_rec pause --rect "$rect" --fps 30 --duration 60 --commands
exec 9>"$work/rec.in"
rec_stdin=
err=$work/pause.err
pause_once() {  # N: the how-manieth pause
  echo pause >&9
  wait_lines "$err" '^state: paused' "$1" || bad "pause $1 was not confirmed"
  target_cmd "marker on" "$1"
  "$ffmpeg" -v error -f x11grab -video_size ${W}x$H -i "$DISPLAY+$X,$Y" -frames:v 1 -f rawvideo -pix_fmt bgr24 \
    -y "$work/shot$1.bgr" </dev/null
  checker --frames "$(winpath_if_exe "$work/shot$1.bgr")" --size ${W}x$H --pattern 16,16 >"$work/shot$1.check" 2>&1
  tr -d '\r' <"$work/shot$1.check" | grep -q '^marker: frames=1$' || bad "the marker was not on the screen during pause $1"
  sleep 1
}
if wait_lines "$err" '^state: recording' 1; then
  sleep 1
  pause_once 1
  target_cmd "marker off" 1; sleep 0.3
  echo pause >&9   # a second Pause resumes
  wait_lines "$err" '^state: recording' 2 || bad "the second Pause did not resume"
  sleep 1
  pause_once 2
  target_cmd "marker off" 2; sleep 0.3
  echo record >&9  # Record resumes too
  wait_lines "$err" '^state: recording' 3 || bad "Record did not resume"
  sleep 1
  pause_once 3
  echo stop >&9    # Stop during the pause finishes the file
  wait_lines "$err" '^state: stopped' 1 || bad "Stop was not confirmed"
else
  bad "the recording with commands did not start: $(cat "$err")"
fi
exec 9>&-
finish_rec pause && probe pause 30 && check_frames pause --pattern 16,16
target_cmd "marker off" 3

# 4. A drag of the border's top-left mark by (-12, -8) during a recording: from some
#    frame on the pattern lies 12 columns right and 8 rows lower; the size stays.
start_rec move --rect "$rect" --fps 10 --duration 4
sleep 1.5
xdotool mousemove $((X - 5)) $((Y - 5)); sleep 0.2
xdotool mousedown 1; sleep 0.1
xdotool mousemove $((X - 11)) $((Y - 9)); sleep 0.05
xdotool mousemove $((X - 17)) $((Y - 13)); sleep 0.1
xdotool mouseup 1; sleep 0.2
park_pointer
finish_rec move && probe move 10 && check_frames move --pattern 16,16 --moved 28,24

# 5. Ctrl+C ends a recording that was to last a minute; the file is whole.
start_rec interrupt --rect "$rect" --fps 10 --duration 60
sleep 2.5
kill -INT "$rec_pid"
finish_rec interrupt && probe interrupt 10 && check_frames interrupt --pattern 16,16 --pad $PAD --window 0,0,$W,$H --no-cursor

# 6. Arguments refused with one line and status 2: a frame rate below 1 (the interval
#    would be 1000 / 0), an inverted rectangle, a rectangle for another source.
for args in "--fps 0.5" "--rect 300,300,200,200" "--rect 0,0,99,99 --fullscreen" "--size 640x480"; do
  "$bench" run "$rec" --source screen --out "$(winpath "$work/bad")" $args >"$work/bad.out" 2>"$work/bad.err"
  status=$?
  grep -v '^wine:' "$work/bad.err" >"$work/bad.err2"
  [ $status = 2 ] && [ "$(wc -l <"$work/bad.err2")" = 1 ] || bad "'$args': status $status, stderr: $(cat "$work/bad.err2")"
  say "refused '$args': $(cat "$work/bad.err2" | cut -c1-110)"
done
"$bench" run "$rec" --source testpattern --rect 0,0,99,99 --out "$(winpath "$work/bad")" >/dev/null 2>&1
[ $? = 2 ] || bad "--rect with the test pattern was accepted"

[ $fail = 0 ] && say "all checks passed"
exit $fail
