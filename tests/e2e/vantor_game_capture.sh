#!/usr/bin/env bash
# DirectX mode from end to end: the real 32-bit Vantor.exe on the bench's 64-bit Windows
# with the real VantorX64.exe beside it, stand-ins for games of both bitnesses and a
# stand-in for the shell (Wine runs none).
#   1. The target watch waits for a shell that appears late, or goes and comes back.
#   2. 32-bit Direct3D 9 and 11 games are probed and handed to Ostrel.dll in Vantor.
#   3. 64-bit games go to the helper as "pid" lines, one per window position, sent
#      again only when another process took that position; the helper hooks the game's
#      window in OstrelX64.dll with the DXGI offsets probed in 64 bits, and answers.
#   4. GDI mode pauses the watch, DirectX mode lets it go on; closing Vantor ends the
#      exchange with "quit".
# What the helper was sent comes from its trace (VANTOR_HELPER_TRACE); what the hook
# libraries hold comes from capture probes of each bitness reading sg_Dll. With
# VANTOR_E2E_KEEP set to a file name, the helper's trace is kept there.
#   vantor_game_capture.sh SOURCE_DIR VANTOR_EXE OSTREL_DLL LUMVEX_DLL HELPER_EXE OSTRELX64_DLL
#       VANTOR_PROBE CAPTURE_PROBE CAPTURE_PROBE64 D3D9_FIXTURE D3D11_FIXTURE D3D11_FIXTURE64
#       SHELL_FIXTURE
set -euo pipefail
src=$1 exe=$2 dll=$3 lumvex=$4 helper=$5 helper_dll=$6 vantor_probe=$7 probe32=$8 probe64=$9
d3d9_fixture=${10} d3d11_fixture=${11} d3d11_fixture64=${12} shell_fixture=${13}
source "$src/tests/e2e/vantor_program.sh"
vantor_skip_unless_runnable "$exe"
for f in "$helper" "$helper_dll"; do
  [ -f "$f" ] || { echo "skipped: build the win64 preset first ($f)"; exit 77; }
done

work=$(mktemp -d)
prog="$work/prog dir"
bin=$work/bin
declare -A job winpid
vantor_job=
cleanup() {
  local key
  [ -n "$vantor_job" ] && "$bench" run taskkill /f /im Vantor.exe >/dev/null 2>&1 || true
  for key in "${!winpid[@]}"; do "$bench" run taskkill /f /pid "${winpid[$key]}" >/dev/null 2>&1 || true; done
  for key in "${!job[@]}"; do kill "${job[$key]}" 2>/dev/null || true; done
  "$bench" run taskkill /f /im VantorX64.exe >/dev/null 2>&1 || true
  [ -n "${VANTOR_E2E_KEEP:-}" ] && cp "$trace" "$VANTOR_E2E_KEEP" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
vantor_program_folder "$prog" "$exe" "$dll" "$lumvex" "$helper" "$helper_dll" "$vantor_probe"
mkdir -p "$bin" "$work/cwd"
cp "$probe32" "$probe64" "$d3d9_fixture" "$d3d11_fixture" "$d3d11_fixture64" "$shell_fixture" "$bin/"
vantor_bench_env
winpath() { echo "Z:${1//\//\\}"; }
export VANTOR_HELPER_TRACE
VANTOR_HELPER_TRACE=$(winpath "$work/helper trace.txt")
trace=$work/helper\ trace.txt
title="Vantor 1.0 Beta1"
say() { echo "game capture: $*"; }

# Up to 60 s: every cycle makes throw-away Direct3D devices on a software renderer, on
# a machine shared with other work.
wait_long() {
  local i
  for i in $(seq 600); do "$@" && return 0; sleep 0.1; done
  return 1
}

# A stand-in started with the bench; it says "ready PID" once it presents frames.
start_program() {  # KEY FILE
  local key=$1 file=$2
  "$bench" run "$bin/$file" --seconds 600 >"$work/$key.out" 2>/dev/null </dev/null &
  job[$key]=$!
  vantor_wait_for grep -q '^ready ' "$work/$key.out" || fail "$file did not start: $(cat "$work/$key.out")"
  winpid[$key]=$(tr -d '\r' <"$work/$key.out" | sed -n 's/^ready //p')
}
stop_program() {  # KEY
  "$bench" run taskkill /f /pid "${winpid[$1]}" >/dev/null 2>&1 || true
  wait "${job[$1]}" 2>/dev/null || true
  unset "job[$1]" "winpid[$1]"
}
raise() { "$bench" run "$bin/$(basename "$probe32")" raise "${winpid[$1]}" || fail "cannot raise $1's window"; }

# What sg_Dll holds in Vantor (32-bit) and in the helper (64-bit).
vantor_record() { "$bench" run "$bin/$(basename "$probe32")" record Vantor.exe "$(winpath "$prog/Ostrel.dll")" | tr -d '\r'; }
helper_record() { "$bench" run "$bin/$(basename "$probe64")" record VantorX64.exe "$(winpath "$prog/OstrelX64.dll")" | tr -d '\r'; }
value() { sed -n "s/^$1 //p" <<<"$2"; }
# The process of the window Vantor last handed to its hook library (0: none since forgotten).
handed_pid() { value window-pid "$(vantor_record)"; }
handed_to() { [ "$(handed_pid)" = "${winpid[$1]}" ]; }
forget() { "$bench" run "$bin/$(basename "$probe32")" forget Vantor.exe "$(winpath "$prog/Ostrel.dll")" || fail "cannot reach Vantor's hook library"; }
handed_something() { [ "$(handed_pid)" != 0 ]; }

# Proves the watch has run a whole cycle since the call. A cycle hands over each 32-bit
# game once (two of them here): five hand-overs, each after it was forgotten, span three
# cycles, so the middle one ran entirely after the call.
whole_cycle() {
  local i
  for i in 1 2 3 4 5; do
    forget
    wait_long handed_something || fail "the target watch stopped handing games over"
  done
}

# The watch no longer hands anything over: a cycle under way when the change came may
# still finish, so forget until nothing comes back, then watch a few seconds more.
stays_idle() {
  local i
  for i in $(seq 10); do
    forget
    sleep 2
    if ! handed_something; then
      sleep 3
      handed_something && return 1
      return 0
    fi
  done
  return 1
}

# The lines the helper received and its answers.
traced() { tr -d '\r' <"$trace" 2>/dev/null || true; }
pid_lines() { traced | grep -ci "^< pid $1\$" || true; }
# The last two lines for the two 64-bit games, in order.
last_two_game_lines() { traced | grep -iE "^< pid (${winpid[g1]}|${winpid[g2]})\$" | tail -n 2 | sed 's/^< pid //I' | tr '\n' ' '; }

# The capture mode: the video page's DirectX (1218) and GDI (1219) buttons, pressed
# through the probe, as the games' windows may cover the dialog.
choose_mode() {  # gdi | directx
  local id=1218
  [ "$1" = gdi ] && id=1219
  "$bench" run "$prog/$(basename "$vantor_probe")" click "$title" "$id" >/dev/null || fail "no Vantor window or no button $id"
}

# 1. The shell appears late, goes, and comes back.
start_program d3d9 D3D9Fixture.exe
(cd "$work/cwd" && exec "$bench" run "$prog/Vantor.exe") </dev/null >/dev/null 2>&1 &
vantor_job=$!
vantor_wait_for eval 'traced | grep -qx "< begin"' || fail "the helper was not started or not sent begin: $(traced)"
wait_long eval 'vantor_record >/dev/null' || fail "cannot read Vantor's hook library"
sleep 3
[ "$(handed_pid)" = 0 ] || fail "a game was handed over while there was no shell"
start_program shell ShellFixture.exe
wait_long handed_to d3d9 || fail "the watch did not take up a shell that appeared late"
say "a shell that appeared late: the Direct3D 9 game was handed over"
stop_program shell
stays_idle || fail "games were still handed over with the shell gone"
start_program shell ShellFixture.exe
wait_long handed_to d3d9 || fail "the watch did not come back with the shell"
say "the shell went and came back: the watch went on"

# 2. A 32-bit Direct3D 11 game as well. Each cycle hands over both, the lower one in the
# Z order last: raising one after the other shows each was handed over.
start_program d3d11 D3D11Fixture.exe
raise d3d9
wait_long handed_to d3d11 || fail "the Direct3D 11 game was not handed over"
raise d3d11
wait_long handed_to d3d9 || fail "the Direct3D 9 game was not handed over after the other"
record=$(vantor_record)
for name in d3d9-present d3d9-reset d3d9-swapchain-present; do
  v=$(value "$name" "$record")
  [ "$v" -gt 0 ] && [ "$v" -lt "$(value d3d9-size "$record")" ] || fail "Vantor's $name is $v: $record"
done
for name in dxgi-present dxgi-resize-buffers; do
  v=$(value "$name" "$record")
  [ "$v" -gt 0 ] && [ "$v" -lt "$(value dxgi-size "$record")" ] || fail "Vantor's $name is $v: $record"
done
say "32-bit: both games handed to Ostrel.dll, offsets inside d3d9.dll and dxgi.dll"

# 3. 64-bit games, which the 32-bit program cannot look into.
start_program g1 D3D11Fixture64.exe
wait_long eval '[ "$(pid_lines "${winpid[g1]}")" -ge 1 ]' || fail "no pid line for the 64-bit game: $(traced)"
start_program g2 D3D11Fixture64.exe
wait_long eval '[ "$(pid_lines "${winpid[g2]}")" -ge 1 ]' || fail "no pid line for the second 64-bit game: $(traced)"
whole_cycle
n1=$(pid_lines "${winpid[g1]}") n2=$(pid_lines "${winpid[g2]}")
# The newcomer took one position, which was sent once; the first game moved down one
# position when it came, so it may have been sent again for its new one.
[ "$n2" = 1 ] || fail "the second game was sent $n2 times: $(traced)"
whole_cycle
[ "$(pid_lines "${winpid[g1]}")" = "$n1" ] && [ "$(pid_lines "${winpid[g2]}")" = 1 ] ||
  fail "unchanged positions were sent again: $(traced)"
say "64-bit: one pid line per position, not one per cycle"
# The two swap positions: each position now carries another process and is sent again,
# once.
raise g1
wait_long eval '[ "$(pid_lines "${winpid[g1]}")" = $((n1 + 1)) ] && [ "$(pid_lines "${winpid[g2]}")" = 2 ]' ||
  fail "swapped positions were not sent again: $(traced)"
whole_cycle
[ "$(pid_lines "${winpid[g1]}")" = $((n1 + 1)) ] && [ "$(pid_lines "${winpid[g2]}")" = 2 ] ||
  fail "swapped positions were sent more than once: $(traced)"
[ "$(last_two_game_lines)" = "${winpid[g1]} ${winpid[g2]} " ] || fail "not in window order: $(last_two_game_lines)"
raise g2
wait_long eval '[ "$(pid_lines "${winpid[g1]}")" = $((n1 + 2)) ] && [ "$(pid_lines "${winpid[g2]}")" = 3 ]' ||
  fail "positions swapped back were not sent again: $(traced)"
whole_cycle
[ "$(pid_lines "${winpid[g1]}")" = $((n1 + 2)) ] && [ "$(pid_lines "${winpid[g2]}")" = 3 ] ||
  fail "positions swapped back were sent more than once: $(traced)"
[ "$(last_two_game_lines)" = "${winpid[g2]} ${winpid[g1]} " ] || fail "not in window order: $(last_two_game_lines)"
say "64-bit: a position is sent again only after another process was sent there"

# The helper hooked the last game it was sent, with DXGI offsets probed in 64 bits.
record=$(helper_record)
[ "$(value window-pid "$record")" = "${winpid[g1]}" ] || fail "the helper's hook library holds another window: $record"
[ "$(value master-pid "$record")" = "${winpid[g1]}" ] || fail "the helper's hook library names another process: $record"
for name in dxgi-present dxgi-resize-buffers; do
  v=$(value "$name" "$record")
  [ "$v" -gt 0 ] && [ "$v" -lt "$(value dxgi-size "$record")" ] || fail "the helper's $name is $v: $record"
done
# Every process it acted on (a pid other than the one before) was answered "hookok".
traced | awk '
  /^< pid / { pid = $3 + 0; want = 0; if (pid == 0) next; if (pid != last) { acted++; want = 1 } last = pid; next }
  /^> hookok$/ { if (!want) { print "hookok without a hook: " NR; bad = 1 } want = 0; answered++; next }
  { want = 0 }
  END { if (acted != answered || bad) { print "acted on " acted ", answered " answered; exit 1 } }' ||
  fail "the helper's answers do not match: $(traced)"
say "the helper hooked the 64-bit game's window with its DXGI offsets and answered hookok"

# 4. GDI mode pauses the watch (twice is once), DirectX mode lets it go on.
choose_mode gdi
choose_mode gdi
lines=$(traced | wc -l)
stays_idle || fail "games were still handed over in GDI mode"
[ "$(traced | wc -l)" = "$lines" ] || fail "lines were sent to the helper in GDI mode: $(traced)"
choose_mode directx
wait_long handed_something || fail "DirectX mode did not let the watch go on"
say "GDI mode paused the watch, DirectX mode let it go on"

# Closing Vantor: the helper is told to quit, last.
"$bench" run taskkill /im Vantor.exe >/dev/null 2>&1 || true
wait_long eval '! kill -0 "$vantor_job" 2>/dev/null' || fail "Vantor did not end"
vantor_job=
wait_long eval '[ "$(traced | tail -n 1)" = "< quit" ]' || fail "the helper's last line was not quit: $(traced | tail -n 3)"
say "closed: the helper's last line was quit"
