#!/usr/bin/env bash
# Starts Vantor.exe from a fresh program folder under the Wine bench, closes it the way
# a user does (WM_CLOSE), and checks what it leaves: the first-run Config.ini byte for
# byte, the output folder in the current directory, and the window title for the
# configured language.
#   vantor_first_run.sh SOURCE_DIR VANTOR_EXE OSTREL_DLL LUMVEX_DLL
set -euo pipefail
src=$1 exe=$2 dll=$3 lumvex=$4
source "$src/tests/e2e/vantor_program.sh"
vantor_skip_unless_runnable "$exe"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prog=$work/prog
mkdir -p "$work/cwd"
vantor_program_folder "$prog" "$exe" "$dll" "$lumvex"
vantor_bench_env

# Runs the program until its window with the given title shows, then closes it.
run_and_close() {
  local title=$1 pid wid i
  (cd "$work/cwd" && exec "$bench" run "$prog/$(basename "$exe")") </dev/null >/dev/null 2>&1 &
  pid=$!
  wid=
  for i in $(seq 200); do
    wid=$(xdotool search --name "^$title\$" 2>/dev/null | head -n1 || true)
    [ -n "$wid" ] && break
    sleep 0.1
  done
  [ -n "$wid" ] || { kill $pid 2>/dev/null; fail "no window titled '$title' appeared"; }
  "$bench" run taskkill /im "$(basename "$exe")" >/dev/null 2>&1 || true
  for i in $(seq 200); do kill -0 $pid 2>/dev/null || break; sleep 0.1; done
  kill -0 $pid 2>/dev/null && { kill $pid; fail "the program did not end after WM_CLOSE"; }
  return 0
}

# First run: no Config.ini. The close fills in the language the list shows (the one
# start-up chose), and RecDevice says whether the audio page found capture devices (the
# bench's sound server gives some).
run_and_close "Vantor 1.0 Beta1"
cwd_win="Z:$(echo "$work/cwd" | tr / '\\')"
devices=0
pactl info >/dev/null 2>&1 && devices=1
printf '[System]\r\nLanguage="English"\r\nOutPut="%s\\output"\r\nWndTop=1\r\nFPS=1\r\nShowTime=1\r\n[Video]\r\nFrameRate=""\r\nZoom=1\r\n[Audio]\r\nUseRec=1\r\nRecWin7=0\r\nRecDevice=%s\r\n[HotKey]\r\nKeyRecord=117\r\nKeyPause=118\r\nKeyStop=119\r\n' "$cwd_win" "$devices" >"$work/expected.ini"
cmp "$work/expected.ini" "$prog/Config.ini" || { diff <(cat -A "$work/expected.ini") <(cat -A "$prog/Config.ini") >&2; fail "first-run Config.ini differs"; }
[ -d "$work/cwd/output" ] || fail "the output folder was not created in the current directory"

# The Chinese language name gives the Chinese title; hand-made changes to keys that are
# never read are overwritten, and values that are read survive the round trip.
sed -i 's/^Language="English"/Language="SimpChinese"/; s/^FPS=1/FPS=7/; s/^KeyPause=118/KeyPause=629/' "$prog/Config.ini"
run_and_close "Vantor-免费屏幕录像软件 1.0 Beta1"
grep -q $'^Language="SimpChinese"\r$' "$prog/Config.ini" || fail "language name lost"
grep -q $'^FPS=1\r$' "$prog/Config.ini" || fail "FPS not rewritten as 1"
grep -q $'^KeyPause=629\r$' "$prog/Config.ini" || fail "hotkey word lost"
echo "first run and Chinese title: ok"
