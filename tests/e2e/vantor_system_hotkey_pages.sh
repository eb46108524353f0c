#!/usr/bin/env bash
# The system and hotkey pages of the real Vantor.exe under the Wine bench, one start:
#  - always on top: the check box shows WndTop and changes the window's topmost state
#    at once, without saving;
#  - the language list: the titles of the files of Language/ (not its folders), the
#    language in use selected; choosing another row shows the restart message, once per
#    change away from the language in use, none for a return to it; the choice is saved
#    when the program closes, also by taskkill after the list was dropped open; with no
#    file for the language in use nothing is selected and any choice asks for a restart;
#  - a hotkey typed into the hotkey page is saved at once and records, the old one no
#    longer does.
# Config.ini's bytes are the judge of what is saved.
#   vantor_system_hotkey_pages.sh SOURCE_DIR VANTOR_EXE OSTREL_DLL LUMVEX_DLL PROBE_EXE FFPROBE
set -euo pipefail
src=$1 exe=$2 dll=$3 lumvex=$4 probe_exe=$5 ffprobe=$6
source "$src/tests/e2e/vantor_program.sh"
vantor_skip_unless_runnable "$exe"

work=$(mktemp -d)
name=$(basename "$exe")
title="Vantor 1.0 Beta1"
# The restart message's caption: the program's name.
box="${name%.*}"
prog=$work/prog out=$work/out
prog_pid= target_pid=
say() { echo "system and hotkey pages: $*"; }
cleanup() {
  [ -n "$target_pid" ] && kill "$target_pid" 2>/dev/null
  vantor_end_program "$prog_pid" "$name"
  rm -rf "$work"
}
trap cleanup EXIT
vantor_bench_env

mkdir -p "$out" "$work/cwd"
vantor_program_folder "$prog" "$exe" "$dll" "$lumvex" "$probe_exe"
# Beside the shipped languages: a file of another kind (a title all the same) and two
# folders, one named like a language file.
echo "[String]" >"$prog/Language/Aardvark.txt"
mkdir -p "$prog/Language/Skins" "$prog/Language/Folder.ini"

probe() { "$bench" run "$prog/$(basename "$probe_exe")" "$@" | tr -d '\r'; }
config_has() { tr -d '\r' <"$prog/Config.ini" | grep -qxF "$1"; }
visible() { [ -n "$(xdotool search --onlyvisible --name "^$title\$" 2>/dev/null | head -n1)" ]; }
files() { ls "$out"/*.avi 2>/dev/null | wc -l; }
file_count_is() { [ "$(files)" = "$1" ]; }
finished() { [ "$(od -An -tu4 -j4 -N4 "$1" | tr -d ' ')" != 0 ]; }
topmost_is() { [ "$(probe topmost "$title")" = "$1" ]; }
box_shown() { probe shown "$box" >/dev/null; }
box_gone() { ! box_shown; }
ended() { ! kill -0 "$prog_pid" 2>/dev/null; }
winpath() { echo "Z:${1//\//\\}"; }

# GDI mode: the program records by itself. (Until the video page's mode buttons exist,
# a test-only message chooses it.)
# The video page's GDI button, pressed through the probe (the page may be hidden).
choose_gdi_mode() {
  probe click "$title" 278/1219 >/dev/null || fail "no GDI button"
  vantor_wait_for eval '[ "$(probe state "$title" 278/1219 | cut -d" " -f2)" = 1 ]' || fail "GDI mode was not chosen"
}

click_at() {  # left top right bottom
  xdotool mousemove $(( ($1 + $3) / 2 )) $(( ($2 + $4) / 2 )) click 1
}
click() {  # PATH
  local r
  r=$(probe rect "$title" "$1") || fail "no control $1"
  click_at $r
}
show_tab() {  # INDEX PAGE
  local r
  r=$(probe tab "$title" 4001 "$1") || fail "no tab $1"
  click_at $r
  vantor_wait_for test "$(probe state "$title" "$2" | cut -d' ' -f6)" = 1 || fail "tab $1 did not show page $2"
}

# Chooses a language row; says whether the restart message came, and closes it.
messages=0
choose_language() {  # ROW yes|no
  probe choose "$title" 280/1052 "$1" || fail "no language row '$1'"
  if [ "$2" = yes ]; then
    vantor_wait_for box_shown || fail "choosing '$1' showed no restart message"
    probe texts "$box" >"$work/box.txt"
    grep -qF "The new language takes effect the next time Vantor starts." "$work/box.txt" ||
      fail "the message box does not show the restart text: $(tr '\n' '|' <"$work/box.txt")"
    # "\n" in the text is a line break.
    grep -qxF "Please restart Vantor." "$work/box.txt" || fail "the restart text is not on two lines"
    probe post "$box" 0x0111 1 0 >/dev/null  # OK
    vantor_wait_for box_gone || fail "the restart message did not close on OK"
    messages=$(( messages + 1 ))
  else
    sleep 1.5
    box_shown && fail "choosing '$1' showed the restart message"
  fi
  return 0
}

printf '[System]\r\nLanguage="English"\r\nOutPut="%s"\r\nWndTop=1\r\n[Video]\r\nFrameRate="5.0 fps"\r\n[Audio]\r\nRecWin7=0\r\n[HotKey]\r\nKeyRecord=117\r\nKeyPause=118\r\nKeyStop=119\r\n' \
  "$(winpath "$out")" >"$prog/Config.ini"
# Keys reach Wine through one of its windows holding the X keyboard focus: the hotkeys
# are pressed in another program's window, as on a desktop where that program is in
# front.
"$bench" run "$prog/$(basename "$probe_exe")" hold "Key target" >"$work/target.out" 2>&1 &
target_pid=$!
vantor_wait_for grep -q holding "$work/target.out" || fail "the key target did not start"
(cd "$work/cwd" && exec "$bench" run "$prog/$name") </dev/null >"$work/vantor.log" 2>&1 &
prog_pid=$!
vantor_wait_for visible || fail "no window titled '$title' appeared"

# --- always on top -------------------------------------------------------------------
topmost_is 1 || fail "WndTop=1 but the window is not topmost"
show_tab 3 280
[ "$(probe state "$title" 280/1202 | cut -d' ' -f2)" = 1 ] || fail "the always-on-top box is not checked with WndTop=1"
click 280/1202
vantor_wait_for topmost_is 0 || fail "unchecking always on top left the window topmost"
config_has "WndTop=1" || fail "always on top was saved at once; it waits for the next apply"
click 280/1202
vantor_wait_for topmost_is 1 || fail "checking always on top did not make the window topmost"
click 280/1202
vantor_wait_for topmost_is 0 || fail "unchecking always on top again left the window topmost"
say "always on top: the window's state follows the box at once: ok"

# --- the language list -----------------------------------------------------------------
probe rows "$title" 280/1052 >"$work/languages.txt"
printf 'Aardvark\nEnglish\nSimpChinese\n' | cmp -s - "$work/languages.txt" ||
  fail "language rows: $(tr '\n' ';' <"$work/languages.txt"), wanted Aardvark;English;SimpChinese"
[ "$(probe selected "$title" 280/1052)" = English ] || fail "the language in use is not selected"
choose_language SimpChinese yes
choose_language English no
choose_language Aardvark yes
choose_language SimpChinese yes
[ $messages = 3 ] || fail "$messages restart messages, wanted 3"
config_has 'Language="English"' || fail "the language was saved before an apply"
say "languages: the files' titles, no folders, English selected; a restart message per change away from it: ok"

# --- a hotkey entered on the hotkey page -------------------------------------------------
show_tab 2 284
for pair in 1207:117 1208:118 1209:119; do
  [ "$(probe hotkey "$title" "284/${pair%%:*}")" = "${pair#*:}" ] || fail "hotkey control ${pair%%:*} does not show ${pair#*:}"
done
choose_gdi_mode
xdotool windowfocus --sync "$(xdotool search --onlyvisible --name "^$title\$" | head -n1)" 2>/dev/null || true
click 284/1207
sleep 0.3
xdotool key ctrl+alt+r
vantor_wait_for test "$(probe hotkey "$title" 284/1207)" = 1618 || fail "the Record control shows $(probe hotkey "$title" 284/1207), not Ctrl+Alt+R (1618)"
vantor_wait_for config_has "KeyRecord=1618" || fail "the new hotkey was not saved at once"
# Every apply takes the whole page's state: the language chosen above is saved with it.
config_has 'Language="SimpChinese"' || fail "the apply did not take the language list's text"

keys() {
  xdotool windowfocus --sync "$(xdotool search --onlyvisible --name '^Key target$' | head -n1)" 2>/dev/null || true
  xdotool key "$@"
}
keys F6
sleep 1.5
file_count_is 0 || fail "F6 still records after Record became Ctrl+Alt+R"
visible || fail "F6 still hides the dialog after Record became Ctrl+Alt+R"
keys ctrl+alt+r
vantor_wait_for file_count_is 1 || fail "Ctrl+Alt+R did not start a recording"
sleep 2
keys F8
file=$(ls "$out"/*.avi)
vantor_wait_for finished "$file" || fail "the recording Ctrl+Alt+R started was never finished"
"$ffprobe" -v error -select_streams v:0 -show_entries stream=codec_name -of csv=p=0 "$file" | grep -qx mpeg4 ||
  fail "ffprobe cannot read the recording"
say "hotkey page: Ctrl+Alt+R saved at once, it records and F6 no longer does: ok"

# --- closing saves every choice -------------------------------------------------------
# The language list dropped open and closed again by the mouse: its drop-down part is
# then a top-level window in front, and taskkill's WM_CLOSE reaches (and destroys) it
# before the dialog's own; the language must be saved all the same.
probe post "$title" 1280 128 0x0201 >/dev/null  # the tray icon's click shows the dialog again
vantor_wait_for visible || fail "the dialog did not come back"
show_tab 3 280
click 280/1052
sleep 0.5
click 280/1052
sleep 0.5
box_shown && fail "dropping the language list open showed the restart message"
"$bench" run taskkill /im "$name" >/dev/null 2>&1 || true
vantor_wait_for ended || fail "the program did not end after taskkill"
prog_pid=
for line in 'Language="SimpChinese"' "WndTop=0" "KeyRecord=1618" "KeyPause=118" "KeyStop=119"; do
  config_has "$line" || fail "Config.ini after closing lacks $line: $(tr -d '\r' <"$prog/Config.ini" | tr '\n' ' ')"
done
say "closing by taskkill saved the language, always on top and the hotkeys: ok"

# --- a language in use that has no file: no row is selected, and any choice is a change -
sed -i 's/^Language=.*/Language="Missing"\r/' "$prog/Config.ini"
(cd "$work/cwd" && exec "$bench" run "$prog/$name") </dev/null >"$work/vantor.log" 2>&1 &
prog_pid=$!
vantor_wait_for visible || fail "no window titled '$title' appeared with a missing language"
probe selected "$title" 280/1052 >/dev/null && fail "a row is selected although no file is the language in use"
probe choose "$title" 280/1052 Aardvark || fail "no language row Aardvark"
vantor_wait_for box_shown || fail "choosing the first row showed no restart message with no language selected"
probe post "$box" 0x0111 1 0 >/dev/null
vantor_wait_for box_gone || fail "the restart message did not close on OK"
probe post "$title" 0x0010 0 0 >/dev/null
vantor_wait_for ended || fail "the program did not end after WM_CLOSE"
prog_pid=
config_has 'Language="Aardvark"' || fail "the choice made without a language in use was not saved"
say "no file for the language in use: nothing selected, choosing the first row asks for a restart: ok"
