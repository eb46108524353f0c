#!/usr/bin/env bash
# The audio page of the real Vantor.exe under the Wine bench, with tones playing into
# both null sinks: the device list holds "Default input device" and every capture
# device (one of them, "AuxLineB", sorts above the default row and hears sink B), and a
# GDI recording made after choosing a row has the sound of that row's device: its own
# sink's tone and not the other's. Then the loopback check box: it disables the list,
# and Config.ini records the choice at once.
#   vantor_audio_page.sh SOURCE_DIR VANTOR_EXE OSTREL_DLL LUMVEX_DLL PROBE_EXE FFMPEG FFPROBE
set -euo pipefail
src=$1 exe=$2 dll=$3 lumvex=$4 probe_exe=$5 ffmpeg=$6 ffprobe=$7
source "$src/tests/e2e/vantor_program.sh"
vantor_skip_unless_runnable "$exe"

work=$(mktemp -d)
name=$(basename "$exe")
title="Vantor 1.0 Beta1"
prog=$work/prog out=$work/out
prog_pid=
say() { echo "audio page: $*"; }
bad() { fail "$@"; }

vantor_bench_env
pactl info >/dev/null 2>&1 || { echo "skipped: no sound server on the bench"; exit 77; }
source "$src/tests/e2e/sound_lib.sh"
cleanup() {
  stop_players
  vantor_end_program "$prog_pid" "$name"
  rm -rf "$work"
}
trap cleanup EXIT
pactl list short sources | grep -q vantor_aux_b || fail "the bench has no source AuxLineB (tools/winebench start adds it)"

mkdir -p "$out" "$work/cwd"
vantor_program_folder "$prog" "$exe" "$dll" "$lumvex" "$probe_exe"
probe() { "$bench" run "$prog/$(basename "$probe_exe")" "$@" | tr -d '\r'; }
config_has() { tr -d '\r' <"$prog/Config.ini" | grep -qx "$1"; }
files() { ls "$out"/*.avi 2>/dev/null | wc -l; }
file_count_is() { [ "$(files)" = "$1" ]; }
finished() { [ "$(od -An -tu4 -j4 -N4 "$1" | tr -d ' ')" != 0 ]; }
visible() { [ -n "$(xdotool search --onlyvisible --name "^$title\$" 2>/dev/null | head -n1)" ]; }

# GDI mode: the program records by itself. (Until the video page's mode buttons exist,
# a test-only message chooses it.)
# The video page's GDI button, pressed through the probe (the page may be hidden).
choose_gdi_mode() {
  probe click "$title" 278/1219 >/dev/null || fail "no GDI button"
  vantor_wait_for eval '[ "$(probe state "$title" 278/1219 | cut -d" " -f2)" = 1 ]' || fail "GDI mode was not chosen"
}

# Chooses ROW on the audio page, records four seconds and prints the file's path.
record_from() {
  local row=$1 n file
  probe choose "$title" 279/1052 "$row" || fail "no row '$row' in the device list"
  n=$(( $(files) + 1 ))
  probe post "$title" 0x0111 1213 0 >/dev/null
  vantor_wait_for file_count_is $n || fail "Record did not start a recording after choosing '$row'"
  sleep 4
  probe post "$title" 0x0111 1006 0 >/dev/null
  file=$(ls -t "$out"/*.avi | head -n1)
  vantor_wait_for finished "$file" || fail "$(basename "$file") was never finished"
  echo "$file"
}

printf '[System]\r\nLanguage="English"\r\nOutPut="%s"\r\nWndTop=1\r\n[Video]\r\nFrameRate="5.0 fps"\r\n[Audio]\r\nRecWin7=0\r\n' \
  "$(winpath "$out")" >"$prog/Config.ini"
(cd "$work/cwd" && exec "$bench" run "$prog/$name") </dev/null >"$work/vantor.log" 2>&1 &
prog_pid=$!
vantor_wait_for visible || fail "no window titled '$title' appeared"

# --- the list --------------------------------------------------------------------------
probe rows "$title" 279/1052 >"$work/rows.txt"
say "device rows: $(tr '\n' ';' <"$work/rows.txt")"
[ "$(head -n1 "$work/rows.txt")" = AuxLineB ] || fail "AuxLineB is not the first row"
[ "$(sed -n 2p "$work/rows.txt")" = "Default input device" ] || fail "'Default input device' is not the second row"
for row in "Monitor of VantorSinkA" "Monitor of VantorSinkB"; do
  grep -qxF "$row" "$work/rows.txt" || fail "no row '$row'"
done
[ "$(probe selected "$title" 279/1052)" = "Default input device" ] || fail "the default row is not selected at start"
[ "$(probe state "$title" 279/1052)" = "checked 0 enabled 1 visible 0" ] ||
  fail "the device list with devices and without loopback: $(probe state "$title" 279/1052)"
config_has "RecDevice=1" || fail "Config.ini does not say a capture device is present"
say "the list: AuxLineB first, then the default row, both monitors; enabled: ok"

# --- each row records its own device --------------------------------------------------
play vantor_sink_a 1000
play vantor_sink_b 1500
choose_gdi_mode
a=$(record_from "Monitor of VantorSinkA")
b=$(record_from "Monitor of VantorSinkB")
aux=$(record_from AuxLineB)
default=$(record_from "Default input device")
for f in "$a" "$b" "$aux" "$default"; do check_streams "$f" mpeg4 pcm_u8 5; done
check_tone "$a" 1000 1500
check_tone "$b" 1500 1000
check_tone "$aux" 1500 1000
# The default source is sink A's monitor; the device chosen before was sink B's.
check_tone "$default" 1000 1500
stop_players
say "sink A's row, sink B's row, AuxLineB above the default row, and the default row: each its own tone: ok"

# --- the loopback check box ------------------------------------------------------------
probe post "$title" 1280 128 0x0201 >/dev/null  # the tray icon's click shows the dialog
vantor_wait_for visible || fail "the dialog did not come back"
click() {  # PATH
  local r
  r=$(probe rect "$title" "$1") || fail "no control $1"
  set -- $r
  xdotool mousemove $(( ($1 + $3) / 2 )) $(( ($2 + $4) / 2 )) click 1
}
tab=$(probe tab "$title" 4001 1) || fail "no audio tab"
set -- $tab
xdotool mousemove $(( ($1 + $3) / 2 )) $(( ($2 + $4) / 2 )) click 1
vantor_wait_for test "$(probe state "$title" 279/1015 | cut -d' ' -f6)" = 1 || fail "the audio tab did not show its page"
state=$(probe state "$title" 279/1015)
if [ "$state" = "checked 0 enabled 0 visible 1" ]; then
  say "before Windows 7: the loopback box is unchecked and disabled: ok"
else
  [ "$state" = "checked 0 enabled 1 visible 1" ] || fail "the loopback box at start: $state"
  click 279/1015
  vantor_wait_for config_has "RecWin7=1" || fail "checking loopback did not save RecWin7=1"
  [ "$(probe state "$title" 279/1015 | cut -d' ' -f2)" = 1 ] || fail "the loopback box did not check"
  [ "$(probe state "$title" 279/1052 | cut -d' ' -f4)" = 0 ] || fail "the device list stays enabled with loopback"
  click 279/1015
  vantor_wait_for config_has "RecWin7=0" || fail "unchecking loopback did not save RecWin7=0"
  [ "$(probe state "$title" 279/1052 | cut -d' ' -f4)" = 1 ] || fail "the device list stays disabled without loopback"
  say "loopback: checked disables the list and saves RecWin7=1; unchecked enables it and saves 0: ok"
fi

probe post "$title" 0x0010 0 0 >/dev/null
vantor_wait_for bash -c "! kill -0 $prog_pid 2>/dev/null" || fail "the program did not end after WM_CLOSE"
prog_pid=
config_has "RecWin7=0" || fail "closing saved another loopback choice"
