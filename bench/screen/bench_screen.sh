#!/usr/bin/env bash
# Screen recording speed: `VantorRec --source screen` under Wine next to
# `ffmpeg -f x11grab -c:v libxvid` recording the same area of the same Xvfb screen at the
# same rate, for 640x480, 1280x720 and the whole screen, at 30 and 60 frames per second;
# the 32-bit VantorRec (what users run) wherever 32-bit programs run, and the 64-bit one.
#
# Reported per run: grabs per second achieved (VantorRec: grabs over the capture loop's
# recording time; ffmpeg: frames encoded over the capture's length); processor seconds
# per recorded second of the recorder's own process (VantorRec: all its threads from
# Record to the closed file, as it measures itself; ffmpeg: the whole process); and the
# same with the X server's and (for Wine) the wineserver's processor time added, less
# what they spend while only the target runs. Ratios are VantorRec / ffmpeg, each
# against the ffmpeg run of the same row, made right before it.
#
# What is recorded: ScreenTarget filling the area with VantorRec's test pattern, redrawn
# 30 times a second, so that both encoders have the same moving picture.
#
# Then, per bitness and area, what one grab costs stage by stage (grab_stages).
#
# Writes REPORT_DIR/screen.tsv (one line per program and row), screen.txt (the table),
# screen-stages.txt and, with gnuplot, screen.png.
#
#   bench/screen/bench_screen.sh REPORT_DIR [SECONDS]
#   VANTOR_BENCH_BUILDS="DIR ..."  the Windows builds to measure (default: build/win32
#                                  where 32-bit programs run, and build/win64)
#   VANTOR_BENCH_GLIBC_TUNABLES=T  run VantorRec with GLIBC_TUNABLES=T instead of make
#                                  run's (tools/winebench malloc-tunables); empty: glibc's
#                                  defaults
set -euo pipefail
src=$(cd "$(dirname "$0")/../.." && pwd)
report=$1
seconds=${2:-8}
bench=$src/tools/winebench
bench_dir=${VANTOR_BENCH_DIR:-$src/build/winebench}
if [ -n "${VANTOR_BENCH_BUILDS:-}" ]; then
  read -r -a builds <<<"$VANTOR_BENCH_BUILDS"
else
  builds=()
  "$bench" can-run-32bit && builds+=("$src/build/win32")
  builds+=("$src/build/win64")
fi
for b in "${builds[@]}"; do
  for f in "$b/cli/VantorRec.exe" "$b/tests/recording/ScreenTarget.exe"; do
    [ -f "$f" ] || { echo "bench-screen: $f is missing (cmake --build $b --target VantorRec ScreenTarget grab_stages)" >&2; exit 1; }
  done
done
command -v ffmpeg >/dev/null && command -v xdotool >/dev/null || { echo "bench-screen: needs ffmpeg and xdotool" >&2; exit 1; }
# The program's bitness from its PE header: "32" or "64".
bits_of() { od -An -tx2 -j$(( $(od -An -tu4 -j60 -N4 "$1") + 4 )) -N2 "$1" | grep -q 8664 && echo 64 || echo 32; }

"$bench" start >/dev/null
eval "$("$bench" env)"
# The Wine programs run with the malloc settings make run starts them with.
rec_tunables=${VANTOR_BENCH_GLIBC_TUNABLES-$("$bench" malloc-tunables)}
read -r SW SH < <(xdotool getdisplaygeometry)
mkdir -p "$report"
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

tsv=$report/screen.tsv
table=$report/screen.txt
printf 'program\tarea\tfps\tgrabs_per_s\tcpu_per_s\tcpu_x_per_s\trate_ratio\tcpu_ratio\tcpu_x_ratio\n' >"$tsv"
{
  printf '%-10s %4s %-10s | %8s %9s %9s | %6s %7s %7s\n' "" "" "" "" "" "" "against ffmpeg" "" ""
  printf '%-10s %4s %-10s | %8s %9s %9s | %6s %7s %7s\n' area fps program grab/s cpu/s +X,ws/s rate cpu cpu+X
} | tee "$table"

# One row: ffmpeg first (the anchor), then each VantorRec.
for size in 640x480 1280x720 "${SW}x$SH"; do
  w=${size%x*} h=${size#*x}
  # The target's window: the pattern needs at least 416 x 96 pixels. Its standard
  # input stays open (it ends at end of input) until it is stopped.
  rm -f "$out/target.in" && mkfifo "$out/target.in"
  "$bench" run "${builds[-1]}/tests/recording/ScreenTarget.exe" --at 0,0 --size "$w,$h" --period 33 \
    --park "$((SW - 60)),$((SH - 60))" <"$out/target.in" >"$out/target.out" 2>/dev/null &
  target_pid=$!
  exec 8>"$out/target.in"
  for _ in $(seq 300); do grep -q '^ready' "$out/target.out" 2>/dev/null && break; sleep 0.1; done
  xdotool mousemove $((SW - 40)) $((SH - 40))
  # What the services cost with only the target drawing.
  s0=$(service_cpu); sleep "$seconds"; s1=$(service_cpu)
  idle=$(awk -v a="$s0" -v b="$s1" -v d="$seconds" 'BEGIN { print (b - a) / d }')
  for fps in 30 60; do
    s0=$(service_cpu)
    /usr/bin/time -f "%U %S" -o "$out/ff.time" env -u GLIBC_TUNABLES ffmpeg -nostdin -hide_banner -v error -f x11grab -framerate "$fps" \
      -video_size "${w}x$h" -i "$DISPLAY+0,0" -t "$seconds" -c:v libxvid -threads 1 -qscale:v 6 \
      -fps_mode passthrough -progress "$out/ff.progress" -y "$out/ff.avi"
    s1=$(service_cpu)
    frames=$(grep '^frame=' "$out/ff.progress" | tail -1 | cut -d= -f2)
    f_rate=$(awk -v n="$frames" -v d="$seconds" 'BEGIN { printf "%.2f", n / d }')
    f_cpu=$(awk -v d="$seconds" '{ printf "%.3f", ($1 + $2) / d }' "$out/ff.time")
    f_all=$(awk -v c="$f_cpu" -v a="$s0" -v b="$s1" -v i="$idle" -v d="$seconds" \
      'BEGIN { printf "%.3f", c + (b - a) / d - i }')
    printf 'ffmpeg\t%s\t%d\t%s\t%s\t%s\t1\t1\t1\n' "$size" "$fps" "$f_rate" "$f_cpu" "$f_all" >>"$tsv"
    printf '%-10s %4d %-10s | %8.2f %9.3f %9.3f |\n' "$size" "$fps" ffmpeg "$f_rate" "$f_cpu" "$f_all" | tee -a "$table"

    for b in "${builds[@]}"; do
      rec=$b/cli/VantorRec.exe
      name="vantor$(bits_of "$rec")"
      s0=$(service_cpu)
      GLIBC_TUNABLES=$rec_tunables "$bench" run "$rec" --source screen --rect "0,0,$((w - 1)),$((h - 1))" --fps "$fps" --duration "$seconds" \
        --out "$(to_wine "$out/rec")" --stats </dev/null >/dev/null 2>"$out/rec.err"
      s1=$(service_cpu)
      rate=$(field grab_rate <"$out/rec.err")
      loop=$(field loop_seconds <"$out/rec.err")
      cpu=$(field cpu_seconds <"$out/rec.err")
      [ -n "$rate" ] && [ -n "$loop" ] && [ -n "$cpu" ] ||
        { echo "bench-screen: $name did not record: $(grep -v '^wine:' "$out/rec.err" | head -3)" >&2; continue; }
      v_cpu=$(awk -v c="$cpu" -v l="$loop" 'BEGIN { printf "%.3f", c / l }')
      v_all=$(awk -v c="$cpu" -v l="$loop" -v a="$s0" -v b="$s1" -v i="$idle" \
        'BEGIN { printf "%.3f", (c + (b - a)) / l - i }')
      printf '%s\t%s\t%d\t%s\t%s\t%s\t%.3f\t%.3f\t%.3f\n' "$name" "$size" "$fps" "$rate" "$v_cpu" "$v_all" \
        "$(awk -v a="$rate" -v b="$f_rate" 'BEGIN { print a / b }')" \
        "$(awk -v a="$v_cpu" -v b="$f_cpu" 'BEGIN { print a / b }')" \
        "$(awk -v a="$v_all" -v b="$f_all" 'BEGIN { print a / b }')" >>"$tsv"
      awk -v s="$size" -v f="$fps" -v n="$name" -v vr="$rate" -v vc="$v_cpu" -v va="$v_all" -v fr="$f_rate" \
        -v fc="$f_cpu" -v fa="$f_all" \
        'BEGIN { printf "%-10s %4d %-10s | %8.2f %9.3f %9.3f | %6.2f %7.2f %7.2f\n",
                 s, f, n, vr, vc, va, vr / fr, vc / fc, va / fa }' | tee -a "$table"
    done
  done

  # Where one grab's time goes, with the same picture on the screen.
  for b in "${builds[@]}"; do
    stages=$b/bench/screen/grab_stages.exe
    [ -f "$stages" ] || continue
    for variant in "ddb" "dib24" "dib32" "dib32 --band 16" "cursor" "held"; do
      # shellcheck disable=SC2086 # the variant's words are its arguments
      echo "vantor$(bits_of "$stages") $(GLIBC_TUNABLES=$rec_tunables "$bench" run "$stages" --size "$size" --frames 60 --variant $variant 2>/dev/null | tr -d '\r')"
    done
  done >>"$out/stages.txt"

  echo quit >&8
  exec 8>&-
  wait "$target_pid" 2>/dev/null || true
  target_pid=
done
{
  echo "seconds per run: $seconds; cpu/s: processor seconds per recorded second; +X: with the X server (and"
  echo "wineserver) less their idle cost; load average at the end: $(cut -d' ' -f1-3 /proc/loadavg); cores: $(nproc)"
  echo "VantorRec ran with GLIBC_TUNABLES=${rec_tunables:-(none)}; ffmpeg with the defaults of glibc"
} | tee -a "$table"
{
  echo "One grab, stage by stage (milliseconds of wall time per grab; cpu_ms: the process's processor time):"
  cat "$out/stages.txt"
} | tee "$report/screen-stages.txt"

# The plot: grabs per second and processor time (with the X server's share) by row.
if command -v gnuplot >/dev/null; then
  awk -F'\t' 'NR > 1 { row = $2 "@" $3; if (!(row in seen)) { seen[row] = ++n; rows[n] = row }
                      v[row, $1] = $4; c[row, $1] = $6; if (!($1 in p)) { p[$1] = 1; progs[++m] = $1 } }
              END { printf "row"
                    for (j = 1; j <= m; j++) printf "\t%s_rate\t%s_cpu", progs[j], progs[j]; printf "\n"
                    for (i = 1; i <= n; i++) { printf "%s", rows[i]
                      for (j = 1; j <= m; j++) printf "\t%s\t%s", ((rows[i], progs[j]) in v ? v[rows[i], progs[j]] : "NaN"),
                                                             ((rows[i], progs[j]) in c ? c[rows[i], progs[j]] : "NaN")
                      printf "\n" } }' "$tsv" >"$report/screen-plot.tsv"
  ncols=$(head -1 "$report/screen-plot.tsv" | awk -F'\t' '{ print NF }')
  gnuplot <<EOF
set terminal pngcairo size 1100,800 font ",10" noenhanced
set output "$report/screen.png"
set datafile separator "\t"
set style data histograms
set style histogram clustered gap 1
set style fill solid 0.8 border -1
set key autotitle columnheader top left
set grid ytics
set xtics rotate by -20
set multiplot layout 2,1 title "Screen recording against ffmpeg x11grab + libxvid (load $(cut -d' ' -f1 /proc/loadavg), $(nproc) cores)"
set title "grabs per second"
set yrange [0:*]
plot for [i=2:$ncols:2] "$report/screen-plot.tsv" using i:xtic(1)
set title "processor seconds per recorded second, with the X server's and wineserver's share"
plot for [i=3:$ncols:2] "$report/screen-plot.tsv" using i:xtic(1)
unset multiplot
EOF
  echo "plot: $report/screen.png"
fi
