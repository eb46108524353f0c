#!/usr/bin/env bash
# Sound from the bench's devices, end to end: tones are played into the two PulseAudio
# null sinks, the sound readers record their monitors (and the playback loopback) into
# AVI files, and ffprobe and ffmpeg judge the files:
#  - both monitors are listed, and each records its own sink's tone, at its frequency;
#  - a second recording in the same run records from the chosen device again;
#  - the audio stream lasts as long as the video stream, to within one frame;
#  - a tone played only while the recording is paused is not in the file (while an
#    independent recording of the sink shows it was played);
#  - the loopback, which Wine 8 cannot serve, still gives a complete, readable file.
#
#   sound_devices.sh SOURCE_DIR RECORDER WORK_DIR FFMPEG FFPROBE
#
# RECORDER is a program with sound_record_tool's command line. Exit 77: it cannot run
# here (a 32-bit program where no 32-bit code runs) or the bench has no sound server.
set -uo pipefail
src=$1 prog=$2 work=$3 ffmpeg=$4 ffprobe=$5
here=$(cd "$(dirname "$0")" && pwd)
fps=25
fail=0
say() { echo "sound_devices: $*"; }
bad() { say "FAIL: $*"; fail=1; }

rm -rf "$work" && mkdir -p "$work"
work=$(cd "$work" && pwd)
"$src/tools/winebench" start >/dev/null 2>&1
eval "$("$src/tools/winebench" env)"
pactl info >/dev/null 2>&1 || { say "no sound server on the bench"; exit 77; }

. "$here/sound_lib.sh"
record() {  # record NAME ARGS...: runs the recorder, its line in $work/NAME.out
  local name=$1; shift
  "$src/tools/winebench" run "$prog" --out "$(winpath "$work/$name.avi")" "$@" \
    >"$work/$name.out" 2>"$work/$name.err"
}

# 1. Both monitors are listed.
"$src/tools/winebench" run "$prog" --list-devices >"$work/list.out" 2>"$work/list.err"
status=$?
[ $status = 77 ] && { say "the recorder cannot run here"; exit 77; }
[ $status = 0 ] || bad "--list-devices: status $status: $(cat "$work/list.err")"
tr -d '\r' <"$work/list.out" >"$work/list.txt"
for sink in A B; do
  grep -qx "Monitor of VantorSink$sink" "$work/list.txt" || bad "no 'Monitor of VantorSink$sink' in: $(tr '\n' ';' <"$work/list.txt")"
done

# 2. Each monitor records its own sink's tone; the second recording of the run again.
play vantor_sink_a 1000
play vantor_sink_b 1500
sleep 0.3
record a --device "Monitor of VantorSinkA" --seconds 4 --fps $fps --again "$(winpath "$work/a2.avi")" ||
  bad "recording from sink A: $(cat "$work/a.err")"
record b --device "Monitor of VantorSinkB" --seconds 4 --fps $fps || bad "recording from sink B: $(cat "$work/b.err")"
record default --seconds 3 --fps $fps || bad "recording from the default device: $(cat "$work/default.err")"
for f in a a2 b default; do
  [ -f "$work/$f.avi" ] || { bad "no file $f.avi"; continue; }
  check_streams "$work/$f.avi" rawvideo pcm_u8 $fps
done
check_tone "$work/a.avi" 1000 1500
check_tone "$work/a2.avi" 1000 1500
check_tone "$work/b.avi" 1500 1000
check_tone "$work/default.avi" 1000 1500  # the default source is sink A's monitor

# 3. A tone played only while the recording is paused stays out of the file. The
# recorder plays it into the default playback device (sink A) during the pause;
# parecord listens to the same sink as a witness that it sounded.
parecord --device=vantor_sink_a.monitor --file-format=wav --channels=1 --rate=48000 --format=s16le \
  "$work/witness.wav" &
witness=$!
sleep 0.3
record pause --device "Monitor of VantorSinkA" --seconds 5 --fps $fps --pause-at 2 --pause-for 2 --pause-tone 2500 ||
  bad "paused recording: $(cat "$work/pause.err")"
sleep 0.3
kill -INT $witness 2>/dev/null
wait $witness 2>/dev/null
heard=$("$ffmpeg" -v error -i "$work/witness.wav" -f s16le -ac 1 - | od -An -v -td2 -w2 | tones 2500 |
        awk '$1 != "zc" && $2 > 3000' | wc -l)
say "the pause tone sounded in the sink for $((heard * 50)) ms"
[ "$heard" -ge 20 ] || bad "the witness did not hear the pause tone (windows: $heard)"
if [ -f "$work/pause.avi" ]; then
  check_streams "$work/pause.avi" rawvideo pcm_u8 $fps
  leaked=$(samples "$work/pause.avi" | tones 2500 | awk '$1 != "zc" && $2 > 1000' | wc -l)
  say "pause.avi: windows with the pause tone: $leaked"
  [ "$leaked" = 0 ] || bad "sound played while paused is in the file ($leaked windows of 50 ms)"
  # The pause begins 2 s into the file; the tone is judged from 0.3 s after it.
  check_tone "$work/pause.avi" 1000 2500 2.3
else
  bad "no file pause.avi"
fi
stop_players

# 4. The loopback: Wine gives the mix format but no capture client; the file is still
# complete, with the mix format's (empty) sound stream.
record loopback --loopback --seconds 2 --fps $fps || bad "loopback recording: $(cat "$work/loopback.err")"
say "loopback: $(tr -d '\r' <"$work/loopback.out")"
if [ -f "$work/loopback.avi" ]; then
  streams=$("$ffprobe" -v error -show_entries stream=codec_type,codec_name -of csv=p=0 "$work/loopback.avi" | tr '\n' ' ')
  case "$streams" in "rawvideo,video pcm_f32le,audio "|"rawvideo,video pcm_s16le,audio ") ;;
    *) bad "loopback.avi: streams are '$streams'";; esac
  frames=$("$ffprobe" -v error -count_frames -select_streams v -show_entries stream=nb_read_frames -of csv=p=0 "$work/loopback.avi")
  [ "$frames" = $((2 * fps)) ] || bad "loopback.avi: $frames frames, wanted $((2 * fps))"
  "$ffmpeg" -v error -i "$work/loopback.avi" -f null - || bad "loopback.avi: ffmpeg cannot read it"
else
  bad "no file loopback.avi"
fi

[ $fail = 0 ] && say "all checks passed"
exit $fail
