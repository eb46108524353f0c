# Sourced by the end-to-end scripts that drive the real Vantor.exe: the one place that
# knows what a program folder holds and how the bench runs it.
#
#   source "$src/tests/e2e/vantor_program.sh"
#   vantor_skip_unless_runnable EXE        exit 77 (skipped) when this machine cannot run EXE
#   vantor_program_folder DIR EXE FILE...  DIR/ with EXE, FILE... and Language/*.ini
#   vantor_bench_env                       the bench's environment, the update check kept
#                                          off the network
#   fail MESSAGE                           the script's failure line, exit 1
#   vantor_wait_for COMMAND...             up to 20 s for COMMAND to succeed
#   vantor_end_program PID NAME            for a script's exit: ends the program NAME it
#                                          started as PID, if that still runs
#
# The caller sets src (the source tree) and bench (its tools/winebench) before sourcing.

: "${src:?set src to the source tree before sourcing vantor_program.sh}"
bench=${bench:-$src/tools/winebench}

fail() { echo "FAIL: $*" >&2; exit 1; }

vantor_wait_for() {
  local i
  for i in $(seq 200); do "$@" && return 0; sleep 0.1; done
  return 1
}

# A 32-bit program runs only where 32-bit code does; the 64-bit test copy wherever
# Wine does.
vantor_skip_unless_runnable() {
  local exe=$1 pe
  "$bench" can-run-32bit && return 0
  pe=$(od -An -tu4 -j60 -N4 "$exe")
  od -An -tx2 -j$(( pe + 4 )) -N2 "$exe" | grep -q 8664 && return 0
  echo "skipped: $("$bench" why-no-32bit)"
  exit 77
}

# A program folder as a user installs it: the program, the libraries it loads and the
# language files.
vantor_program_folder() {
  local dir=$1
  shift
  mkdir -p "$dir/Language"
  cp "$@" "$dir/"
  cp "$src"/Language/*.ini "$dir/Language/"
}

vantor_bench_env() {
  eval "$("$bench" env)"
  # The start-up update check goes to a proxy that refuses at once, never to the network.
  export http_proxy=${http_proxy:-http://127.0.0.1:1}
}

# A failed check leaves the program running: end it the way Windows would (taskkill /f),
# then its Wine process, so that the next script finds the bench free.
vantor_end_program() {
  local pid=$1 name=$2
  [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null || return 0
  "$bench" run taskkill /f /im "$name" >/dev/null 2>&1 || true
  kill "$pid" 2>/dev/null || true
}
