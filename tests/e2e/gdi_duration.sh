#!/usr/bin/env bash
# A screen recording lasts as long as it recorded: `VantorRec --source screen` records a
# changing window for 6 s at 30 and at 60 frames per second, without sound and with the
# sound of a capture device (a null sink's monitor playing a tone), and ffprobe must find
# a video stream of 6 s within one frame (and, with sound, a sound stream as long). A
# recording paused for about 2 s in the middle still lasts its 6 recorded seconds: the
# paused time is left out, and the capture loop says it waited it out. Nothing here
# judges speed: a slow machine repeats frames but keeps the time.
#
#   gdi_duration.sh SOURCE_DIR VANTORREC SCREENTARGET WORK_DIR FFMPEG FFPROBE
#
# Exit 77: the programs cannot run on this machine (32-bit code where none runs).
set -uo pipefail
src=$1 rec=$2 target=$3 work=$4 ffmpeg=$5 ffprobe=$6
bench=$src/tools/winebench

is_64bit() { od -An -tx2 -j$(( $(od -An -tu4 -j60 -N4 "$1") + 4 )) -N2 "$1" | grep -q 8664; }
"$bench" can-run-32bit || { is_64bit "$rec" && is_64bit "$target"; } || exit 77

rm -rf "$work" && mkdir -p "$work"
work=$(cd "$work" && pwd)
"$bench" start >/dev/null 2>&1
eval "$("$bench" env)"
fail=0
say() { echo "gdi-duration: $*"; }
bad() { say "FAIL: $*"; fail=1; }
. "$(cd "$(dirname "$0")" && pwd)/sound_lib.sh"
unixpath() { local p=${1%$'\r'}; p=${p#Z:}; echo "${p//\\//}"; }

SECONDS_WANTED=6
W=560 H=320 X=200 Y=150
rect="$X,$Y,$((X + W - 1)),$((Y + H - 1))"
read -r SW SH < <(xdotool getdisplaygeometry)

mkfifo "$work/target.in"
"$bench" run "$target" --at "$X,$Y" --park "$((SW - 60)),$((SH - 60))" <"$work/target.in" >"$work/target.out" \
  2>"$work/target.err" &
target_pid=$!
exec 8>"$work/target.in"
cleanup() {
  stop_players
  exec 8>&- 2>/dev/null
  kill "$target_pid" 2>/dev/null
  wait "$target_pid" 2>/dev/null
}
trap cleanup EXIT
for _ in $(seq 300); do grep -q '^ready' "$work/target.out" 2>/dev/null && break; sleep 0.1; done
grep -q '^ready' "$work/target.out" || { bad "ScreenTarget did not start: $(cat "$work/target.err")"; exit 1; }
xdotool mousemove $((SW - 40)) $((SH - 40))

# Waits for the recording in the background (rec_pid); sets file, or says why not.
finish() {
  local name=$1 status
  wait "$rec_pid"
  status=$?
  file=
  [ $status = 0 ] || { bad "$name: status $status: $(grep -v '^wine:' "$work/$name.err")"; return 1; }
  file=$(unixpath "$(head -1 "$work/$name.out")")
  [ -f "$file" ] || { bad "$name: no file at '$file'"; file=; return 1; }
  say "$name: $(grep -E '^capture:' "$work/$name.err")"
}
start() {  # start NAME ARGS...: a recording in the background
  local name=$1; shift
  "$bench" run "$rec" --source screen --rect "$rect" --duration "$SECONDS_WANTED" --stats \
    --out "$(winpath "$work/$name")" "$@" <"${rec_stdin:-/dev/null}" >"$work/$name.out" 2>"$work/$name.err" &
  rec_pid=$!
}
# The video stream lasts SECONDS_WANTED within one frame at FPS.
check_length() {  # check_length NAME FPS [LEAST_TOLERANCE_S]
  local name=$1 fps=$2 least=${3:-0} d
  d=$("$ffprobe" -v error -select_streams v -show_entries stream=duration -of csv=p=0 "$file")
  say "$name: video lasts $d s (recorded $SECONDS_WANTED s at $fps frames per second)"
  awk -v d="$d" -v s="$SECONDS_WANTED" -v f="$fps" -v l="$least" 'BEGIN { x = d - s; if (x < 0) x = -x; t = 1 / f; if (t < l) t = l; exit !(d != "" && x <= t + 1e-6) }' ||
    bad "$name: the video lasts $d s, not $SECONDS_WANTED s within a frame"
}

# 1. Without sound.
for fps in 30 60; do
  start "silent$fps" --fps $fps
  finish "silent$fps" && check_length "silent$fps" $fps
done

# 2. With the sound of a capture device: the video's rate is fitted to the sound at the
#    end, so both streams must last the recorded time.
if pactl info >/dev/null 2>&1; then
  play vantor_sink_a 1000
  for fps in 30 60; do
    start "sound$fps" --fps $fps --audio "device:Monitor of VantorSinkA"
    # The video is fitted to the sound, whose end meets the stop within 25 ms.
    finish "sound$fps" && check_length "sound$fps" $fps 0.025 && check_streams "$file" mpeg4 pcm_u8 $fps $SECONDS_WANTED
  done
  stop_players
else
  say "no sound server on the bench: the recordings with sound were not made"
fi

# 3. Paused for about 2 s after 2 s: the file still lasts the 6 recorded seconds, and
#    the loop ran about 2 s longer, which it reports as paused.
mkfifo "$work/pause.in"
rec_stdin=$work/pause.in
start pause --fps 30 --commands
exec 9>"$work/pause.in"
rec_stdin=
for _ in $(seq 300); do grep -q '^state: recording' "$work/pause.err" 2>/dev/null && break; sleep 0.1; done
sleep 2
echo pause >&9
sleep 2
echo pause >&9
exec 9>&-
if finish pause; then
  check_length pause 30
  paused=$(sed -n 's/^capture: .*paused_seconds=\([0-9.]*\).*/\1/p' "$work/pause.err")
  awk -v p="$paused" 'BEGIN { exit !(p != "" && p >= 1.5 && p <= 3) }' ||
    bad "pause: the loop waited out '$paused' s in the pause, not about 2 s"
fi

[ $fail = 0 ] && say "all checks passed"
exit $fail
