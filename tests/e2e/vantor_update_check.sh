#!/usr/bin/env bash
# Starts Vantor.exe under the Wine bench with the system's HTTP proxy (http_proxy, which
# Wine's WinINet takes as the system setting) pointing at a local stand-in for the web
# server, and checks what the start-up update check does: one GET of the version file,
# the question box for a newer version (English or Chinese) answered with the keyboard,
# none for the current one, and a server that never answers costing only the bounded
# time-out before the main window shows.
#   vantor_update_check.sh SOURCE_DIR VANTOR_EXE OSTREL_DLL LUMVEX_DLL
set -euo pipefail
src=$1 exe=$2 dll=$3 lumvex=$4
source "$src/tests/e2e/vantor_program.sh"
vantor_skip_unless_runnable "$exe"

work=$(mktemp -d)
server_pid=
prog_pid=
name=$(basename "$exe")
cleanup() {
  vantor_end_program "$prog_pid" "$name"
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
prog=$work/prog
mkdir -p "$work/cwd"
vantor_program_folder "$prog" "$exe" "$dll" "$lumvex"
vantor_bench_env

# Starts the stand-in server: MODE BODY.
start_server() {
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null
  : >"$work/requests"
  rm -f "$work/port"
  python3 "$src/tests/e2e/version_server.py" "$1" "$2" "$work/requests" >"$work/port" 2>/dev/null &
  server_pid=$!
  for _ in $(seq 100); do [ -s "$work/port" ] && break; sleep 0.05; done
  [ -s "$work/port" ] || fail "the stand-in server did not start"
  export http_proxy=http://127.0.0.1:$(head -n1 "$work/port")
}

# Visible windows only: the main window exists, hidden, while the check runs.
# With VANTOR_E2E_SHOTS set to a folder, a picture of the screen goes there: shot NAME.
shot() {
  if [ -n "${VANTOR_E2E_SHOTS:-}" ]; then sleep 0.5; import -window root "$VANTOR_E2E_SHOTS/update-$1-$(date +%s%N).png" || true; fi
}

find_window() { xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n1 || true; }

# Waits up to 30 s for a window titled $1; prints its id.
wait_window() {
  local wid i
  for i in $(seq 300); do
    wid=$(find_window "$1")
    [ -n "$wid" ] && { echo "$wid"; return 0; }
    sleep 0.1
  done
  return 1
}

start_program() {
  (cd "$work/cwd" && exec "$bench" run "$prog/$name") </dev/null >/dev/null 2>&1 &
  prog_pid=$!
}

close_program() {
  "$bench" run taskkill /im "$name" >/dev/null 2>&1 || true
  for _ in $(seq 200); do kill -0 "$prog_pid" 2>/dev/null || break; sleep 0.1; done
  kill -0 "$prog_pid" 2>/dev/null && { kill "$prog_pid"; fail "the program did not end"; }
  return 0
}

expect_one_request() {
  local n
  n=$(wc -l <"$work/requests")
  [ "$n" = 1 ] || fail "$n requests instead of one: $(cat "$work/requests")"
  grep -Eq '^GET http://[^/]+/version/version\.t HTTP/1\.1$' "$work/requests" ||
    fail "unexpected request: $(cat "$work/requests")"
}

# Answers the question box titled $1 with Enter (No is its default button) and checks
# that the main window titled $2 follows.
answer_no() {
  local box=$1 main=$2 wid
  wid=$(wait_window "$box") || fail "no question box '$box' appeared"
  [ -z "$(find_window "$main")" ] || fail "the main window showed before the question was answered"
  shot question
  xdotool windowfocus --sync "$wid" 2>/dev/null || true
  sleep 0.3
  xdotool key Return
  wait_window "$main" >/dev/null || fail "no main window after the question"
  for _ in $(seq 50); do [ -z "$(find_window "$box")" ] && return 0; sleep 0.1; done
  fail "the question box is still there"
}

# A newer version, English (first run: no language name yet).
start_server answer 2
start_program
answer_no "New version is available" "Vantor 1.0 Beta1"
shot main-first-run
close_program
expect_one_request
echo "version 2: English question, answered No: ok"

# The current version: no question.
start_server answer 1
t0=$(date +%s%N)
start_program
wait_window "Vantor 1.0 Beta1" >/dev/null || fail "no main window"
t_current=$(( ($(date +%s%N) - t0) / 1000000 ))
[ -z "$(find_window "New version is available")" ] || fail "a question for version 1"
shot main
close_program
expect_one_request
echo "version 1: no question: ok (${t_current} ms to the main window)"

# A server that takes the request and never answers: the main window follows after the
# bounded wait (4 s; a repeated request at most doubles it).
start_server silent ""
t0=$(date +%s%N)
start_program
wait_window "Vantor 1.0 Beta1" >/dev/null || fail "no main window while the server is silent"
t_silent=$(( ($(date +%s%N) - t0) / 1000000 ))
close_program
[ -s "$work/requests" ] || fail "the request did not reach the silent server"
delay=$(( t_silent - t_current ))
[ "$delay" -ge 3000 ] || fail "the silent server cost only ${delay} ms: was it asked?"
[ "$delay" -le 12000 ] || fail "the silent server held the start for ${delay} ms"
echo "silent server: main window ${delay} ms later: ok"

# The Chinese language name asks in Chinese, under the Chinese title.
sed -i 's/^Language="[^"]*"/Language="SimpChinese"/' "$prog/Config.ini"
grep -q '^Language="SimpChinese"' "$prog/Config.ini" || fail "Config.ini has no language line to change"
start_server answer 10
start_program
answer_no "更新提醒" "Vantor-免费屏幕录像软件 1.0 Beta1"
close_program
expect_one_request
echo "version 10: Chinese question: ok"
