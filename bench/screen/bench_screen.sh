#!/usr/bin/env bash
# Screen recording speed: `VantorRec --source screen` under Wine next to
# `ffmpeg -f x11grab -c:v libxvid` recording the same area of the same Xvfb screen at the
# same rate, for 640x480, 1280x720 and the whole screen, at 30 and 60 frames per second.
#
# Reported per run: grabs per second achieved (VantorRec: grabs over the capture loop's
# running time; ffmpeg: frames encoded over the capture's length); processor seconds per
# recorded second of the recorder's own process (VantorRec: all its threads from Record to
# the closed file, as it measures itself; ffmpeg: the whole process); and the same with
# the X server's and (for Wine) the wineserver's processor time added, less what they
# spend while only the target runs. Ratios are VantorRec / ffmpeg.
#
# What is recorded: ScreenTarget filling the area with VantorRec's test pattern, redrawn
# 30 times a second, so that both encoders have the same moving picture.
#
#   bench/screen/bench_screen.sh WIN64_BUILD [SECONDS]
set -euo pipefail
src=$(cd "$(dirname "$0")/../.." && pwd)
win64=$1
seconds=${2:-8}
rec=$win64/cli/VantorRec.exe
target=$win64/tests/recording/ScreenTarget.exe
bench=$src/tools/winebench
bench_dir=${VANTOR_BENCH_DIR:-$src/build/winebench}
for f in "$rec" "$target"; do
  [ -f "$f" ] || { echo "bench-screen: $f is missing (cmake --build $win64 --target VantorRec ScreenTarget)" >&2; exit 1; }
done
command -v ffmpeg >/dev/null && command -v xdotool >/dev/null || { echo "bench-screen: needs ffmpeg and xdotool" >&2; exit 1; }

"$bench" start >/dev/null
eval "$("$bench" env)"
read -r SW SH < <(xdotool getdisplaygeometry)
out=$(mktemp -d)
target_pid=
cleanup() {
  exec 8>&- 2>/dev/null || true
  if [ -n "$target_pid" ]; then kill "$target_pid" 2>/dev/null; wait "$target_pid" 2>/dev/null; fi
  rm -rf "$out"
}
trap cleanup EXIT
to_wine() { echo "Z:${1//\//\\}"; }

tick=$(getconf CLK_TCK)
# Processor seconds the bench's X server and wineserver have used so far.
service_cpu() {
  local total=0 name pid
  for name in xvfb wineserver; do
    pid=$(cat "$bench_dir/run/$name.pid" 2>/dev/null) || continue
    [ -r "/proc/$pid/stat" ] || continue
    total=$((total + $(awk '{ print $14 + $15 }' "/proc/$pid/stat")))
  done
  awk -v t="$total" -v k="$tick" 'BEGIN { printf "%.3f", t / k }'
}
field() { sed -n "s/.*[ :]$1=\([0-9.]*\).*/\1/p" | head -1; }

printf '%-10s %4s | %-28s | %-28s | %s\n' "" "" "VantorRec (Wine)" "ffmpeg x11grab + libxvid" "VantorRec / ffmpeg"
printf '%-10s %4s | %8s %9s %9s | %8s %9s %9s | %6s %7s %7s\n' area fps grab/s cpu/s +X,ws/s grab/s cpu/s +X/s rate cpu cpu+X
for size in 640x480 1280x720 "${SW}x$SH"; do
  w=${size%x*} h=${size#*x}
  # The target's window: the pattern needs at least 416 x 96 pixels.
  # Its standard input stays open (it ends at end of input) until it is stopped.
  rm -f "$out/target.in" && mkfifo "$out/target.in"
  "$bench" run "$target" --at 0,0 --size "$w,$h" --period 33 --park "$((SW - 60)),$((SH - 60))" \
    <"$out/target.in" >"$out/target.out" 2>/dev/null &
  target_pid=$!
  exec 8>"$out/target.in"
  for i in $(seq 300); do grep -q '^ready' "$out/target.out" 2>/dev/null && break; sleep 0.1; done
  xdotool mousemove $((SW - 40)) $((SH - 40))
  # What the services cost with only the target drawing.
  s0=$(service_cpu); sleep "$seconds"; s1=$(service_cpu)
  idle=$(awk -v a="$s0" -v b="$s1" -v d="$seconds" 'BEGIN { print (b - a) / d }')
  for fps in 30 60; do
    s0=$(service_cpu)
    "$bench" run "$rec" --source screen --rect "0,0,$((w - 1)),$((h - 1))" --fps "$fps" --duration "$seconds" \
      --out "$(to_wine "$out/rec")" --stats </dev/null >/dev/null 2>"$out/rec.err"
    s1=$(service_cpu)
    rate=$(field grab_rate <"$out/rec.err")
    loop=$(field loop_seconds <"$out/rec.err")
    cpu=$(field cpu_seconds <"$out/rec.err")
    v_cpu=$(awk -v c="$cpu" -v l="$loop" 'BEGIN { printf "%.3f", c / l }')
    v_all=$(awk -v c="$cpu" -v l="$loop" -v a="$s0" -v b="$s1" -v i="$idle" -v d="$seconds" \
      'BEGIN { printf "%.3f", c / l + (b - a) / d - i }')

    s0=$(service_cpu)
    /usr/bin/time -f "%U %S" -o "$out/ff.time" ffmpeg -nostdin -hide_banner -v error -f x11grab -framerate "$fps" \
      -video_size "${w}x$h" -i "$DISPLAY+0,0" -t "$seconds" -c:v libxvid -threads 1 -qscale:v 6 \
      -fps_mode passthrough -progress "$out/ff.progress" -y "$out/ff.avi"
    s1=$(service_cpu)
    frames=$(grep '^frame=' "$out/ff.progress" | tail -1 | cut -d= -f2)
    f_rate=$(awk -v n="$frames" -v d="$seconds" 'BEGIN { printf "%.2f", n / d }')
    f_cpu=$(awk '{ printf "%.3f", $1 + $2 }' "$out/ff.time")
    f_cpu=$(awk -v c="$f_cpu" -v d="$seconds" 'BEGIN { printf "%.3f", c / d }')
    f_all=$(awk -v c="$f_cpu" -v a="$s0" -v b="$s1" -v i="$idle" -v d="$seconds" \
      'BEGIN { printf "%.3f", c + (b - a) / d - i }')

    awk -v s="$size" -v f="$fps" -v vr="$rate" -v vc="$v_cpu" -v va="$v_all" -v fr="$f_rate" -v fc="$f_cpu" -v fa="$f_all" \
      'BEGIN { printf "%-10s %4d | %8.2f %9.3f %9.3f | %8.2f %9.3f %9.3f | %6.2f %7.2f %7.2f\n",
               s, f, vr, vc, va, fr, fc, fa, vr / fr, vc / fc, va / fa }'
  done
  echo quit >&8
  exec 8>&-
  wait "$target_pid" 2>/dev/null || true
  target_pid=
done
echo "seconds per run: $seconds; cpu/s: processor seconds per recorded second; +X: with the X server (and wineserver)"
echo "less their idle cost; load average at the end: $(cut -d' ' -f1-3 /proc/loadavg); cores: $(nproc)"
