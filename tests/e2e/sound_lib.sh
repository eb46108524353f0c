# Shared by the sound end-to-end scripts (sourced): tones played into the bench's null
# sinks, and the checks of a recorded file's sound through ffmpeg and ffprobe. The
# caller sets work, ffmpeg, ffprobe and defines say and bad.
sound_lib_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

players=()
stop_players() { for p in "${players[@]}"; do kill "$p" 2>/dev/null; wait "$p" 2>/dev/null; done; players=(); }
trap stop_players EXIT
# The streams playing into SINK now (the sound server's own view).
sink_streams() {
  local id
  id=$(pactl list short sinks | awk -v s="$1" '$2 == s { print $1 }')
  [ -n "$id" ] && pactl list short sink-inputs | awk -v id="$id" '$2 == id' | wc -l
}
# play SINK HZ: a two-minute tone into a null sink, in the background. On a loaded
# machine paplay can fail to connect, or connect late; a recording of a sink nobody
# plays into is silent, which would look like a fault of the recorder. So the tone only
# counts as playing once the server lists its stream, and a player that did not get
# there is started again.
play() {
  local wav="$work/tone-$2.wav" try pid before
  [ -f "$wav" ] || sox -n -r 48000 -c 2 "$wav" synth 120 sine "$2" vol 0.5 2>/dev/null
  before=$(sink_streams "$1")
  for try in 1 2 3; do
    paplay --device="$1" "$wav" 2>"$work/play-$1-$2.err" &
    pid=$!
    for _ in $(seq 50); do
      [ "$(sink_streams "$1")" -gt "${before:-0}" ] && { players+=($pid); return 0; }
      kill -0 $pid 2>/dev/null || break
      sleep 0.1
    done
    say "the tone of $2 Hz into $1 did not start (try $try): $(tr '\n' ' ' <"$work/play-$1-$2.err")"
    kill $pid 2>/dev/null; wait $pid 2>/dev/null
  done
  bad "no tone of $2 Hz could be played into $1"
}
# Says which players have ended early: a silent file is then the bench's fault.
check_players() {
  local p
  for p in "${players[@]}"; do kill -0 "$p" 2>/dev/null || say "a tone player ($p) has ended early"; done
}
winpath() { local p=${1//\//\\}; echo "Z:$p"; }
samples() {  # samples FILE: the sound as signed 16-bit mono samples, one per line
  "$ffmpeg" -v error -i "$1" -map 0:a -f s16le -ac 1 - | od -An -v -td2 -w2
}
tones() {  # tones FREQS [FROM TO] < samples: per 50 ms window the amplitude of each frequency
  awk -v rate=48000 -v win=2400 -v freqs="$1" -v from="${2:-0}" -v to="${3:-0}" -f "$sound_lib_dir/sound_tones.awk"
}
# The first moment with sound: Wine's capture starts late, and the file carries
# silence for that time.
sound_start() {
  "$ffmpeg" -nostats -i "$1" -map 0:a -af silencedetect=n=-40dB:d=0.05 -f null - 2>&1 |
    awk '/silence_start: 0$/ { s = 1 } s && /silence_end/ { print $5; exit } END { if (!s) print 0 }'
}
video_duration() { "$ffprobe" -v error -select_streams v -show_entries stream=duration -of csv=p=0 "$1"; }
# The pictures' nominal length: frames / FPS (a recorder may have fitted the stream's
# rate to the sound since).
frames_seconds() {  # frames_seconds FILE FPS
  "$ffprobe" -v error -select_streams v -show_entries stream=nb_frames -of csv=p=0 "$1" |
    awk -v f="$2" '{ printf "%.3f", $1 / f }'
}
# The sound's length: where its last packet ends.
sound_duration() {
  "$ffprobe" -v error -select_streams a -show_entries packet=pts_time,duration_time -of csv=p=0 "$1" |
    awk -F, 'END { print $1 + $2 }'
}
# The streams are VIDEO_CODEC and SOUND_CODEC, the sound decodes cleanly, every video
# packet is read, and the two lengths differ by at most one frame at FPS (and, with
# WANT_SECONDS, the sound lasts that long too). How the pictures decode is the video
# tests' business.
check_streams() {  # check_streams FILE VIDEO_CODEC SOUND_CODEC FPS [WANT_SECONDS]
  local file=$1 vcodec=$2 acodec=$3 rate=$4 want=${5:-}
  local streams vdur adur
  streams=$("$ffprobe" -v error -show_entries stream=codec_type,codec_name -of csv=p=0 "$file" | tr '\n' ' ')
  [ "$streams" = "$vcodec,video $acodec,audio " ] || bad "$(basename "$file"): streams are '$streams'"
  vdur=$(video_duration "$file")
  adur=$(sound_duration "$file")
  say "$(basename "$file"): video $vdur s, sound $adur s${want:+ (recording $want s)}"
  awk -v v="$vdur" -v a="$adur" -v f="$rate" 'BEGIN { d = v - a; if (d < 0) d = -d; exit !(d <= 1 / f) }' ||
    bad "$(basename "$file"): video $vdur s and sound $adur s differ by more than a frame"
  if [ -n "$want" ]; then
    # The recorded time within a frame, or within 25 ms at high rates: the stop and the
    # device's last lump of sound meet within that much.
    awk -v w="$want" -v a="$adur" -v f="$rate" 'BEGIN { d = w - a; if (d < 0) d = -d; t = 1 / f; if (t < 0.025) t = 0.025; exit !(d <= t) }' ||
      bad "$(basename "$file"): sound $adur s for a recording of $want s"
  fi
  "$ffmpeg" -v error -i "$file" -map 0:a -f null - 2>"$work/decode.err" || bad "$(basename "$file"): ffmpeg cannot decode the sound"
  [ -s "$work/decode.err" ] && bad "$(basename "$file"): decoding the sound complained: $(head -3 "$work/decode.err")"
  local declared read
  declared=$("$ffprobe" -v error -select_streams v -show_entries stream=nb_frames -of csv=p=0 "$file")
  read=$("$ffprobe" -v error -count_packets -select_streams v -show_entries stream=nb_read_packets -of csv=p=0 "$file")
  [ "$declared" = "$read" ] || bad "$(basename "$file"): $read video packets read of $declared declared"
}
# The tone in the sound of FILE after its start: its frequency by zero crossings within
# 1%, and OTHER_HZ at least 30 dB below it in every 50 ms window. NOT_BEFORE (seconds of
# the file) moves the start later: in a paused recording the capture's first moments,
# which Wine delivers unevenly, can fall on both sides of the pause.
check_tone() {  # check_tone FILE HZ OTHER_HZ [NOT_BEFORE]
  local file=$1 hz=$2 other=$3 from to measured
  check_players
  from=$(awk -v s="$(sound_start "$file")" -v n="${4:-0}" 'BEGIN { f = s + 0.2; if (n > f) f = n; print f }')
  to=$(awk -v d="$(video_duration "$file")" 'BEGIN { print d - 0.2 }')
  samples "$file" | tones "$hz,$other" "$from" "$to" >"$work/tones.txt"
  measured=$(awk '$1 == "zc" { if ($2 > 0) printf "%.1f", $3 / $2; else print 0 }' "$work/tones.txt")
  say "$(basename "$file"): sound from $from s, tone at $measured Hz (wanted $hz)"
  awk -v m="$measured" -v h="$hz" 'BEGIN { d = m - h; if (d < 0) d = -d; exit !(d <= h / 100) }' ||
    bad "$(basename "$file"): tone at $measured Hz, wanted $hz"
  awk -v from="$from" -v to="$to" '$1 != "zc" && $1 >= from && $1 + 0.05 <= to { n++; if ($2 < 1000 || $3 * 31 > $2) b++ }
       END { exit !(n > 10 && b == 0) }' "$work/tones.txt" ||
    bad "$(basename "$file"): the tone is not clean in every window after $from s"
}
