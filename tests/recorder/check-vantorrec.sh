#!/usr/bin/env bash
# VantorRec end to end, checked by ffmpeg and ffprobe: bad arguments, a recording of
# the test pattern (frame count, pixels against the frames that were fed, both streams
# and their durations, true key frames), real-time pacing and a folder name outside the
# ANSI code page.
#
#   check-vantorrec.sh native|wine SOURCE_DIR PROGRAM WORK_DIR FFMPEG FFPROBE
#
# "wine" runs PROGRAM through the project's Wine bench; exit 77 means the program cannot
# run on this machine (a 32-bit program where no 32-bit code runs).
set -uo pipefail
mode=$1 src=$2 prog=$3 work=$4 ffmpeg=$5 ffprobe=$6
fail=0
say() { echo "check-vantorrec: $*"; }
bad() { say "FAIL: $*"; fail=1; }

rm -rf "$work" && mkdir -p "$work"
work=$(cd "$work" && pwd)

# Paths as the program sees them: Wine maps the Unix root to drive Z:.
to_prog() { if [ "$mode" = wine ]; then echo "Z:${1//\//\\}"; else echo "$1"; fi; }
from_prog() {
  local p=${1%$'\r'}
  if [ "$mode" = wine ]; then p=${p#Z:}; p=${p//\\//}; fi
  echo "$p"
}
run() {
  if [ "$mode" = wine ]; then "$src/tools/winebench" run "$prog" "$@"; else "$prog" "$@"; fi
}

# 1. Bad arguments: status 2 and one line that says why and how.
run --size 12 --out "$(to_prog "$work/bad")" >"$work/bad.out" 2>"$work/bad.err"
status=$?
[ $status = 77 ] && { say "program cannot run here"; exit 77; }
[ $status = 2 ] || bad "bad --size: status $status, wanted 2"
grep -v '^wine: ' "$work/bad.err" >"$work/bad.err2" || true
[ "$(wc -l <"$work/bad.err2")" = 1 ] || bad "bad --size: wanted one line on stderr, got: $(cat "$work/bad.err2")"
grep -q 'usage: VantorRec' "$work/bad.err2" || bad "bad --size: no usage in: $(cat "$work/bad.err2")"
[ -s "$work/bad.out" ] && bad "bad --size: wrote to stdout"
run --out >/dev/null 2>&1; [ $? = 2 ] || bad "--out without a value: status not 2"

# 2. A recording of N frames, each encoded once, with a tone from the sound thread.
frames=45 w=640 h=480
run --source testpattern --size ${w}x$h --fps 30 --frames $frames --pace max --audio tone \
    --out "$(to_prog "$work/rec")" --save-frames "$(to_prog "$work/fed.bgr")" >"$work/rec.out" 2>"$work/rec.err"
status=$?
[ $status = 0 ] || bad "recording: status $status: $(cat "$work/rec.err")"
[ "$(wc -l <"$work/rec.out")" = 1 ] || bad "recording: wanted the path alone on stdout, got: $(cat "$work/rec.out")"
file=$(from_prog "$(head -1 "$work/rec.out")")
if [ ! -f "$file" ]; then
  bad "recording: no file at '$file'"
else
  case "$file" in "$work/rec/"[0-9]*-[0-9]*.avi) ;; *) bad "recording: unexpected name $file";; esac
  streams=$("$ffprobe" -v error -show_entries stream=codec_type,codec_name -of csv=p=0 "$file" | tr '\n' ' ')
  [ "$streams" = "mpeg4,video pcm_s16le,audio " ] || bad "streams: $streams"
  decoded=$("$ffprobe" -v error -count_frames -select_streams v -show_entries stream=nb_read_frames -of csv=p=0 "$file")
  [ "$decoded" = $frames ] || bad "decoded $decoded frames, wanted $frames"
  "$ffmpeg" -v error -f rawvideo -pix_fmt bgr24 -s ${w}x$h -r 30 -i "$work/fed.bgr" -i "$file" \
    -lavfi "[1:v]format=bgr24[d];[0:v]format=bgr24[r];[d][r]psnr=stats_file=$work/psnr.log" -f null - \
    || bad "ffmpeg could not compare the frames"
  compared=$(wc -l <"$work/psnr.log")
  [ "$compared" = $frames ] || bad "compared $compared frames, wanted $frames"
  worst=$(awk '{for (i = 1; i <= NF; i++) if ($i ~ /^psnr_avg:/) { v = substr($i, 10); if (v == "inf") v = 99; if (min == "" || v + 0 < min) min = v + 0 } } END { print min }' "$work/psnr.log")
  say "worst frame PSNR $worst dB over $compared frames"
  awk -v w="$worst" 'BEGIN { exit !(w > 30) }' || bad "worst frame PSNR $worst dB, wanted above 30"
  vdur=$("$ffprobe" -v error -select_streams v -show_entries stream=duration -of csv=p=0 "$file")
  adur=$("$ffprobe" -v error -select_streams a -show_entries packet=pts_time,duration_time -of csv=p=0 "$file" |
         tail -1 | awk -F, '{ print $1 + $2 }')
  say "video $vdur s, sound $adur s"
  awk -v v="$vdur" -v a="$adur" 'BEGIN { d = v - a; if (d < 0) d = -d; exit !(d <= 1 / 30) }' ||
    bad "durations differ by more than a frame: video $vdur s, sound $adur s"
  keys=$("$ffprobe" -v error -select_streams v -show_entries packet=flags -of csv=p=0 "$file" | grep -c '^K')
  ipics=$("$ffprobe" -v error -skip_frame nokey -select_streams v -show_entries frame=pict_type -of csv=p=0 "$file" | sort | uniq -c | tr -s ' ' | tr '\n' ' ')
  [ "$ipics" = " $keys I " ] || bad "key packets $keys, key pictures: $ipics"
  [ "$keys" -lt $frames ] || bad "every packet is marked key"
fi

# 3. Real-time pacing: one second at 30 frames per second is 30 frames.
run --size 320x240 --fps 30 --duration 1 --out "$(to_prog "$work/rt")" >"$work/rt.out" 2>"$work/rt.err"
status=$?
[ $status = 0 ] || bad "real-time recording: status $status: $(cat "$work/rt.err")"
file=$(from_prog "$(head -1 "$work/rt.out")")
n=$("$ffprobe" -v error -count_frames -select_streams v -show_entries stream=nb_read_frames -of csv=p=0 "$file" 2>/dev/null)
[ "$n" = 30 ] || bad "real-time recording: $n frames, wanted 30"

# 4. A folder whose name the ANSI code page cannot spell.
uni="$work/录像-ж-🎥"
run --size 160x120 --frames 5 --pace max --out "$(to_prog "$uni")" >"$work/uni.out" 2>"$work/uni.err"
status=$?
[ $status = 0 ] || bad "non-ANSI folder: status $status: $(cat "$work/uni.err")"
ls "$uni"/*.avi >/dev/null 2>&1 || bad "non-ANSI folder: no file in $uni"
[ "$(from_prog "$(head -1 "$work/uni.out")")" = "$(ls "$uni"/*.avi 2>/dev/null)" ] ||
  bad "non-ANSI folder: printed '$(head -1 "$work/uni.out")'"

# 5. Without Xvid (Wine can switch the bridge off): no recording, a clear message, status 1.
if [ "$mode" = wine ]; then
  WINEDLLOVERRIDES="xvidcore=d;mscoree,mshtml=;winemenubuilder.exe=d" \
    run --frames 3 --out "$(to_prog "$work/noxvid")" >"$work/noxvid.out" 2>"$work/noxvid.err"
  status=$?
  [ $status = 1 ] || bad "without Xvid: status $status, wanted 1"
  grep -q 'Cannot record: the Xvid video encoder is not installed' "$work/noxvid.err" ||
    bad "without Xvid: message was: $(cat "$work/noxvid.err")"
  ls "$work/noxvid"/*.avi >/dev/null 2>&1 && bad "without Xvid: a file was created"
fi

[ $fail = 0 ] && say "all checks passed ($mode)"
exit $fail
