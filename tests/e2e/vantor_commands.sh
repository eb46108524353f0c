#!/usr/bin/env bash
# Drives the real Vantor.exe under the Wine bench the way a user does, through every
# route of the recording commands: the buttons (clicked at their places on the screen),
# the global hotkeys (keys pressed with xdotool), the tray icon's notifications and its
# menu. Checks what each leaves: the hook library's command bits in DirectX mode, the
# dialog hidden and shown, and in GDI mode the recordings themselves (ffprobe reads each
# file, and it lasts as long as the recording ran unpaused). Then the program's end
# during a recording, by WM_CLOSE and by taskkill: the file is finished either way.
#   vantor_commands.sh SOURCE_DIR VANTOR_EXE OSTREL_DLL LUMVEX_DLL PROBE_EXE FFPROBE
set -euo pipefail
src=$1 exe=$2 dll=$3 lumvex=$4 probe=$5 ffprobe=$6
source "$src/tests/e2e/vantor_program.sh"
vantor_skip_unless_runnable "$exe"

work=$(mktemp -d)
name=$(basename "$exe")
prog_pid=
hold_pid=
target_pid=
cleanup() {
  [ -n "$hold_pid" ] && kill "$hold_pid" 2>/dev/null
  [ -n "$target_pid" ] && kill "$target_pid" 2>/dev/null
  vantor_end_program "$prog_pid" "$name"
  rm -rf "$work"
}
trap cleanup EXIT
prog=$work/prog out=$work/out
mkdir -p "$work/cwd" "$out"
vantor_program_folder "$prog" "$exe" "$dll" "$lumvex" "$probe"
vantor_bench_env
title="Vantor 1.0 Beta1"
dllname=$(basename "$dll")

say() { echo "commands: $*"; }
winpath() { echo "Z:${1//\//\\}"; }
probe() { "$bench" run "$prog/$(basename "$probe")" "$@" | tr -d '\r'; }
visible() { [ -n "$(xdotool search --onlyvisible --name "^$title\$" 2>/dev/null | head -n1)" ]; }
shot() { [ -z "${VANTOR_E2E_SHOTS:-}" ] || import -window root "$VANTOR_E2E_SHOTS/commands-$1.png" || true; }

wait_for() { vantor_wait_for "$@"; }
hidden() { ! visible; }

write_config() {  # KEY_RECORD
  printf '[System]\r\nLanguage="English"\r\nOutPut="%s"\r\nWndTop=1\r\n[Video]\r\nFrameRate="5.0 fps"\r\n[Audio]\r\nUseRec=1\r\nRecWin7=0\r\n[HotKey]\r\nKeyRecord=%s\r\nKeyPause=118\r\nKeyStop=119\r\n' \
    "$(winpath "$out")" "$1" >"$prog/Config.ini"
}

start_program() {
  (cd "$work/cwd" && exec "$bench" run "$prog/$name") </dev/null >"$work/vantor.log" 2>&1 &
  prog_pid=$!
  wait_for visible || fail "no window titled '$title' appeared"
}

ended() { ! kill -0 "$prog_pid" 2>/dev/null; }
end_program() {  # how: close | taskkill
  if [ "$1" = close ]; then probe post "$title" 0x0010 0 0 >/dev/null; else "$bench" run taskkill /im "$name" >/dev/null 2>&1 || true; fi
  wait_for ended || fail "the program did not end after $1"
  prog_pid=
}

click() {  # ID
  local r
  r=$(probe rect "$title" "$1") || fail "no control $1"
  set -- $r
  xdotool mousemove $(( ($1 + $3) / 2 )) $(( ($2 + $4) / 2 )) click 1
}

flags() { probe flags "$title" "$dllname"; }
# GDI mode, as a user chooses it: the video page's GDI button (full screen stays on).
gdi_checked() { [ "$(probe state "$title" 1219 | cut -d' ' -f2)" = 1 ]; }
gdi_mode() { click 1219; wait_for gdi_checked || fail "the GDI button did not take the click"; }
tray() { probe post "$title" 1280 128 "$1" >/dev/null; }
show_dialog() { tray 0x0201; wait_for visible || fail "a left click on the tray icon did not bring the dialog back"; }

# The tray menu opens at the pointer, parked at 600,400 for it. Its rows are found from
# its height: three entries, the separator, one entry. Entries are clicked with the
# mouse: with the dialog hidden no window of the program holds the keyboard on a
# desktop without a window manager.
menu_height=
tray_menu_open() {
  local geometry i
  xdotool mousemove 600 400
  sleep 0.2
  tray 0x0204
  geometry=
  for i in $(seq 50); do
    geometry=$(for w in $(xdotool search --onlyvisible --name "" 2>/dev/null); do
                 xdotool getwindowgeometry "$w" 2>/dev/null | tr '\n' ' ' | grep -o 'Position: 600,400 .*Geometry: [0-9]*x[0-9]*' || true
               done | head -n1) || true
    [ -n "$geometry" ] && break
    sleep 0.1
  done
  [ -n "$geometry" ] || fail "the tray menu did not open"
  menu_height=${geometry##*x}
  sleep 0.3
}
row_y() { case $1 in 1) echo $(( 11 * menu_height / 83 )) ;; 2) echo $(( 28 * menu_height / 83 )) ;;
                     3) echo $(( 45 * menu_height / 83 )) ;; 4) echo $(( 71 * menu_height / 83 )) ;; esac; }
# The number of colours in the text area of row ROW: 1 for an entry without text.
row_colours() {
  import -window root -crop "60x10+$(( 600 + 8 ))+$(( 400 + $(row_y "$1") - 5 ))" "$work/row.png"
  convert "$work/row.png" -format %k info:
}
tray_menu_pick() {  # ROW: 1 Record, 2 Pause, 3 Stop, 4 Quit
  tray_menu_open
  shot "tray-menu-$1"
  xdotool mousemove 620 $(( 400 + $(row_y "$1") )) click 1
}

newest_file() { ls -t "$out"/*.avi 2>/dev/null | head -n1; }
finished() { [ "$(od -An -tu4 -j4 -N4 "$1" | tr -d ' ')" != 0 ]; }
files() { ls "$out"/*.avi 2>/dev/null | wc -l; }
file_count_is() { [ "$(files)" = "$1" ]; }

now() { date +%s.%N; }
# The seconds from mark $1 to mark $2 (times taken with now), less $3 seconds paused.
span() { awk -v a="$1" -v b="$2" -v p="${3:-0}" 'BEGIN { printf "%.2f", b - a - p }'; }

# The newest file plays for SECONDS (within half a second: keys, clicks and the bench's
# load move the command's moment a little) at the chosen 5 frames per second (few enough that a loaded machine keeps up with full-screen grabs).
expect_duration() {
  local file seconds=$1 d
  file=$(newest_file)
  [ -n "$file" ] || fail "no recording in the output folder"
  # Until the file is finished its head holds a RIFF size of 0.
  wait_for finished "$file" || fail "$(basename "$file") was never finished"
  d=$("$ffprobe" -v error -select_streams v:0 -show_entries stream=duration,avg_frame_rate -of csv=p=0 "$file")
  say "$(basename "$file"): $d (expected ${seconds}s)"
  awk -v d="${d#*,}" -v s="$seconds" 'BEGIN { exit !(d >= s - 0.5 && d <= s + 0.5) }' || fail "lasts ${d#*,} s, not $seconds s"
  # With sound from the audio page's device the rate is fitted to the sound's length:
  # near 5, not exactly 5.
  awk -v r="${d%%,*}" 'BEGIN { split(r, f, "/"); x = f[1] / (f[2] ? f[2] : 1); exit !(x >= 4.5 && x <= 5.5) }' ||
    fail "frame rate ${d%%,*}, not about 5"
}

# Keys reach Wine only through one of its windows holding the X keyboard focus; a
# desktop without a window manager gives none to a hidden dialog. A window of another
# program takes the keys, as any program in front would on Windows: the hotkeys must
# work from there.
"$bench" run "$prog/$(basename "$probe")" hold "Key target" >"$work/target.out" 2>&1 &
target_pid=$!
wait_for grep -q holding "$work/target.out" || fail "the key target did not start"
keys() {
  xdotool windowfocus --sync "$(xdotool search --onlyvisible --name '^Key target$' | head -n1)" 2>/dev/null || true
  xdotool key "$@"
}

# --- DirectX mode, the mode every start begins in ------------------------------------
write_config 117
start_program
[ "$(flags)" = 0 ] || fail "command bits set before any command"
click 1213
wait_for test "$(flags)" = 2 || fail "Record in DirectX mode: bits $(flags), not 2"
click 1008
wait_for test "$(flags)" = 6 || fail "Pause in DirectX mode: bits $(flags), not 6"
keys F6 F8
sleep 1
visible || fail "a hotkey in DirectX mode hid the dialog"
[ "$(flags)" = 6 ] || fail "a hotkey in DirectX mode changed the bits to $(flags)"
click 1006
wait_for test "$(flags)" = 14 || fail "Stop in DirectX mode: bits $(flags), not 14"
file_count_is 0 || fail "DirectX mode recorded a file"
say "DirectX mode: Record, Pause, Stop raise bits 2, 4, 8; hotkeys do nothing: ok"

# --- GDI mode: hotkeys ---------------------------------------------------------------
gdi_mode
t0=$(now); keys F6
wait_for hidden || fail "F6 did not hide the dialog"
wait_for file_count_is 1 || fail "F6 did not start a recording"
sleep 3
t1=$(now); keys F7
sleep 2
shot paused
t2=$(now); keys F7  # Pause again goes on
sleep 1
t3=$(now); keys F8
sleep 1
expect_duration "$(span "$t0" "$t3" "$(span "$t1" "$t2")")"
say "GDI mode: F6, F7, F7, F8: ok"

# --- the tray icon and its menu ------------------------------------------------------
show_dialog
t0=$(now); tray_menu_pick 1
wait_for file_count_is 2 || fail "the tray menu's first entry did not start a recording"
wait_for hidden || fail "Record from the tray menu left the dialog shown"
sleep 2
t1=$(now); tray_menu_pick 3
sleep 1
expect_duration "$(span "$t0" "$t1")"
say "tray: left click shows the dialog, the menu's Record and Stop: ok"

# --- the buttons ---------------------------------------------------------------------
show_dialog
t0=$(now); click 1213
wait_for file_count_is 3 || fail "the Record button did not start a recording"
wait_for hidden || fail "the Record button left the dialog shown"
sleep 2
show_dialog
t1=$(now); click 1008
sleep 1
click 1006
sleep 1
expect_duration "$(span "$t0" "$t1")"
say "buttons: Record, Pause, Stop: ok"

# --- the hide button, and Quit from the tray menu -------------------------------------
click 1074
wait_for hidden || fail "the hide button did not hide the dialog"
tray_menu_open
for row in 1 2 3 4; do [ "$(row_colours $row)" -gt 1 ] || fail "tray menu entry $row has no text"; done
xdotool mousemove 620 $(( 400 + $(row_y 4) )) click 1
wait_for ended || fail "Quit from the tray menu did not end the program"
prog_pid=
say "hide button; the tray menu's four texts and Quit: ok"

# --- a language file without "Quit": the entry is empty and still ends the program ----
grep -v '^Quit=' "$prog/Language/English.ini" >"$prog/Language/NoQuit.ini"
write_config 117
sed -i 's/^Language="English"/Language="NoQuit"/' "$prog/Config.ini"
start_program
tray_menu_open
[ "$(row_colours 1)" -gt 1 ] || fail "the Record entry lost its text"
[ "$(row_colours 4)" = 1 ] || fail "the Quit entry shows a text without a Quit key"
xdotool mousemove 620 $(( 400 + $(row_y 4) )) click 1
wait_for ended || fail "the empty Quit entry did not end the program"
prog_pid=
say "no Quit text: an empty entry that still quits: ok"

# --- a hotkey word from Config.ini: Ctrl+Alt+R records; F6 no longer does -------------
write_config 1618  # 0x0652
start_program
gdi_mode
keys F6
sleep 1
visible || fail "F6 recorded although Record is Ctrl+Alt+R"
t0=$(now); keys ctrl+alt+r
wait_for file_count_is 4 || fail "Ctrl+Alt+R did not start a recording"
sleep 2
t1=$(now); keys F8
sleep 1
expect_duration "$(span "$t0" "$t1")"
end_program close
say "Ctrl+Alt+R from Config.ini: ok"

# --- a combination another program holds: the buttons still work ----------------------
write_config 117
"$bench" run "$prog/$(basename "$probe")" hold "Holder" 117 >"$work/hold.out" 2>&1 &
hold_pid=$!
wait_for grep -q holding "$work/hold.out" || fail "the holder could not take F6"
start_program
gdi_mode
t0=$(now); click 1213
wait_for file_count_is 5 || fail "the Record button did not record while F6 is taken"
sleep 2
t1=$(now); keys F8
sleep 1
expect_duration "$(span "$t0" "$t1")"
end_program close
kill "$hold_pid" 2>/dev/null; hold_pid=
say "F6 held elsewhere: the buttons record: ok"

# --- the end of the program during a recording ----------------------------------------
for how in close taskkill; do
  n=$(( $(files) + 1 ))
  start_program
  gdi_mode
  t0=$(now); keys F6
  wait_for file_count_is $n || fail "F6 did not start the recording to end by $how"
  sleep 2
  t1=$(now); end_program $how
  expect_duration "$(span "$t0" "$t1")"
  say "the program ended by $how during a recording: the file is finished: ok"
done
grep -q "^KeyRecord=117" "$prog/Config.ini" || fail "Config.ini lost the hotkey"
