#!/usr/bin/env bash
# The real quorvex binary as a user's machine or a calling script meets it: a comma-decimal locale,
# a pipe, closed standard descriptors, a hostile temporary folder, malformed environment variables,
# a display that cannot be opened or that goes away, a small screen, its window destroyed by
# another X client or matched to its desktop entry, a machine without a receiver, and the signals
# that stop it. Every wait is bounded; the scenarios that need an X server run under Xvfb. Exit
# code 77 is a skip.
#
#   tests/process/process.sh QUORVEX X_CLIENT SCENARIO
set -uo pipefail
program=$(realpath "$1")
x_client=$(realpath "$2")
scenario=$3

source "$(dirname "$0")/../support/checks.sh"
case "$scenario" in
locale-window | closed-descriptors | destroyed-window | desktop-entry | failure-box)
  unset WAYLAND_DISPLAY # a Wayland session tries it before DISPLAY
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
# An X server of the test's own, which it may kill; its display is $x_display.
own_x_server() { # screen, as WIDTHxHEIGHTxDEPTH
  needs Xvfb "Debian's xvfb"
  Xvfb -displayfd 3 -nolisten tcp -screen 0 "$1" 3>"$work/x-display" 2>/dev/null &
  x_server=$!
  started+=("$x_server")
  wait_until 10 test -s "$work/x-display" || { echo "FAIL cannot start Xvfb"; exit 1; }
  x_display=":$(cat "$work/x-display")"
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

# The log as files and pipes meet it: instances started together on one new file append whole
# rows under one header; a copy-and-truncate rotation leaves a header and whole rows; a pipe whose
# reader goes away fails as a full disk does, with one line, and sampling goes on; a pipe that
# nothing reads is refused at once, with its reason.
log-file)
  launch() { # name, program arguments...: in the background, its pid in $pid
    local name=$1
    shift
    "$program" "$@" >"$work/$name.out" 2>"$work/$name.err" &
    pid=$!
    started+=("$pid")
  }
  header="time,channel,band,frequency_khz,level_db,error_ratio,state,layer_a_modulation,layer_a_code_rate"
  header+=",layer_a_segments,layer_a_cnr_db,layer_a_margin_db,layer_a_verdict,layer_b_modulation,layer_b_code_rate"
  header+=",layer_b_segments,layer_b_cnr_db,layer_b_margin_db,layer_b_verdict,layer_c_modulation,layer_c_code_rate"
  header+=",layer_c_segments,layer_c_cnr_db,layer_c_margin_db,layer_c_verdict"
  torn() { # file: the rows after the first line that are not whole rows of channel 13, with their layers
    tail -n +2 "$1" | grep -cvaE '^[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9:]{8}([+-][0-9]{2}:[0-9]{2}|Z),13,UHF,473000,-?[0-9.]*,[0-9.E+-]*,(ok|no-level|no-ratio|ratio-failed|failed)(,[0-9A-Za-z/.-]*){18}$'
  }
  lines_in() { [ -f "$1" ] && [ "$(wc -l <"$1")" -ge "$2" ]; }

  pids=()
  for i in 1 2 3 4 5 6; do
    launch "shared$i" --log "$work/shared.csv"
    pids+=("$pid")
  done
  wait_until 30 lines_in "$work/shared.csv" 19
  for p in "${pids[@]}"; do stop "$p"; done
  check "instances on one new log: the header first" "$header" "$(head -1 "$work/shared.csv")"
  check "instances on one new log: one header" 1 "$(grep -c '^time,' "$work/shared.csv")"
  check "instances on one new log: every row whole" 0 "$(torn "$work/shared.csv")"

  launch rotated --log "$work/rotated.csv"
  wait_until 30 lines_in "$work/rotated.csv" 3
  cp "$work/rotated.csv" "$work/rotated.csv.1" && : >"$work/rotated.csv" # a copy-and-truncate rotation
  wait_until 30 lines_in "$work/rotated.csv" 3
  stop "$pid"
  check "rotated: the header first again" "$header" "$(head -1 "$work/rotated.csv")"
  check "rotated: every row whole" 0 "$(torn "$work/rotated.csv")"

  launch piped --log >(head -2 >"$work/reader.csv")
  wait_until 30 has_lines "$work/piped.out" 4
  check "a log whose reader went: still sampling" yes "$(kill -0 "$pid" 2>/dev/null && echo yes || echo no)"
  stop "$pid"
  check "a log whose reader went: the reader had the header and a row" "$header" "$(head -1 "$work/reader.csv")"
  check "a log whose reader went: one line on standard error" \
    "1:rows are lost until it can be written again" \
    "$(wc -l <"$work/piped.err"):$(sed 's/.*; //' "$work/piped.err")"

  mkfifo "$work/fifo"
  timeout 10 "$program" --log "$work/fifo" >"$work/fifo.out" 2>"$work/fifo.err"
  check "a pipe that nothing reads: refused at once with exit code 1" 1 "$?"
  check "a pipe that nothing reads: the reason" \
    "quorvex: cannot open the log $work/fifo: it is a pipe that nothing reads" "$(cat "$work/fifo.err")"
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
  for option in --help --version; do
    timeout 30 "$program" "$option" >/dev/full 2>"$work/err"
    check "$option into a full disk: exit code" 1 "$?"
    check "$option into a full disk: standard error" \
      "quorvex: cannot write to standard output: no space left on the device" "$(cat "$work/err")"
  done
  ;;

# A display that cannot be opened is the window that could not be created: one line, exit code 1;
# what needs no window still answers. An empty DISPLAY is no display at all.
display)
  timeout 20 env DISPLAY=:99999 "$program" >"$work/out" 2>"$work/err"
  check "unopenable display: exit code" 1 "$?"
  check "unopenable display: the line" 'quorvex: cannot open the display ":99999"' "$(cat "$work/err")"
  check "unopenable display: no samples" "" "$(cat "$work/out")"
  timeout 20 env DISPLAY=:99999 "$program" --interval 0 >"$work/out" 2>"$work/err"
  check "unopenable display: a usage error still answers" "2:quorvex: --interval 0: out of range (1 to 60); see quorvex --help" \
    "$?:$(cat "$work/err")"
  timeout 20 env DISPLAY=:99999 "$program" --version >"$work/out" 2>"$work/err"
  check "unopenable display: --version still answers" "0:quorvex 1.0.0.1:" "$?:$(cat "$work/out"):$(cat "$work/err")"
  timeout 20 env QT_QPA_PLATFORM=bogus "$program" >"$work/out" 2>"$work/err"
  check "a window system that does not exist: exit code" 1 "$?"
  check "a window system that does not exist: the line" \
    'quorvex: cannot start the window system "bogus" that QT_QPA_PLATFORM names' "$(cat "$work/err")"
  start empty DISPLAY=
  wait_until 30 has_lines "$work/empty.out" 1
  stop "$pid"
  check "empty DISPLAY: runs offscreen" 1 "$(head -1 "$work/empty.out" | wc -l)"
  check "empty DISPLAY: standard error" "" "$(cat "$work/empty.err")"
  ;;

# The X connection lost, to another client killing the program's (as xdotool windowkill does) or
# to the X server going away: one line that says so, and exit code 1.
lost-display)
  own_x_server 1024x768x24
  for loss in "its client killed" "the X server gone"; do
    start lost DISPLAY="$x_display"
    wait_until 30 has_lines "$work/lost.out" 1
    if [ "$loss" = "its client killed" ]; then DISPLAY="$x_display" "$x_client" kill Quorvex; else kill "$x_server"; fi
    wait_until 15 ended "$pid" || stop "$pid"
    wait "$pid"
    check "$loss: exit code" 1 "$?"
    check "$loss: the line" "quorvex: lost the connection to the display \"$x_display\"" "$(cat "$work/lost.err")"
  done
  ;;

# On a screen narrower than the window, the window starts at the screen's left edge, its chart's
# scale in sight; vertically it is centred: (240 - 200) / 2.
small-screen)
  own_x_server 320x240x24
  start small DISPLAY="$x_display"
  check "the window's place on a 320 x 240 screen" "0 20" \
    "$(DISPLAY="$x_display" "$x_client" geometry Quorvex | cut -d' ' -f1,2)"
  stop "$pid"
  ;;

# A desktop shell groups the running window with its launcher: the desktop entry names the class
# the window has.
desktop-entry)
  start entry
  check "the desktop entry names the window's class" "StartupWMClass=$("$x_client" class Quorvex)" \
    "$(grep '^StartupWMClass=' "$(dirname "$0")/../../dist/linux/org.quorvex.Quorvex.desktop")"
  close_window "$pid"
  check "the close box ends it with 0" 0 "$?"
  ;;

# With no receiver and no simulated tuner asked for: the program's own lines, the box (answered
# at once offscreen), then one plain line on what is missing and how to try the program anyway.
no-receiver)
  if compgen -G "/dev/dvb/adapter*/frontend*" >/dev/null; then
    echo "SKIP: this machine has a DVB frontend"
    exit 77
  fi
  timeout 20 env -u QUORVEX_SIM "$program" >"$work/out" 2>"$work/err"
  check "exit code" 1 "$?"
  check "standard error" "$(printf '%s\n' "find_dev: CreateClassEnumerator" "create_filters: pBDATuner" \
    "quorvex: no receiver was found: no DVB frontend under /dev/dvb, no PT or PX tuner under /dev; to try Quorvex without a receiver, run QUORVEX_SIM=default quorvex")" \
    "$(cat "$work/err")"
  check "no samples" "" "$(cat "$work/out")"
  ;;

# Without a window, as the service runs it: the same samples, the log and the end on a signal as
# with one, with no display to be had and none asked for: no toolkit and no font loaded.
headless)
  start windowed
  wait_until 30 has_lines "$work/windowed.out" 2
  stop "$pid"
  DISPLAY=:99999 "$program" --headless --log "$work/headless.csv" >"$work/headless.out" 2>"$work/headless.err" &
  pid=$!
  started+=("$pid")
  wait_until 30 has_lines "$work/headless.out" 2
  check "the samples of a run with a window" "$(head -2 "$work/windowed.out")" "$(head -2 "$work/headless.out")"
  check "no toolkit or font loaded" "" "$(grep -oE 'libQt6[A-Za-z]*|[^/ ]*\.(ttf|otf|pcf)' "/proc/$pid/maps" | sort -u)"
  kill -TERM "$pid"
  wait_until 15 ended "$pid" || stop "$pid"
  wait "$pid"
  check "SIGTERM: exit code" 0 "$?"
  check "a row per line, each whole" "$(($(wc -l <"$work/headless.out") + 1)):" \
    "$(wc -l <"$work/headless.csv"):$(tail -c1 "$work/headless.csv" | tr -d '\n')"
  check "standard error" "" "$(cat "$work/headless.err")"
  # A failure is its lines on standard error and exit code 1: no box waits for an answer.
  timeout 20 env QUORVEX_SIM=no-tuner "$program" --headless >"$work/out" 2>"$work/err"
  status=$?
  check "without a tuner: exit code and the lines" \
    "1:$(printf '%s\n' "find_dev: CreateClassEnumerator" "create_filters: pBDATuner")" "$status:$(cat "$work/err")"
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

# SIGINT (Ctrl+C), SIGTERM and SIGHUP end the program through its close path, with exit code 0
# and the log's rows whole; a second signal while it closes ends it at once, as the signal does;
# a signal it was started with ignored (nohup) stays ignored.
signals)
  for signal in INT TERM HUP; do
    # A script's background job starts with SIGINT ignored; a terminal's Ctrl+C finds it at its default.
    env --default-signal=INT "$program" --log "$work/$signal.csv" >"$work/$signal.out" 2>"$work/$signal.err" &
    pid=$!
    started+=("$pid")
    wait_until 30 has_lines "$work/$signal.out" 2
    kill -"$signal" "$pid"
    wait_until 15 ended "$pid" || stop "$pid"
    wait "$pid"
    check "SIG$signal: exit code" 0 "$?"
    check "SIG$signal: a row per line, each whole" "$(($(wc -l <"$work/$signal.out") + 1)):" \
      "$(wc -l <"$work/$signal.csv"):$(tail -c1 "$work/$signal.csv" | tr -d '\n')"
    check "SIG$signal: standard error" "" "$(cat "$work/$signal.err")"
  done
  # Stopped, two signals arrive at once when it continues: SIGHUP first, then SIGTERM while it closes.
  start twice
  wait_until 30 has_lines "$work/twice.out" 1
  kill -STOP "$pid" && kill -TERM "$pid" && kill -HUP "$pid" && kill -CONT "$pid"
  wait_until 15 ended "$pid" || stop "$pid"
  wait "$pid"
  check "a second signal while closing: ended by it (128 + SIGTERM)" 143 "$?"
  (trap '' HUP && exec "$program" >"$work/nohup.out" 2>"$work/nohup.err") &
  pid=$!
  started+=("$pid")
  wait_until 30 has_lines "$work/nohup.out" 1
  kill -HUP "$pid"
  sleep 1.5 # a tick
  check "SIGHUP ignored at start: still running" yes "$(ended "$pid" && echo no || echo yes)"
  stop "$pid"
  ;;

# A request to end while the failure box is coming up, or once it is up, answers the box and ends
# the program with the failure's exit code, every time: the box comes up from inside the window's
# creation, so a request heard a moment too early or too late would leave it waiting for a user.
failure-box)
  tuner_failed() { has_lines "$work/box.err" 2; } # its two lines come just before the box
  box_up() { "$x_client" wait 失敗 >/dev/null; }
  for moment in tuner_failed box_up; do
    codes=
    for run in $(seq 12); do
      start box QUORVEX_SIM=no-tuner
      wait_until 30 "$moment"
      kill -TERM "$pid"
      wait_until 15 ended "$pid" || stop "$pid"
      wait "$pid"
      codes+="$? "
    done
    check "SIGTERM at $moment: exit code 1 in every run" "$(printf '1 %.0s' $(seq 12))" "$codes"
  done
  ;;

*)
  echo "unknown scenario $scenario"
  exit 2
  ;;
esac

[ "$failures" -eq 0 ]
