#!/usr/bin/env bash
# The Windows program's alignment tone under Wine: winmm's wave output through Wine's own PulseAudio
# driver into a null sink of a real PulseAudio server started here, recorded from its monitor and
# measured with numpy (tests/sound/measure.py), as tests/sound/tone.sh does for the Linux build.
# The mode is turned on with the A key typed into the channel box, as a user would; the pitch must
# be what the alignment mode's formula (docs/alignment.md) gives for the steady tuner's levels, a
# sample without a level must give ticks, and without a sound server the program says so in one line and samples on. Every wait
# is bounded.
#
#   tests/wine/tone.sh BUILD_WINDOWS_DIR ARTEFACT_DIR
set -uo pipefail
source_dir=$(realpath "$(dirname "$0")/../..")
build=$(realpath "$1")
artefacts=$(realpath -m "$2")
mkdir -p "$artefacts"
source "$source_dir/tests/support/checks.sh"
needs pulseaudio "Debian's pulseaudio"
needs parec "Debian's pulseaudio-utils"
/usr/bin/python3 -c 'import numpy' 2>/dev/null || { echo "SKIP: numpy is not installed (Debian's python3-numpy)"; exit 77; }
if [ -z "${QUORVEX_IN_XVFB:-}" ]; then
  QUORVEX_IN_XVFB=1 exec timeout -k 10 300 xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi

wine=/usr/lib/wine/wine64
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
work=$(mktemp -d)
export WINEPREFIX=$work/prefix
started=()
trap 'cp "$work"/*.out "$work"/*.err "$artefacts/" 2>/dev/null; kill "${started[@]}" 2>/dev/null
      /usr/lib/wine/wineserver -k 2>/dev/null; wait 2>/dev/null; rm -rf "$work"' EXIT

source "$source_dir/tests/sound"/server.sh
start_sound_server

timeout 120 "$wine" wineboot -i >/dev/null 2>&1 || { echo "FAIL wineboot"; exit 1; }
# Wine's PulseAudio driver alone, as on a desktop with a sound server: without the server there
# is no device, rather than Wine's ALSA driver trying the machine's cards.
timeout 60 "$wine" reg add 'HKCU\Software\Wine\Drivers' /v Audio /d pulse /f >/dev/null 2>&1
# Xvfb has no window manager: Wine draws the close box itself, with its glyph from Marlett.
timeout 60 "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1
cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
mkdir -p "$WINEPREFIX/drive_c/quorvex-sim"
cp "$build/platform/tuning/win32dll/quorvex_simtuner.dll" "$WINEPREFIX/drive_c/quorvex-sim/"
timeout 60 "$wine" regedit /S "$source_dir/platform/tuning/win32dll/simtuner.reg" >/dev/null 2>&1
# The prefix settled, its first start's work done, before the program's first run.
timeout 60 /usr/lib/wine/wineserver -w

lines() { cat "$1" "$2" | wc -l; }
has_lines() { [ "$(lines "$1" "$2")" -ge "$3" ]; }
recording() { [ -s "$1" ]; }
ended() { ! kill -0 "$1" 2>/dev/null; }
driver() { timeout 60 "$wine" "$build/window_driver.exe" "$@" 2>/dev/null; }
# Starts the program without --align, turns the mode on with the A key once it samples, records 12
# samples in the mode, closes it with its close box; prints measure.py's figures.
heard() { # name, scenario, options...
  parec -d roof.monitor --format=s16le --rate=48000 --channels=1 --raw --latency-msec=20 >"$work/$1.raw" &
  local recorder=$!
  started+=("$recorder")
  wait_until 10 recording "$work/$1.raw"
  QUORVEX_SIM=$2 timeout 120 "$wine" "$build/quorvex.exe" "${@:3}" >"$work/$1.out" 2>"$work/$1.err" &
  local run=$!
  started+=("$run")
  wait_until 60 has_lines "$work/$1.out" "$work/$1.err" 1
  driver key a
  local before
  before=$(lines "$work/$1.out" "$work/$1.err")
  wait_until 30 has_lines "$work/$1.out" "$work/$1.err" $((before + 12))
  driver close
  wait_until 30 ended "$run" || kill "$run"
  wait "$run"
  echo $? >"$work/$1.exit"
  sleep 0.3 # what the server still held reaches the monitor
  kill -INT "$recorder" && wait "$recorder" 2>/dev/null
  /usr/bin/python3 "$source_dir/tests/sound/measure.py" "$work/$1.raw"
}
figure() { sed -n "s/^$1 //p" <<<"$2"; }
within() { awk -v a="$1" -v b="$2" -v share="$3" 'BEGIN { print (a - b <= b * share && b - a <= b * share) ? "yes" : "no" }'; }
below() { awk -v a="$1" -v b="$2" 'BEGIN { print (a < b) ? "yes" : "no" }'; }

for case in "13 523.25" "24 329.63"; do
  read -r channel hz <<<"$case"
  figures=$(heard "channel-$channel" steady --channel "$channel")
  check "channel $channel: pitch $hz Hz within 1 % (heard $(figure pitch "$figures"))" "yes" \
    "$(within "$(figure pitch "$figures")" "$hz" 0.01)"
  check "channel $channel: standard error" "" "$(cat "$work/channel-$channel.err")"
  check "channel $channel: closed with exit code 0" "0" "$(cat "$work/channel-$channel.exit")"
done

figures=$(heard zero-level zero-level)
check "zero-level: silent but for the ticks" "yes" "$(below "$(figure sounding "$figures")" 0.3)"
check "zero-level: at least a tick a sample for two seconds" "yes" "$(below 7 "$(figure bursts "$figures")")"

# No sound server: Wine finds no device to play on.
PULSE_SERVER=unix:$work/no-such-server QUORVEX_SIM=steady timeout 120 "$wine" "$build/quorvex.exe" --align \
  >"$work/silent.out" 2>"$work/silent.err" &
silent=$!
started+=("$silent")
wait_until 60 has_lines "$work/silent.out" /dev/null 12
check "no server: still sampling" "yes" "$(ended "$silent" && echo no || echo yes)"
check "no server: one line" "quorvex: no sound: no sound device; the alignment mode runs silent" "$(cat "$work/silent.err")"
driver close
wait_until 30 ended "$silent"
wait "$silent"
check "no server: closed with exit code 0" "0" "$?"

[ "$failures" -eq 0 ] && [ "$checks" -gt 0 ]
