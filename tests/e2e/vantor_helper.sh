#!/usr/bin/env bash
# The 32-bit Vantor.exe on the bench's 64-bit Windows starts the real VantorX64.exe
# beside itself, hidden, from a program folder whose name has a space. Closing Vantor
# (WM_CLOSE) ends the helper with exit code 0; killing Vantor ends it too, because the
# helper sees its input pipe break.
#   vantor_helper.sh SOURCE_DIR VANTOR_EXE OSTREL_DLL HELPER_EXE OSTRELX64_DLL PROCESS_WATCH_EXE LUMVEX_DLL
set -euo pipefail
src=$1 exe=$2 dll=$3 helper=$4 helper_dll=$5 watch=$6 lumvex=$7
source "$src/tests/e2e/vantor_program.sh"
vantor_skip_unless_runnable "$exe"
[ -f "$helper" ] && [ -f "$helper_dll" ] || { echo "skipped: build the win64 preset first ($helper)"; exit 77; }

work=$(mktemp -d)
prog="$work/prog dir"
vantor_pid=
watch_pid=
cleanup() {
  [ -n "$vantor_pid" ] && kill "$vantor_pid" 2>/dev/null || true
  [ -n "$watch_pid" ] && kill "$watch_pid" 2>/dev/null || true
  "$bench" run taskkill /f /im VantorX64.exe >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT
vantor_program_folder "$prog" "$exe" "$dll" "$lumvex" "$helper" "$helper_dll"
mkdir -p "$work/cwd"
vantor_bench_env

# The watcher's lines end with CR LF, as a Windows program's text output does.
watched() { tr -d '\r' <"$work/watch.txt"; }

# Starts Vantor and a watcher of its helper; returns once the helper has been seen.
start_vantor() {
  : >"$work/watch.txt"
  "$bench" run "$watch" VantorX64.exe >"$work/watch.txt" 2>/dev/null </dev/null &
  watch_pid=$!
  (cd "$work/cwd" && exec "$bench" run "$prog/Vantor.exe") </dev/null >/dev/null 2>&1 &
  vantor_pid=$!
  local i
  for i in $(seq 300); do
    watched | grep -q '^visible-windows' && return 0
    kill -0 $vantor_pid 2>/dev/null || fail "Vantor ended by itself"
    sleep 0.1
  done
  fail "no VantorX64.exe appeared"
}

# Waits for the watcher to report the helper's end; prints its exit code.
helper_exit_code() {
  local i
  for i in $(seq 300); do
    if watched | grep -q '^exit '; then watched | sed -n 's/^exit //p'; return 0; fi
    sleep 0.1
  done
  fail "the helper did not end"
}

# 1. Closed the way a user closes it.
start_vantor
watched | grep -q '^visible-windows 0$' || fail "the helper shows a window: $(watched)"
# The host sees the helper under its Windows path, started from the folder with a space.
ps -eo args | grep -qF 'prog dir\VantorX64.exe' || fail "no VantorX64.exe among the host's processes"
echo "host: $(ps -eo pid,args | grep -F 'prog dir\VantorX64.exe' | grep -v grep)"
if [ -n "${VANTOR_E2E_SCREENSHOT:-}" ]; then import -window root "$VANTOR_E2E_SCREENSHOT" || true; fi
"$bench" run taskkill /im Vantor.exe >/dev/null 2>&1 || true
code=$(helper_exit_code)
[ "$code" = 0 ] || fail "after WM_CLOSE the helper ended with $code"
for i in $(seq 200); do kill -0 $vantor_pid 2>/dev/null || break; sleep 0.1; done
kill -0 $vantor_pid 2>/dev/null && fail "Vantor did not end after WM_CLOSE"
wait $watch_pid || true
echo "closed: the helper ended with exit code 0"

# 2. Killed: the helper is told nothing, its input pipe breaks.
start_vantor
"$bench" run taskkill /f /im Vantor.exe >/dev/null 2>&1 || true
code=$(helper_exit_code)
[ "$code" = 0 ] || fail "after Vantor was killed the helper ended with $code"
wait $watch_pid || true
echo "killed: the helper ended by itself with exit code 0"
