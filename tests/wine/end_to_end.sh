#!/usr/bin/env bash
# The real quorvex.exe end to end under Wine, against the simulated tuner served in-process by
# quorvex_simtuner.dll: the devices found through Wine's own system device enumerator, the graph
# built and connected by Wine's own filter graph, the default channel tuned, sample lines byte for
# byte as the Linux build prints them for the same seed, bars on screen, Apply used with the mouse
# and keyboard, and the close box ending the program with every object released. A second run
# unplugs the tuner after three samples. Every wait is bounded.
#
#   tests/wine/end_to_end.sh BUILD_WINDOWS_DIR BUILD_LINUX_DIR ARTEFACT_DIR
set -uo pipefail
source_dir=$(realpath "$(dirname "$0")/../..")
build=$(realpath "$1")
linux_build=$(realpath "$2")
artefacts=$(realpath -m "$3")
mkdir -p "$artefacts"

if [ -z "${QUORVEX_IN_XVFB:-}" ]; then
  QUORVEX_IN_XVFB=1 exec timeout -k 10 300 xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi

wine=/usr/lib/wine/wine64
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
WINEPREFIX=$(mktemp -d)
export WINEPREFIX
work=$(mktemp -d)
# The runs' logs and output stay in the artefacts, whatever happened.
trap 'cp "$work"/*.log "$work"/*.out "$work"/*.err "$artefacts/" 2>/dev/null
      /usr/lib/wine/wineserver -k 2>/dev/null; rm -rf "$WINEPREFIX" "$work"' EXIT
seed=7

failures=0
check() { # name, expected, actual
  if [ "$2" == "$3" ]; then echo "ok   $1"; else echo "FAIL $1: expected [$2], got [$3]"; failures=$((failures + 1)); fi
}
require() { # name, expected, actual: a check the rest of the run depends on
  check "$@"
  [ "$failures" -eq 0 ] || exit 1
}
wait_until() { # seconds, command...: polls the command until it succeeds or the time is up
  local deadline=$((SECONDS + $1))
  shift
  until "$@"; do
    [ "$SECONDS" -lt "$deadline" ] || return 1
    sleep 0.2
  done
}
lines() { wc -l <"$1"; }
has_lines() { [ "$(lines "$1")" -ge "$2" ]; }
logged() { grep -q -x "$2" "$1"; }
ended() { ! kill -0 "$1" 2>/dev/null; }
came_up() { logged "$work/$1.log" "call put_TuneRequest [0-9]*" || [ -s "$work/$1.err" ]; }
driver() { timeout 60 "$wine" "$build/window_driver.exe" "$@" 2>/dev/null; }

# A run of the program; its log, standard output and error are $work/NAME.{log,out,err}.
start_program() { # name, scenario
  : >"$work/$1.log" && : >"$work/$1.out" && : >"$work/$1.err"
  QUORVEX_SIM="$2" QUORVEX_SIM_SEED=$seed QUORVEX_SIM_LOG="Z:$work/$1.log" \
    timeout 120 "$wine" "$build/quorvex.exe" >"$work/$1.out" 2>"$work/$1.err" &
  program=$!
}
close_program() { # name: clicks the close box, waits for the end, checks the exit and the objects
  check "$1: close box clicked" "0" "$(driver close >/dev/null; echo $?)"
  wait_until 30 ended "$program" || kill "$program"
  wait "$program"
  check "$1: exit code" "0" "$?"
  check "$1: every object released" "live-objects 0" "$(grep '^live-objects' "$work/$1.log")"
  check "$1: no object released twice" "over-releases 0" "$(grep '^over-releases' "$work/$1.log")"
}

# The Linux build's lines for the same seed, while Wine starts.
(cd "$work" && QT_QPA_PLATFORM=offscreen QUORVEX_SIM=default QUORVEX_SIM_SEED=$seed timeout 4.5 "$linux_build/quorvex" >linux.out 2>&1) &
linux_run=$!

timeout 120 "$wine" wineboot -i >/dev/null 2>&1 || { echo "FAIL wineboot"; exit 1; }
# Xvfb has no window manager: Wine draws the window's frame and close box itself, as Windows does.
timeout 60 "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1
# The simulated tuner is registered in this scratch prefix only.
mkdir -p "$WINEPREFIX/drive_c/quorvex-sim"
cp "$build/platform/tuning/win32dll/quorvex_simtuner.dll" "$WINEPREFIX/drive_c/quorvex-sim/"
timeout 60 "$wine" regedit /S "$source_dir/platform/tuning/win32dll/simtuner.reg" >/dev/null 2>&1

# The default scenario: the graph comes up and the default channel is tuned.
start_program default ""
wait_until 60 came_up default
require "default: standard error at start" "" "$(cat "$work/default.err")"
require "default: tune requests at start" "473000" "$(sed -n 's/^call put_TuneRequest //p' "$work/default.log")"
# Wine's graph connects each pair through the pins; the transport information filter accepts only
# the demultiplexer's PSI pin.
check "default: connections tried by Wine's graph" "$(
  printf '%s\n' \
    "Microsoft DVB-T Network Provider.Antenna Out -> SKNET HDTV BDA Digital Tuner_0.Input0" \
    "SKNET HDTV BDA Digital Tuner_0.MPEG2 Transport -> SKNET HDTV BDA Digital Capture_0.MPEG2 Transport" \
    "SKNET HDTV BDA Digital Capture_0.MPEG2 Transport Out -> MPEG-2 Demultiplexer.MPEG-2 Stream" \
    "MPEG-2 Demultiplexer.Video -> BDA MPEG-2 Transport Information Filter.Input" \
    "MPEG-2 Demultiplexer.Audio -> BDA MPEG-2 Transport Information Filter.Input" \
    "MPEG-2 Demultiplexer.PSI -> BDA MPEG-2 Transport Information Filter.Input"
)" "$(sed -n 's/^call Connect //p' "$work/default.log")"

# Sampling: the first lines are the Linux build's, byte for byte.
wait_until 30 has_lines "$work/default.out" 3
wait "$linux_run"
require "default: Linux reference has three lines" "3" "$(head -3 "$work/linux.out" | wc -l)"
check "default: first three samples as on Linux" "$(head -3 "$work/linux.out" | od -c)" \
  "$(head -3 "$work/default.out" | od -c)"

# The window with its bars, cut from the screen.
read -r x y width height < <(driver rect)
timeout 30 import -window root "$work/screen.png" 2>/dev/null
convert "$work/screen.png" -crop "${width}x${height}+${x}+${y}" +repage "$artefacts/screenshot-wine.png"
bar_pixels=$(convert "$artefacts/screenshot-wine.png" -fill black +opaque '#32FF00' -fill white -opaque '#32FF00' \
  -format '%[fx:int(mean*w*h)]' info: 2>/dev/null)
check "default: bars drawn" "yes" "$([ "${bar_pixels:-0}" -gt 0 ] && echo yes || echo no)"

# Apply with cable channel 27, typed and clicked: exactly one new tune request, at 249000 kHz.
check "default: settings typed and ticked" "$(printf 'channel=27\ncatv=1')" "$(driver apply 27 1)"
wait_until 15 logged "$work/default.log" "call put_TuneRequest 249000"
applied_at=$(lines "$work/default.out")
wait_until 15 has_lines "$work/default.out" $((applied_at + 2))
check "default: tune requests after Apply" "$(printf '473000\n249000')" \
  "$(sed -n 's/^call put_TuneRequest //p' "$work/default.log")"
check "default: standard error" "" "$(cat "$work/default.err")"
close_program default

# The tuner unplugged after three samples: no line for a failed sample, and the program runs on.
start_program unplugged "unplug-after=3"
wait_until 60 came_up unplugged
require "unplugged: tune requests at start" "473000" "$(sed -n 's/^call put_TuneRequest //p' "$work/unplugged.log")"
wait_until 15 has_lines "$work/unplugged.err" 2
check "unplugged: still running after failed samples" "yes" "$(kill -0 "$program" 2>/dev/null && echo yes || echo no)"
check "unplugged: failed samples on standard error" "get_level: IKsPropertySet.Set hr=8007048F" \
  "$(sort -u "$work/unplugged.err")"
check "unplugged: sample lines" "3" "$(lines "$work/unplugged.out")"
check "unplugged: first three samples as on Linux" "$(head -3 "$work/linux.out" | od -c)" \
  "$(od -c <"$work/unplugged.out")"
close_program unplugged

[ "$failures" -eq 0 ]
