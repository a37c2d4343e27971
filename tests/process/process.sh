#!/usr/bin/env bash
# The real quorvex binary as a user's machine or a calling script meets it: a comma-decimal locale,
# a pipe, closed standard descriptors, a hostile temporary folder, malformed environment variables,
# a display that cannot be opened, and its window destroyed by another X client. Every wait is
# bounded; the scenarios that need an X server run under Xvfb.
#
#   tests/process/process.sh QUORVEX X_CLIENT SCENARIO
set -uo pipefail
program=$(realpath "$1")
x_client=$(realpath "$2")
scenario=$3

source "$(dirname "$0")/../support/checks.sh"
case "$scenario" in
locale-window | closed-descriptors | destroyed-window)
  if [ -z "${QUORVEX_IN_XVFB:-}" ]; then
    needs xvfb-run "Debian's xvfb"
    QUORVEX_IN_XVFB=1 exec timeout -k 10 120 xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
  fi
  ;;
*) unset DISPLAY WAYLAND_DISPLAY ;; # offscreen
esac

work=$(mktemp -d)
started=()
trap 'kill "${started[@]}" 2>/dev/null; rm -rf "$work"' EXIT
# The simulated tuner, with a seed of its own so every run prints the same levels.
export QUORVEX_SIM=default QUORVEX_SIM_SEED=5

has_lines() { [ "$(wc -l <"$1")" -ge "$2" ]; }
ended() { ! kill -0 "$1" 2>/dev/null; }
# Runs the program in the background with the given environment (NAME=VALUE...) and descriptor
# redirections already applied by the caller's subshell; its pid is in $pid.
start() { # name, env assignments...
  local name=$1
  shift
  : >"$work/$name.out" && : >"$work/$name.err"
  env "$@" "$program" >>"$work/$name.out" 2>>"$work/$name.err" &
  pid=$!
  started+=("$pid")
}
stop() { kill "$1" 2>/dev/null; wait "$1" 2>/dev/null; }
# Closes the window as a window manager's close button does and returns the program's exit code.
close_window() { # pid
  "$x_client" close Quorvex || return 99
  wait_until 15 ended "$1" || { stop "$1"; return 98; }
  wait "$1"
}
# A comma-decimal locale, made here so the test needs none installed.
comma_locale() {
  needs localedef "Debian's libc-bin"
  mkdir -p "$work/locales"
  localedef -i de_DE -f UTF-8 "$work/locales/de_DE.UTF-8" 2>/dev/null
  [ -f "$work/locales/de_DE.UTF-8/LC_NUMERIC" ] || { echo "FAIL cannot make a de_DE.UTF-8 locale"; exit 1; }
}

case "$scenario" in

# The console line is the same bytes under a comma-decimal locale.
locale)
  comma_locale
  start c LC_ALL=C
  c=$pid
  start comma LOCPATH="$work/locales" LC_ALL=de_DE.UTF-8
  comma=$pid
  wait_until 30 has_lines "$work/c.out" 3 && wait_until 30 has_lines "$work/comma.out" 3
  stop "$c"
  stop "$comma"
  check "three lines under C" 3 "$(head -3 "$work/c.out" | wc -l)"
  check "the same bytes under de_DE.UTF-8" "$(head -3 "$work/c.out" | od -c)" "$(head -3 "$work/comma.out" | od -c)"
  check "standard error under de_DE.UTF-8" "" "$(cat "$work/comma.err")"
  ;;

# The value box shows the same pixels under a comma-decimal locale as under C.
locale-window)
  comma_locale
  for run in c comma; do
    if [ "$run" = c ]; then start c LC_ALL=C; else start comma LOCPATH="$work/locales" LC_ALL=de_DE.UTF-8; fi
    wait_until 30 has_lines "$work/$run.out" 2
    sleep 0.3 # the repaint follows the line at once; leave it time to reach the screen
    read -r x y _ _ < <("$x_client" geometry Quorvex)
    import -window root -crop "30x20+$((x + 305))+$((y + 125))" +repage "$work/$run.png" 2>/dev/null
    close_window "$pid"
    check "$run: the close box ends it with 0" 0 "$?"
  done
  check "the value box under de_DE.UTF-8" "$(convert "$work/c.png" rgb:- | md5sum)" \
    "$(convert "$work/comma.png" rgb:- | md5sum)"
  check "the second level, as the box shows it" "$(sed -n 2p "$work/c.out" | cut -c1-5)" \
    "$(sed -n 2p "$work/comma.out" | cut -c1-5)"
  ;;

# A calling script reading a pipe gets each line as it is sampled, not when the program ends.
pipe-flush)
  mkfifo "$work/pipe"
  "$program" >"$work/pipe" 2>"$work/err" &
  pid=$!
  started+=("$pid")
  exec 3<"$work/pipe"
  line=
  IFS= read -r -t 10 line <&3
  check "the first line arrived while the program runs" "yes" \
    "$([ -n "$line" ] && kill -0 "$pid" 2>/dev/null && echo yes || echo no)"
  check "the first line" " 28.1 |" "${line:0:7}"
  stop "$pid"
  ;;

# With stdin, stdout or stderr closed the program runs and closes normally; the closed descriptor
# points at /dev/null, never at the display connection.
closed-descriptors)
  for fd in 0 1 2; do
    case $fd in
    0) (exec <&- && exec "$program" >"$work/$fd.out" 2>"$work/$fd.err") & ;;
    1) (exec >&- && exec "$program" 2>"$work/$fd.err") & ;;
    2) (exec 2>&- && exec "$program" >"$work/$fd.out") & ;;
    esac
    pid=$!
    started+=("$pid")
    "$x_client" wait Quorvex
    sleep 1.5 # a tick
    check "descriptor $fd closed: it points at /dev/null" "/dev/null" "$(readlink "/proc/$pid/fd/$fd")"
    close_window "$pid"
    check "descriptor $fd closed: the close box ends it with 0" 0 "$?"
  done
  check "stdin closed: lines" yes "$(has_lines "$work/0.out" 1 && echo yes || echo no)"
  check "stdout closed: standard error" "" "$(cat "$work/1.err")"
  check "stderr closed: lines" yes "$(has_lines "$work/2.out" 1 && echo yes || echo no)"
  ;;

# A temporary or runtime folder that is missing, not a folder or not writable stops nothing, and
# the toolkit's complaints about it never reach standard error.
hostile-temp)
  touch "$work/file"
  settings=("TMPDIR=$work/missing" "TMPDIR=$work/file" "TMPDIR=/proc/self" "XDG_RUNTIME_DIR=$work/missing"
    "XDG_RUNTIME_DIR=$work/file" "XDG_RUNTIME_DIR=/proc/self")
  pids=()
  for i in "${!settings[@]}"; do
    start "run$i" -u XDG_RUNTIME_DIR "${settings[$i]}"
    pids+=("$pid")
  done
  for i in "${!settings[@]}"; do
    wait_until 30 has_lines "$work/run$i.out" 2
    stop "${pids[$i]}"
    check "${settings[$i]}: samples" 2 "$(head -2 "$work/run$i.out" | wc -l)"
    check "${settings[$i]}: standard error" "" "$(cat "$work/run$i.err")"
  done
  ;;

# A malformed variable is one line naming it and the forms it takes, exit code 2, before any
# window: even a display that cannot be opened is not reached.
strict-environment)
  scenarios="default, steady, no-tuner, no-capture, bind-failure, set-fails, get-fails, short-answer, zero-level, zero-cycles or unplug-after=N with N from 0 to 2147483647"
  seeds="a decimal number from 0 to 18446744073709551615"
  adapters="a decimal number from 0 to 255"
  refused=(
    "QUORVEX_SIM=garbage|QUORVEX_SIM: \"garbage\" is not a scenario; use $scenarios"
    "QUORVEX_SIM=unplug-after=abc|QUORVEX_SIM: \"unplug-after=abc\" is not a scenario; use $scenarios"
    "QUORVEX_SIM=unplug-after=4294967299|QUORVEX_SIM: \"unplug-after=4294967299\" is not a scenario; use $scenarios"
    "QUORVEX_SIM=unplug-after=-1|QUORVEX_SIM: \"unplug-after=-1\" is not a scenario; use $scenarios"
    "QUORVEX_SIM=unplug-after=|QUORVEX_SIM: \"unplug-after=\" is not a scenario; use $scenarios"
    "QUORVEX_SIM=Default|QUORVEX_SIM: \"Default\" is not a scenario; use $scenarios"
    "QUORVEX_SIM_SEED=|QUORVEX_SIM_SEED: \"\" is not a seed; use $seeds"
    "QUORVEX_SIM_SEED=0x10|QUORVEX_SIM_SEED: \"0x10\" is not a seed; use $seeds"
    "QUORVEX_SIM_SEED= 5|QUORVEX_SIM_SEED: \" 5\" is not a seed; use $seeds"
    "QUORVEX_SIM_SEED=18446744073709551616|QUORVEX_SIM_SEED: \"18446744073709551616\" is not a seed; use $seeds"
    "QUORVEX_SIM=|QUORVEX_ADAPTER=0x1|QUORVEX_ADAPTER: \"0x1\" is not an adapter number; use $adapters"
    "QUORVEX_SIM=|QUORVEX_ADAPTER=256|QUORVEX_ADAPTER: \"256\" is not an adapter number; use $adapters"
  )
  for case in "${refused[@]}"; do
    IFS='|' read -r -a fields <<<"$case"
    settings=("${fields[@]:0:${#fields[@]}-1}")
    timeout 10 env "${settings[@]}" DISPLAY=:99999 "$program" >"$work/out" 2>"$work/err"
    status=$?
    check "${settings[*]}: exit code" 2 "$status"
    check "${settings[*]}: the line" "${fields[-1]}" "$(cat "$work/err")"
    check "${settings[*]}: no samples" "" "$(cat "$work/out")"
  done
  for setting in QUORVEX_SIM=unplug-after=2147483647 QUORVEX_SIM_SEED=18446744073709551615; do
    start accepted "$setting"
    wait_until 30 has_lines "$work/accepted.out" 1
    stop "$pid"
    check "$setting: accepted" "1" "$(head -1 "$work/accepted.out" | wc -l)"
    check "$setting: standard error" "" "$(cat "$work/accepted.err")"
  done
  ;;

# The answers that need no window, their streams and exit codes, and arguments that are not UTF-8
# echoed back byte for byte.
command-line)
  run() { # options...: runs the program, keeping its streams and exit code
    timeout 30 "$program" "$@" >"$work/out" 2>"$work/err"
    status=$?
  }
  run --version
  check "--version: standard output" "quorvex 1.0.0.1" "$(cat "$work/out")"
  check "--version: exit code and standard error" "0:" "$status:$(cat "$work/err")"
  run --help --channel=20
  check "--help: first line" "Usage: quorvex [OPTION]..." "$(head -1 "$work/out")"
  check "--help: exit code and standard error" "0:" "$status:$(cat "$work/err")"
  run --interval 0
  check "usage error: standard error" "quorvex: --interval 0: out of range (1 to 60); see quorvex --help" \
    "$(cat "$work/err")"
  check "usage error: exit code and standard output" "2:" "$status:$(cat "$work/out")"
  run --channel $'\xff\xfe'
  check "a byte that is not UTF-8 comes back as it was" \
    "$(printf 'quorvex: --channel \xff\xfe: not a number; see quorvex --help\n' | od -An -tx1)" "$(od -An -tx1 <"$work/err")"
  ;;

# A display that cannot be opened is the window that could not be created: one line, exit code 1.
# An empty DISPLAY is no display at all.
display)
  timeout 20 env DISPLAY=:99999 "$program" >"$work/out" 2>"$work/err"
  check "unopenable display: exit code" 1 "$?"
  check "unopenable display: the line" 'quorvex: cannot open the display ":99999"' "$(cat "$work/err")"
  check "unopenable display: no samples" "" "$(cat "$work/out")"
  start empty DISPLAY=
  wait_until 30 has_lines "$work/empty.out" 1
  stop "$pid"
  check "empty DISPLAY: runs offscreen" 1 "$(head -1 "$work/empty.out" | wc -l)"
  check "empty DISPLAY: standard error" "" "$(cat "$work/empty.err")"
  ;;

# Another X client destroying the window ends the program through its close path.
destroyed-window)
  start destroyed
  wait_until 30 has_lines "$work/destroyed.out" 1
  "$x_client" destroy Quorvex
  wait_until 15 ended "$pid" || stop "$pid"
  wait "$pid"
  check "exit code" 0 "$?"
  lines=$(wc -l <"$work/destroyed.out")
  check "no sample after the window went" yes "$([ "$lines" -le 2 ] && echo yes || echo no)"
  check "standard error" "" "$(cat "$work/destroyed.err")"
  ;;

*)
  echo "unknown scenario $scenario"
  exit 2
  ;;
esac

[ "$failures" -eq 0 ]
