#!/usr/bin/env bash
# The alignment tone of the real quorvex binary, heard through a real PulseAudio server started
# here with a null sink and recorded from its monitor with the server's own recorder; numpy
# measures the recording (measure.py). The simulated tuner's steady scenario gives known levels:
# the pitch must be what the alignment mode's formula (docs/alignment.md) gives for each, within
# 1 %; a sample without a level must give ticks and no tone; a level that moves from sample to
# sample must glide without a click, nor the close that ends the tone; and with no server at all
# the program says so in one line and samples on. The program runs on Xvfb, so that each run ends through its close box. Every
# wait is bounded.
#
#   tests/sound/tone.sh QUORVEX X_CLIENT
set -uo pipefail
program=$(realpath "$1")
x_client=$(realpath "$2")
source "$(dirname "$0")/../support/checks.sh"
needs pulseaudio "Debian's pulseaudio"
needs parec "Debian's pulseaudio-utils"
/usr/bin/python3 -c 'import numpy' 2>/dev/null || { echo "SKIP: numpy is not installed (Debian's python3-numpy)"; exit 77; }
unset WAYLAND_DISPLAY # Qt takes a Wayland display before an X one
if [ -z "${QUORVEX_IN_XVFB:-}" ]; then
  needs xvfb-run "Debian's xvfb"
  QUORVEX_IN_XVFB=1 exec timeout -k 10 240 xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi

work=$(mktemp -d)
started=()
trap 'kill "${started[@]}" 2>/dev/null; wait 2>/dev/null; rm -rf "$work"' EXIT
source "$(dirname "$0")"/server.sh
start_sound_server

lines() { cat "$1" "$2" | wc -l; }
has_lines() { [ "$(lines "$1" "$2")" -ge "$3" ]; }
recording() { [ -s "$1" ]; }
ended() { ! kill -0 "$1" 2>/dev/null; }
# Runs the program in alignment mode for 12 samples (3 s; each writes a line on standard output or
# error) while the sink's monitor is recorded, then closes it with its close box; prints
# measure.py's figures. Standard output and error stay in $work/NAME.out and .err, the exit code in
# $work/NAME.exit, the milliseconds the 12 samples took in $work/NAME.ms.
heard() { # name, scenario, options...
  parec -d roof.monitor --format=s16le --rate=48000 --channels=1 --raw --latency-msec=20 >"$work/$1.raw" &
  local recorder=$!
  started+=("$recorder")
  wait_until 10 recording "$work/$1.raw"
  QUORVEX_SIM=$2 QUORVEX_SIM_SEED=3 "$program" --align "${@:3}" >"$work/$1.out" 2>"$work/$1.err" &
  local run=$! begun=$(date +%s%N)
  started+=("$run")
  wait_until 20 has_lines "$work/$1.out" "$work/$1.err" 12
  echo $((($(date +%s%N) - begun) / 1000000)) >"$work/$1.ms"
  "$x_client" close Quorvex
  wait_until 15 ended "$run" || kill "$run"
  wait "$run"
  echo $? >"$work/$1.exit"
  # What the server still held when the program ended reaches the monitor, then silence.
  sleep 0.3
  kill -INT "$recorder" && wait "$recorder" 2>/dev/null
  /usr/bin/python3 "$(dirname "$0")/measure.py" "$work/$1.raw"
}
figure() { sed -n "s/^$1 //p" <<<"$2"; }
within() { awk -v a="$1" -v b="$2" -v share="$3" 'BEGIN { print (a - b <= b * share && b - a <= b * share) ? "yes" : "no" }'; }
below() { awk -v a="$1" -v b="$2" 'BEGIN { print (a < b) ? "yes" : "no" }'; }

# The pitch for each known level: 220 Hz x 2^(level / 24). The steady tuner gives 30.0 dB on
# channel 13, 14.0 dB on channel 24 and -3.0 dB where nothing is broadcast (channel 14).
for case in "13 30.0 523.25" "24 14.0 329.63" "14 -3.0 201.74"; do
  read -r channel level hz <<<"$case"
  figures=$(heard "channel-$channel" steady --channel "$channel" --interval 10)
  check "channel $channel: every line at $level dB" "$level" "$(cut -c1-5 "$work/channel-$channel.out" | sort -u | tr -d ' ')"
  check "channel $channel: four samples a second despite --interval 10 (12 in $(cat "$work/channel-$channel.ms") ms)" \
    "yes" "$(below "$(cat "$work/channel-$channel.ms")" 4500)"
  check "channel $channel: pitch $hz Hz within 1 % (heard $(figure pitch "$figures"))" "yes" \
    "$(within "$(figure pitch "$figures")" "$hz" 0.01)"
  check "channel $channel: a tone that sounds throughout" "yes" "$(below 0.6 "$(figure sounding "$figures")")"
  check "channel $channel: standard error" "" "$(cat "$work/channel-$channel.err")"
  check "channel $channel: closed with exit code 0" "0" "$(cat "$work/channel-$channel.exit")"
done

# No level (the " -- |" line) and failed samples: no tone, a short tick for each sample.
for scenario in zero-level set-fails; do
  figures=$(heard "$scenario" "$scenario")
  check "$scenario: silent but for the ticks" "yes" "$(below "$(figure sounding "$figures")" 0.3)"
  check "$scenario: at least a tick a sample for two seconds" "yes" "$(below 7 "$(figure bursts "$figures")")"
  check "$scenario: each tick shorter than 60 ms" "yes" "$(below "$(figure longest_ms "$figures")" 60)"
done
check "zero-level: the lines say no level" " -- " "$(cut -c1-4 "$work/zero-level.out" | sort -u)"

# A level that moves from sample to sample (noise and fading): the pitch follows without a click,
# and the close fades the tone out rather than cutting it.
figures=$(heard moving default)
check "moving level: pitches apart by more than the noise" "yes" \
  "$(below 2 "$(cut -c1-5 "$work/moving.out" | sort -u | wc -l)")"
check "moving level: no click (largest step $(figure jump "$figures") of a pure tone's)" "yes" \
  "$(below "$(figure jump "$figures")" 1)"

# No sound server at all: one line on standard error, and the mode samples on, silent.
PULSE_SERVER=unix:$work/no-such-server QUORVEX_SIM=steady "$program" --align >"$work/silent.out" 2>"$work/silent.err" &
silent=$!
started+=("$silent")
wait_until 20 has_lines "$work/silent.out" /dev/null 12
check "no server: still sampling" "yes" "$(kill -0 "$silent" 2>/dev/null && echo yes || echo no)"
check "no server: one line" "quorvex: no sound: no sound server; the alignment mode runs silent" "$(cat "$work/silent.err")"
"$x_client" close Quorvex
wait_until 15 ended "$silent"
wait "$silent"
check "no server: closed with exit code 0" "0" "$?"

[ "$failures" -eq 0 ] && [ "$checks" -gt 0 ]
