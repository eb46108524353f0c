#!/usr/bin/env bash
# VantorRec's sound, end to end on the bench: --list-devices shows both null sinks'
# monitors; --audio device:NAME records the tone played into that sink, on the test
# pattern and on the screen, with a sound stream as long as the recording; what sounds
# while the screen recording is paused stays out of the file; --audio
# loopback (which Wine 8 cannot serve) still gives a complete, readable file; unknown
# devices and names are refused with a reason.
#
#   vantorrec_sound.sh SOURCE_DIR VANTORREC WORK_DIR FFMPEG FFPROBE
#
# Exit 77: VantorRec cannot run here (a 32-bit program where no 32-bit code runs) or
# the bench has no sound server.
set -uo pipefail
src=$1 prog=$2 work=$3 ffmpeg=$4 ffprobe=$5
fail=0
say() { echo "vantorrec_sound: $*"; }
bad() { say "FAIL: $*"; fail=1; }

rm -rf "$work" && mkdir -p "$work"
work=$(cd "$work" && pwd)
"$src/tools/winebench" start >/dev/null 2>&1
eval "$("$src/tools/winebench" env)"
pactl info >/dev/null 2>&1 || { say "no sound server on the bench"; exit 77; }
. "$(cd "$(dirname "$0")" && pwd)/sound_lib.sh"

run() { "$src/tools/winebench" run "$prog" "$@"; }
# rec NAME ARGS...: a recording into $work/NAME; the file's path in $file (empty when none).
rec() {
  local name=$1; shift
  run --out "$(winpath "$work/$name")" "$@" >"$work/$name.out" 2>"$work/$name.err"
  local status=$?
  file=$(ls "$work/$name"/*.avi 2>/dev/null | head -1)
  [ $status = 0 ] && [ -n "$file" ] || { bad "$name: status $status, file '$file': $(grep -v '^wine:' "$work/$name.err")"; file=; }
}

# 1. The device list.
run --list-devices >"$work/list.out" 2>"$work/list.err"
status=$?
[ $status = 77 ] && { say "VantorRec cannot run here"; exit 77; }
[ $status = 0 ] || bad "--list-devices: status $status: $(cat "$work/list.err")"
tr -d '\r' <"$work/list.out" >"$work/list.txt"
for sink in A B; do
  grep -qx "Monitor of VantorSink$sink" "$work/list.txt" || bad "--list-devices lacks sink $sink: $(tr '\n' ';' <"$work/list.txt")"
done

# 2. Each sink's tone from its monitor, on the test pattern and on the screen.
play vantor_sink_a 1000
play vantor_sink_b 1500
sleep 0.3
rec pattern-a --source testpattern --size 320x240 --fps 30 --duration 4 --audio "device:Monitor of VantorSinkA"
if [ -n "$file" ]; then
  check_streams "$file" mpeg4 pcm_u8 30 4
  check_tone "$file" 1000 1500
fi
rec pattern-b --source testpattern --size 320x240 --fps 30 --duration 4 --audio "device:vantorsinkb"
if [ -n "$file" ]; then
  check_streams "$file" mpeg4 pcm_u8 30 4
  check_tone "$file" 1500 1000
fi
rec screen-b --source screen --rect 0,0,319,239 --fps 10 --duration 4 --audio "device:Monitor of VantorSinkB"
if [ -n "$file" ]; then
  # The screen's frames come as fast as the grabs do, so the pictures' nominal length is
  # only reported here; the recorder fits their rate to the sound.
  say "screen-b: $(frames_seconds "$file" 10) s of frames at 10 per second"
  check_streams "$file" mpeg4 pcm_u8 10
  check_tone "$file" 1500 1000
fi

# 3. A pause on the screen (--commands, as the Pause and Record buttons): a tone played
# only while paused stays out of the file; parecord on the same sink witnesses that it
# sounded.
sox -n -r 48000 -c 2 "$work/pause-tone.wav" synth 1 sine 2500 vol 0.5 2>/dev/null
parecord --device=vantor_sink_b.monitor --file-format=wav --channels=1 --rate=48000 --format=s16le \
  "$work/witness.wav" &
witness=$!
{ sleep 2.5; echo pause; sleep 0.3; paplay --device=vantor_sink_b "$work/pause-tone.wav"; sleep 0.5
  echo record; sleep 2; echo stop; } |
  run --source screen --rect 0,0,319,239 --fps 10 --duration 60 --commands --audio "device:Monitor of VantorSinkB" \
      --out "$(winpath "$work/paused")" >"$work/paused.out" 2>"$work/paused.err"
status=$?
kill -INT $witness 2>/dev/null
wait $witness 2>/dev/null
file=$(ls "$work/paused"/*.avi 2>/dev/null | head -1)
heard=$("$ffmpeg" -v error -i "$work/witness.wav" -f s16le -ac 1 - | od -An -v -td2 -w2 | tones 2500 |
        awk '$1 != "zc" && $2 > 3000' | wc -l)
say "the pause tone sounded in the sink for $((heard * 50)) ms"
[ "$heard" -ge 10 ] || bad "the witness did not hear the pause tone (windows: $heard)"
grep -q "state: paused" "$work/paused.err" || bad "the recording was never paused: $(grep -v '^wine:' "$work/paused.err")"
if [ $status = 0 ] && [ -n "$file" ]; then
  say "paused: $(frames_seconds "$file" 10) s of frames at 10 per second"
  check_streams "$file" mpeg4 pcm_u8 10
  leaked=$(samples "$file" | tones 2500 | awk '$1 != "zc" && $2 > 1000' | wc -l)
  say "paused recording: windows with the pause tone: $leaked"
  [ "$leaked" = 0 ] || bad "sound played while paused is in the file ($leaked windows of 50 ms)"
  check_tone "$file" 1500 2500
else
  bad "paused recording: status $status, file '$file': $(grep -v '^wine:' "$work/paused.err")"
fi
stop_players

# 4. The loopback: the mix format, no sound under Wine, and a complete file.
for source in testpattern screen; do
  if [ $source = screen ]; then
    rec loopback-$source --source screen --rect 0,0,319,239 --fps 10 --duration 2 --audio loopback
  else
    rec loopback-$source --source testpattern --size 320x240 --fps 10 --duration 2 --audio loopback
  fi
  [ -n "$file" ] || continue
  streams=$("$ffprobe" -v error -show_entries stream=codec_type,codec_name -of csv=p=0 "$file" | tr '\n' ' ')
  say "loopback-$source: $streams"
  case "$streams" in "mpeg4,video pcm_f32le,audio "|"mpeg4,video pcm_s16le,audio ") ;;
    *) bad "loopback-$source: streams are '$streams'";; esac
  frames=$("$ffprobe" -v error -count_frames -select_streams v -show_entries stream=nb_read_frames -of csv=p=0 "$file")
  [ "$frames" -ge 15 ] || bad "loopback-$source: only $frames frames"
  "$ffmpeg" -v error -i "$file" -f null - || bad "loopback-$source: ffmpeg cannot read it"
done

# 5. Refusals: a device nobody has (status 1, with a pointer to the list), a name for a
# source that takes none (status 2).
run --source testpattern --frames 3 --audio "device:No Such Device" --out "$(winpath "$work/none")" \
  >"$work/none.out" 2>"$work/none.err"
status=$?
[ $status = 1 ] || bad "unknown device: status $status, wanted 1"
grep -q -- "--list-devices" "$work/none.err" || bad "unknown device: no pointer to --list-devices in: $(cat "$work/none.err")"
run --source testpattern --frames 3 --audio "tone:x" --out "$(winpath "$work/bad")" >/dev/null 2>"$work/bad.err"
status=$?
[ $status = 2 ] || bad "--audio tone:x: status $status, wanted 2"

[ $fail = 0 ] && say "all checks passed"
exit $fail
