#!/usr/bin/env bash
# Starts Vantor.exe under the Wine bench in English and in Chinese and checks its main
# window from outside with the dialog probe: the controls with their ids and localized
# texts, the tab control's four labels in order on the placeholder's place, the four
# pages inside it. With a folder as fifth argument it also leaves a picture of each.
#   vantor_dialog_looks.sh SOURCE_DIR VANTOR_EXE OSTREL_DLL PROBE_EXE LUMVEX_DLL [PICTURE_DIR]
set -euo pipefail
src=$1 exe=$2 dll=$3 probe=$4 lumvex=$5 pictures=${6:-}
source "$src/tests/e2e/vantor_program.sh"
vantor_skip_unless_runnable "$exe"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prog=$work/prog
mkdir -p "$work/cwd"
vantor_program_folder "$prog" "$exe" "$dll" "$lumvex"
vantor_bench_env

# Runs the program with a language until the probe has looked, then closes it.
probe_language() {
  local language=$1 title=$2 out=$3 pid
  printf '[System]\r\nLanguage="%s"\r\nWndTop=0\r\n' "$language" >"$prog/Config.ini"
  (cd "$work/cwd" && exec "$bench" run "$prog/$(basename "$exe")") </dev/null >/dev/null 2>&1 &
  pid=$!
  "$bench" run "$probe" "$title" >"$out" 2>"$work/probe.err" || { kill $pid 2>/dev/null; cat "$work/probe.err" >&2; fail "no window titled '$title'"; }
  if [ -n "$pictures" ]; then
    local wid
    wid=$(xdotool search --onlyvisible --name "^$title\$" | head -n1)
    eval "$(xdotool getwindowgeometry --shell "$wid")"
    import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$pictures/main-dialog-$language.png"
  fi
  "$bench" run taskkill /im "$(basename "$exe")" >/dev/null 2>&1 || true
  for _ in $(seq 200); do kill -0 $pid 2>/dev/null || break; sleep 0.1; done
  kill -0 $pid 2>/dev/null && { kill $pid; fail "the program did not end after WM_CLOSE"; }
  tr -d '\r' <"$out" >"$out.txt"
}

expect() {  # expect FILE LINE...
  local file=$1 line
  shift
  for line in "$@"; do
    grep -qxF -- "$line" "$file" || { cat "$file" >&2; fail "missing in $(basename "$file"): $line"; }
  done
}

probe_language English "Vantor 1.0 Beta1" "$work/english"
expect "$work/english.txt" \
  'control 1213 Button "Record"' 'control 1008 Button "Pause"' 'control 1006 Button "Stop"' \
  'control 1009 Button "Help"' 'control 1073 Button ""' 'control 1074 Button ""' \
  'control 1122 Static "Vantor 1.0 Beta1"' 'control 1217 Static hidden ""' \
  'tabs 4 Video|Audio|Hotkeys|System' 'tab on placeholder yes' \
  'page 278 parent tab shown' 'page 279 parent tab' 'page 280 parent tab' 'page 284 parent tab'
# The tab control is a direct child: it takes the text of its key too.
grep -q '^control 4001 SysTabControl32' "$work/english.txt" || fail "no tab control 4001"

probe_language SimpChinese "Vantor-免费屏幕录像软件 1.0 Beta1" "$work/chinese"
expect "$work/chinese.txt" 'control 1122 Static "Vantor-免费屏幕录像软件 1.0 Beta1"' 'tab on placeholder yes'
grep -q '^tabs 4 ' "$work/chinese.txt" || fail "not four tabs in Chinese"
echo "main dialog in English and Chinese: ok"
