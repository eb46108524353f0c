#!/usr/bin/env bash
# The video options page of the real Vantor.exe under the Wine bench, driven as a user
# drives it: clicks on its controls (found through the probe), drags on the region
# window, keys typed into the frame-rate box, the hotkeys, the folder chooser. Checked:
# the start state (DirectX, full screen, region button locked) in two runs; the
# full-screen box in DirectX mode; GDI mode with a region dragged out through the
# program's own region button (a 640 x 480 recording whose decoded frames show the
# moving target that was on the screen there) and Esc keeping it; full screen again (a
# 1920 x 1080 recording); a typed frame rate (the recording's rate, Config.ini's text);
# the folder chooser (its caption, a chosen folder shown and saved, a cancel that still
# applies and creates the folder again); and the target watch paused by GDI and running
# again after DirectX, seen by the Direct3D 9 probe it runs on a stand-in game.
#   vantor_video_page.sh SOURCE_DIR VANTOR_EXE OSTREL_DLL LUMVEX_DLL PROBE_EXE FFPROBE FFMPEG
#                        SCREEN_TARGET FRAME_CHECK D3D9_FIXTURE SHELL_FIXTURE [PICTURE_DIR]
# With PICTURE_DIR it leaves there the picture of the folder chooser the README shows.
set -euo pipefail
src=$1 exe=$2 dll=$3 lumvex=$4 probe=$5 ffprobe=$6 ffmpeg=$7 target=$8 check=$9
game=${10} shell=${11} pictures=${12:-}
source "$src/tests/e2e/vantor_program.sh"
vantor_skip_unless_runnable "$exe"

# A name the folder chooser's tree finds by typing (see choose_folder).
work=$(mktemp -d /tmp/vantor-video.XXXXXX)
name=$(basename "$exe")
prog_pid= hold_pid= target_pid= shell_pid= game_pid=
cleanup() {
  local pid
  exec 8>&- 2>/dev/null || true
  for pid in $hold_pid $target_pid $shell_pid $game_pid; do kill "$pid" 2>/dev/null || true; done
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
read -r SW SH < <(xdotool getdisplaygeometry)

say() { echo "video-page: $*"; }
winpath() { echo "Z:${1//\//\\}"; }
unixpath() { local p=${1%$'\r'}; p=${p#Z:}; echo "${p//\\//}"; }
probe() { "$bench" run "$prog/$(basename "$probe")" "$@" | tr -d '\r'; }
wait_for() { vantor_wait_for "$@"; }
visible_named() { [ -n "$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n1)" ]; }
visible() { visible_named "^$title\$"; }
hidden() { ! visible; }
# The region selection window's title is "Title".
region_shown() { visible_named '^Title$'; }
region_hidden() { ! region_shown; }
checked() { probe state "$title" "$1" | cut -d' ' -f2; }
is_checked() { [ "$(checked "$1")" = "$2" ]; }
config_has() { tr -d '\r' <"$prog/Config.ini" | grep -qxF -- "$1"; }

click() {  # ID
  local r
  r=$(probe rect "$title" "$1") || fail "no control $1"
  set -- $r
  xdotool mousemove $(( ($1 + $3) / 2 )) $(( ($2 + $4) / 2 )) click 1
  sleep 0.3
}

start_program() {
  printf '[System]\r\nLanguage="English"\r\nOutPut="%s"\r\nWndTop=0\r\n[Video]\r\nFrameRate="5.0 fps"\r\n[Audio]\r\nUseRec=1\r\nRecWin7=0\r\n[HotKey]\r\nKeyRecord=117\r\nKeyPause=118\r\nKeyStop=119\r\n' \
    "$(winpath "$out")" >"$prog/Config.ini"
  (cd "$work/cwd" && exec "$bench" run "$prog/$name") </dev/null >"$work/vantor.log" 2>&1 &
  prog_pid=$!
  wait_for visible || fail "no window titled '$title' appeared"
}
ended() { ! kill -0 "$prog_pid" 2>/dev/null; }
end_program() {
  probe post "$title" 0x0010 0 0 >/dev/null
  wait_for ended || fail "the program did not end after WM_CLOSE"
  prog_pid=
}
show_dialog() { probe post "$title" 1280 128 0x0201 >/dev/null; wait_for visible || fail "the tray did not bring the dialog back"; }

# Every start: DirectX and full screen checked, GDI not, the region button locked.
start_state() { [ "$(checked 1218)$(checked 1219)$(checked 1220)" = 101 ]; }
expect_start_state() {
  wait_for start_state ||
    fail "at start DirectX/GDI/full screen are $(checked 1218)/$(checked 1219)/$(checked 1220), not 1/0/1"
  expect_region_locked "at start"
}
expect_region_locked() {
  click 1060
  sleep 1
  region_hidden || fail "$1: the locked region button showed the region window"
}

# A window of another program holds the keyboard, so the hotkeys reach Vantor as from
# any program in front (docs/wine-bench.md).
keys() {
  xdotool windowfocus --sync "$(xdotool search --onlyvisible --name '^Key target$' | head -n1)" 2>/dev/null || true
  xdotool key "$@"
}

# The moving target: its pattern at (16, 16) of a 560 x 320 window on a flat pad
# colour, and a pad-coloured resting place for the pointer away from every recorded
# area (the pointer is drawn into the frames).
TX=200 TY=150 PARKX=$((SW - 60)) PARKY=$((SH - 60))
mkfifo "$work/target.in"
"$bench" run "$target" --at "$TX,$TY" --park "$PARKX,$PARKY" <"$work/target.in" >"$work/target.out" 2>&1 &
target_pid=$!
exec 8>"$work/target.in"
wait_for grep -q '^ready' "$work/target.out" || fail "the screen target did not start"
park_pointer() { xdotool mousemove $((PARKX + 20)) $((PARKY + 20)); sleep 0.3; }

"$bench" run "$prog/$(basename "$probe")" hold "Key target" >"$work/hold.out" 2>&1 &
hold_pid=$!
wait_for grep -q holding "$work/hold.out" || fail "the key target did not start"

files() { find "$1" -maxdepth 1 -name "*.avi" | wc -l; }
file_count_is() { [ "$(files "$1")" = "$2" ]; }
newest_file() { ls -t "$1"/*.avi 2>/dev/null | head -n1 || true; }
finished() { [ "$(od -An -tu4 -j4 -N4 "$1" | tr -d ' ')" != 0 ]; }
# Records with F6 ... F8 for SECONDS into FOLDER; sets file.
record() {  # FOLDER SECONDS
  local n
  n=$(( $(files "$1") + 1 ))
  park_pointer
  keys F6
  wait_for hidden || fail "F6 did not hide the dialog"
  wait_for file_count_is "$1" $n || fail "F6 did not start a recording"
  sleep "$2"
  keys F8
  file=$(newest_file "$1")
  wait_for finished "$file" || fail "$(basename "$file") was never finished"
}
video_info() { "$ffprobe" -v error -select_streams v:0 -show_entries stream="$1" -of csv=p=0 "$file"; }

# --- the first run -------------------------------------------------------------------
start_program
expect_start_state
click 1220
sleep 1
is_checked 1220 1 || fail "in DirectX mode a click cleared the full-screen box"
say "start state; the full-screen box stays checked in DirectX mode: ok"

click 1219
wait_for is_checked 1219 1 || fail "the GDI button did not take the click"
expect_region_locked "GDI mode with full screen"
click 1220
wait_for is_checked 1220 0 || fail "in GDI mode the full-screen box did not clear"

# A region through the program's own button: from the target's corner, 640 x 480.
click 1060
wait_for region_shown || fail "the unlocked region button did not show the region window"
xdotool mousemove $TX $TY; sleep 0.3
xdotool mousedown 1; sleep 0.3
xdotool mousemove 500 400; sleep 0.3
xdotool mousemove $((TX + 639)) $((TY + 479)); sleep 0.3
xdotool mouseup 1
wait_for region_hidden || fail "the release did not hide the region window"
# Esc in the middle of another drag keeps that region.
click 1060
wait_for region_shown || fail "the region button did not show the region window again"
xdotool mousemove 900 700; sleep 0.3
xdotool mousedown 1; sleep 0.3
xdotool mousemove 1000 760; sleep 0.3
xdotool windowfocus --sync "$(xdotool search --onlyvisible --name '^Title$' | head -n1)" 2>/dev/null || true
xdotool key Escape
wait_for region_hidden || fail "Esc did not hide the region window"
xdotool mouseup 1
say "region dragged through the region button, a second drag ended with Esc: ok"

record "$out" 3
[ "$(video_info width,height)" = "640,480" ] ||
  fail "the region recording is $(video_info width,height), not 640,480"
# The stored rate is 5 fitted to the length of the default device's sound, which starts
# at the first grab and ends at F8, before the next frame was due: the frames at that
# rate last from (frames - 1) / 5 to frames / 5 s, give or take the device's 10 ms
# blocks. (ffprobe's r_frame_rate guesses 3/1 for any rate a little off 5; the stored
# one is avg_frame_rate.)
read -r rate nframes < <(video_info avg_frame_rate,nb_frames | tr ',' ' ')
awk -v r="$rate" -v n="$nframes" 'BEGIN { split(r, f, "/"); x = f[1] / f[2]; d = n / x
  exit !(n >= 10 && d >= (n - 1) / 5 - 0.025 && d <= n / 5 + 0.025) }' ||
  fail "the region recording's $nframes frames at $rate last longer or shorter than $nframes frames at 5 a second"
say "region recording: $nframes frames at $rate, as long as its sound"
"$ffmpeg" -v error -i "$file" -f rawvideo -pix_fmt bgr24 -y "$work/region.bgr" || fail "ffmpeg cannot decode the region recording"
case "$check" in *.exe) frames=$(winpath "$work/region.bgr"); run_check() { "$bench" run "$check" "$@"; } ;;
                 *) frames=$work/region.bgr; run_check() { "$check" "$@"; } ;; esac
run_check --frames "$frames" --size 640x480 --pattern 16,16 --pad 96,160,96 --window 0,0,560,320 --no-cursor \
  >"$work/region.check" 2>&1 || { sed 's/^/  /' "$work/region.check"; fail "the region recording does not show the target"; }
say "F6 ... F8 records the region: 640 x 480 at 5 a second, the target's pattern at its place: ok"

# A frame rate typed by hand: the box's edit takes the keys once the dialog has the
# keyboard. Record takes the number the text starts with, fraction and all: the frames
# fall due 12.5 a second (80 ms apart). The stream's rate is fitted to the sound's
# length, so it lies near 12.5, well away from the 12 a whole-frame rate would give.
show_dialog
r=$(probe rect "$title" 1199); set -- $r
xdotool mousemove $(( $1 + 8 )) $(( ($2 + $4) / 2 )) click --repeat 2 1
xdotool windowfocus --sync "$(xdotool search --onlyvisible --name "^$title\$" | head -n1)" 2>/dev/null || true
xdotool key End $(printf 'BackSpace %.0s' $(seq 12))
xdotool type --delay 50 "12.5 fps"
sleep 0.3
[ "$(probe text "$title" 1199)" = "12.5 fps" ] || fail "the frame-rate box shows '$(probe text "$title" 1199)'"
record "$out" 4
read -r nframes < <("$ffprobe" -v error -count_frames -select_streams v:0 -show_entries stream=nb_read_frames -of csv=p=0 "$file")
duration=$(video_info duration)
say "typed 12.5 fps: $nframes frames in $duration s ($(video_info r_frame_rate))"
awk -v n="$nframes" -v d="$duration" 'BEGIN { r = n / d; exit !(r > 12.25 && r < 12.75) }' ||
  fail "a typed '12.5 fps' recorded at $nframes / $duration frames per second"

# Full screen again: the whole screen.
show_dialog
click 1220
wait_for is_checked 1220 1 || fail "the full-screen box did not check again"
expect_region_locked "full screen again"
record "$out" 1
[ "$(video_info width,height)" = "$SW,$SH" ] || fail "the full-screen recording is $(video_info width,height), not $SW,$SH"
say "full screen again: a $SW x $SH recording, the region button locked: ok"

# Picks a folder in the chooser's tree with the keys a user would type: Wine's
# chooser opens on the drive (Z:), not on the folder it is given (docs/wine-bench.md),
# and a tree view selects the next item that starts with what is typed; Right opens an
# item, a second Right steps to its first child.
choose_folder() {  # WINDOW UNIX_PATH
  local i parts
  xdotool windowfocus --sync "$1" 2>/dev/null || true
  IFS=/ read -r -a parts <<<"${2#/}"
  for i in "${!parts[@]}"; do
    if [ "$i" -gt 0 ]; then
      xdotool key Right; sleep 0.7
      xdotool key Right; sleep 0.5
    fi
    xdotool type --delay 80 "${parts[$i]}"; sleep 0.5
  done
  xdotool key Return
}

# The folder chooser: its caption, a folder chosen in it, shown, saved.
chooser="保存到指定目录"
chooser_shown() { visible_named "^$chooser\$"; }
chooser_hidden() { ! chooser_shown; }
mkdir -p "$out/chosen"
show_dialog
click 1059
wait_for chooser_shown || fail "the browse button did not open a window titled '$chooser'"
sleep 1
cw=$(xdotool search --onlyvisible --name "^$chooser\$" | head -n1)
if [ -n "$pictures" ]; then
  eval "$(xdotool getwindowgeometry --shell "$cw")"
  import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$pictures/folder-chooser.png"
fi
choose_folder "$cw" "$out/chosen"
wait_for chooser_hidden || fail "Enter did not close the folder chooser"
shown=$(probe text "$title" 1051)
[ "$(unixpath "$shown")" = "$out/chosen" ] || fail "the folder box shows '$shown', not the chosen folder"
wait_for config_has "OutPut=\"$shown\"" || fail "Config.ini did not save the chosen folder: $(grep OutPut "$prog/Config.ini")"
config_has 'FrameRate="12.5 fps"' || fail "Config.ini holds $(grep FrameRate "$prog/Config.ini"), not the typed text"
say "folder chooser '$chooser': the chosen folder shown and saved, the typed frame rate saved as typed: ok"

# Cancelled: the folder stays, the apply runs and makes the folder again.
rm -rf "$out/chosen"
: >"$prog/Config.ini"
click 1059
wait_for chooser_shown || fail "the browse button did not open the chooser again"
sleep 0.5
xdotool windowfocus --sync "$(xdotool search --onlyvisible --name "^$chooser\$" | head -n1)" 2>/dev/null || true
xdotool key Escape
wait_for chooser_hidden || fail "Esc did not close the folder chooser"
wait_for config_has "OutPut=\"$shown\"" || fail "a cancelled chooser did not apply the settings"
[ -d "$out/chosen" ] || fail "the apply did not create the output folder again"
[ "$(probe text "$title" 1051)" = "$shown" ] || fail "a cancelled chooser changed the folder box"
say "folder chooser cancelled: the folder stays, the settings are applied and the folder made: ok"
end_program

# --- the second run: the start state again, and the target watch ---------------------
exec 8>&-
kill "$target_pid" 2>/dev/null || true
target_pid=
# The watch needs the shell's "Program Manager" (Wine runs none) from its first cycle.
"$bench" run "$shell" --seconds 300 >"$work/shell.out" 2>&1 &
shell_pid=$!
wait_for grep -q '^ready' "$work/shell.out" || fail "the shell stand-in did not start"
start_program
expect_start_state
say "second run: DirectX, full screen, region locked again: ok"

d3d9() { probe d3d9 "$title" "$dllname"; }
probed() { [ "$(d3d9)" != 0 ]; }
click 1219
click 1219
wait_for is_checked 1219 1 || fail "GDI did not take the clicks"
"$bench" run "$game" --seconds 120 >"$work/game.out" 2>&1 &
game_pid=$!
wait_for grep -q '^ready' "$work/game.out" || fail "the Direct3D 9 game did not start: $(cat "$work/game.out")"
# It opens over the dialog (at 40, 40): a user drags it aside by its caption.
xdotool mousemove 150 52; sleep 0.3
xdotool mousedown 1; sleep 0.3
xdotool mousemove 600 300; sleep 0.3
xdotool mousemove 1100 600; sleep 0.3
xdotool mouseup 1
sleep 4
[ "$(d3d9)" = 0 ] || fail "the target watch probed the game in GDI mode"
show_dialog
click 1218
wait_for is_checked 1218 1 || fail "DirectX did not take the click"
wait_for probed || wait_for probed || fail "after GDI twice and DirectX once the target watch did not probe the game"
say "GDI twice pauses the target watch, DirectX once lets it run again: ok"
end_program
