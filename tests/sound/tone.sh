#!/usr/bin/env bash
# The alignment tone of the real quorvex binary, heard through a real PulseAudio server started
# here with a null sink and recorded from its monitor with the server's own recorder; numpy
# measures the recording (measure.py). The simulated tuner's steady scenario gives known levels,
# and on a multiplex its layers' known margins: the pitch must be what the alignment mode's
# formulas (docs/alignment.md) give for the weakest layer's margin, or for the level where there is
# no lock, within 1 %; a sample without a level must give ticks and no tone; a level that moves from sample to
# sample must glide without a click, nor the close that ends the tone. Without sound (no server,
# or one that never answers) one line says why and the samples go on, none held up; a server
# killed mid-run and started again gives one line when it goes and one when it is back, and the
# tone heard again from the new server. The program runs on Xvfb, so that each run ends through
# its close box. Every wait is bounded.
#
#   tests/sound/tone.sh QUORVEX X_CLIENT
set -uo pipefail
program=$(realpath "$1")
x_client=$(realpath "$2")
source "$(dirname "$0")/../support/checks.sh"
needs pulseaudio "Debian's pulseaudio"
needs parec "Debian's pulseaudio-utils"
/usr/bin/python3 -c 'import numpy' 2>/dev/null || { echo "SKIP: numpy is not installed (Debian's python3-numpy)"; exit 77; }
unset WAYLAND_DISPLAY # a Wayland session tries it before DISPLAY
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
console_lines() { [ "$(cat "$1" 2>/dev/null | grep -c '^ ')" -ge "$2" ]; }
recording() { [ -s "$1" ]; }
ended() { ! kill -0 "$1" 2>/dev/null; }
playing() { [ -n "$(pactl list short sink-inputs 2>/dev/null)" ]; }
# Records the sink's monitor into $work/NAME.raw until measured.
record() { # name
  parec -d roof.monitor --format=s16le --rate=48000 --channels=1 --raw --latency-msec=20 >"$work/$1.raw" &
  recorder=$!
  started+=("$recorder")
  wait_until 10 recording "$work/$1.raw"
}
# What the server still held when the program ended reaches the monitor, then silence; prints
# measure.py's figures.
measured() { # name
  sleep 0.3
  kill -INT "$recorder" && wait "$recorder" 2>/dev/null
  /usr/bin/python3 "$(dirname "$0")/measure.py" "$work/$1.raw"
}
# Closes the program with its close box; its exit code in $work/NAME.exit.
closed() { # pid, name
  "$x_client" close Quorvex
  wait_until 15 ended "$1" || kill "$1"
  wait "$1"
  echo $? >"$work/$2.exit"
}
# Runs the program in alignment mode for 12 samples (3 s; each writes a line on standard output or
# error) while the sink's monitor is recorded, then closes it; prints measure.py's figures.
# Standard output and error stay in $work/NAME.out and .err, the milliseconds from the first sample
# to the twelfth in $work/NAME.ms.
heard() { # name, scenario, options...
  record "$1"
  QUORVEX_SIM=$2 QUORVEX_SIM_SEED=3 "$program" --align "${@:3}" >"$work/$1.out" 2>"$work/$1.err" &
  local run=$! begun
  started+=("$run")
  # The pace from the first sample on: the start-up before it, however slow, is not the mode's.
  wait_until 20 has_lines "$work/$1.out" "$work/$1.err" 1
  begun=$(date +%s%N)
  wait_until 20 has_lines "$work/$1.out" "$work/$1.err" 12
  echo $((($(date +%s%N) - begun) / 1000000)) >"$work/$1.ms"
  closed "$run" "$1"
  measured "$1"
}
figure() { sed -n "s/^$1 //p" <<<"$2"; }
within() { awk -v a="$1" -v b="$2" -v share="$3" 'BEGIN { print (a - b <= b * share && b - a <= b * share) ? "yes" : "no" }'; }
below() { awk -v a="$1" -v b="$2" 'BEGIN { print (a < b) ? "yes" : "no" }'; }

# The steady tuner gives 30.0 dB on channel 13, 14.0 dB on channel 24 and -3.0 dB where nothing is
# broadcast (channel 14). Its layer B, 0.2 dB below the level, needs 20.1 dB for 64QAM 3/4: a
# margin of 9.7 dB on channel 13 and -6.3 dB on channel 24, the weaker of the two layers; the pitch
# 440 Hz x 2^(margin / 12). Without a lock there are no layers: 220 Hz x 2^(level / 24).
for case in "13 30.0 770.52" "24 14.0 305.78" "14 -3.0 201.74"; do
  read -r channel level hz <<<"$case"
  figures=$(heard "channel-$channel" steady --channel "$channel" --interval 10)
  check "channel $channel: every line at $level dB" "$level" "$(cut -c1-5 "$work/channel-$channel.out" | sort -u | tr -d ' ')"
  # Eleven intervals: 2.75 s at four samples a second, 110 s at the --interval's pace.
  check "channel $channel: four samples a second despite --interval 10 (11 intervals in $(cat "$work/channel-$channel.ms") ms)" \
    "yes" "$(below "$(cat "$work/channel-$channel.ms")" 8000)"
  check "channel $channel: pitch $hz Hz within 1 % (heard $(figure pitch "$figures"))" "yes" \
    "$(within "$(figure pitch "$figures")" "$hz" 0.01)"
  check "channel $channel: a tone that sounds throughout (held $(figure held "$figures"))" "yes" \
    "$(below 0.9 "$(figure held "$figures")")"
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

# Without sound, one line says why, whatever the server does and however often the tone is tried
# again (once a second), and the mode samples on. A server that never answers holds nothing up: the
# console lines come from the first sample on, before the line that says so. Each row: the server,
# how many console lines come before the line at least, and the line.
/usr/bin/python3 -c '
import socket, sys
server = socket.socket(socket.AF_UNIX)
server.bind(sys.argv[1])
server.listen(16)
held = []
while True:
    held.append(server.accept()[0])
' "$work/mute" &
started+=($!)
wait_until 10 test -S "$work/mute"
while IFS='|' read -r name server before line; do
  PULSE_SERVER=$server QUORVEX_SIM=steady "$program" --align >"$work/$name.both" 2>&1 </dev/null &
  run=$!
  started+=("$run")
  wait_until 20 console_lines "$work/$name.both" 12
  check "$name: still sampling" "yes" "$(ended "$run" && echo no || echo yes)"
  check "$name: one line" "$line" "$(grep -v '^ ' "$work/$name.both")"
  first=$(sed -n '/^quorvex/q;p' "$work/$name.both" | wc -l)
  check "$name: $before console lines or more before it ($first)" "yes" "$(below $((before - 1)) "$first")"
  closed "$run" "$name" </dev/null
  check "$name: closed with exit code 0" "0" "$(cat "$work/$name.exit")"
done <<ROWS
no server|unix:$work/no-such-server|0|quorvex: no sound: no sound server; the alignment mode runs silent
mute server|unix:$work/mute|1|quorvex: no sound: the sound server does not answer; the alignment mode runs silent
ROWS

# The server killed mid-run and started again at the same address: one line when it goes, four
# samples a second meanwhile, one line when it is back, and the tone heard from the new server at
# its pitch. (How it starts cannot be heard here: the null sink's monitor loses the first
# milliseconds of any new stream.)
QUORVEX_SIM=steady "$program" --align --channel 13 >"$work/return.out" 2>"$work/return.err" &
run=$!
started+=("$run")
wait_until 20 playing
check "return: the tone plays before the server goes" "yes" "$(playing && echo yes || echo no)"
kill -KILL "$sound_server"
wait "$sound_server" 2>/dev/null
wait_until 10 has_lines "$work/return.err" /dev/null 1
gone_at=$(lines "$work/return.out" /dev/null) begun=$(date +%s%N)
wait_until 20 has_lines "$work/return.out" /dev/null $((gone_at + 12))
ms=$((($(date +%s%N) - begun) / 1000000))
check "return: four samples a second without a server (12 in $ms ms)" "yes" "$(below "$ms" 4500)"
check "return: one line when it goes" "quorvex: no sound: the sound server went away; the alignment mode runs silent" \
  "$(cat "$work/return.err")"
start_sound_server
record return
wait_until 10 has_lines "$work/return.err" /dev/null 2
back_at=$(lines "$work/return.out" /dev/null)
wait_until 20 has_lines "$work/return.out" /dev/null $((back_at + 12))
closed "$run" return
figures=$(measured return)
check "return: one line when it is back" "quorvex: sound: the sound server is back; the tone plays again" \
  "$(sed -n '2,$p' "$work/return.err")"
check "return: pitch 770.52 Hz within 1 % (heard $(figure pitch "$figures"))" "yes" \
  "$(within "$(figure pitch "$figures")" 770.52 0.01)"
check "return: closed with exit code 0" "0" "$(cat "$work/return.exit")"

[ "$failures" -eq 0 ] && [ "$checks" -gt 0 ]
