#!/usr/bin/env bash
# The system service as Debian's own tools see it: systemd verifies its units and rates the
# service's exposure SAFE; systemd's socket activation hands the metrics' sockets to the program,
# which serves each, and sockets it cannot serve are a configuration error;
# logrotate, with the rule the package ships, moves the log aside while the program runs, and no
# row is lost or torn.
#
#   tests/service/service.sh QUORVEX
set -uo pipefail
program=$(realpath "$1")
dist=$(cd "$(dirname "$0")/../../dist/linux" && pwd)
source "$(dirname "$0")/../support/checks.sh"
needs systemd-analyze "Debian's systemd"
needs systemd-socket-activate "Debian's systemd"
needs logrotate "Debian's logrotate"
needs curl "Debian's curl"

work=$(mktemp -d)
started=()
trap 'kill "${started[@]}" 2>/dev/null; wait 2>/dev/null; rm -rf "$work"' EXIT
export QUORVEX_SIM=default TZ=UTC
unset DISPLAY WAYLAND_DISPLAY

# The units as installed, beside the system's own targets, in a root of their own.
root=$work/root
mkdir -p "$root/lib/systemd/system" "$root/usr/bin"
cp "$program" "$root/usr/bin/quorvex"
cp /lib/systemd/system/*.target /lib/systemd/system/*.slice "$root/lib/systemd/system/"
cp "$dist"/quorvex@.* "$dist"/quorvex-device@.* "$root/lib/systemd/system/"
# A device's socket is given its port by a drop-in, as its comment says.
mkdir -p "$root/etc/systemd/system/quorvex-device@px4video2.socket.d"
printf '[Socket]\nListenStream=127.0.0.1:19120\n' >"$root/etc/systemd/system/quorvex-device@px4video2.socket.d/port.conf"
check "systemd-analyze verify" "" "$(systemd-analyze --root="$root" --man=no verify quorvex@0.service quorvex@0.socket \
  quorvex-device@px4video2.service quorvex-device@px4video2.socket 2>&1)"
for unit in quorvex@0.service quorvex-device@px4video2.service; do
  exposure=$(systemd-analyze security --offline=true --root="$root" "$unit" 2>&1 | grep 'Overall exposure')
  check "systemd-analyze security of $unit: SAFE" yes "$(echo "$exposure" | grep -q ' SAFE ' && echo yes || echo "no: $exposure")"
done

# Socket activation: systemd's tool holds the sockets, two as a drop-in with a second ListenStream=
# gives, and starts the program with them at the first connection.
free_port() { python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'; }
port=$(free_port)
second=$(free_port)
systemd-socket-activate -l "127.0.0.1:$port" -l "127.0.0.1:$second" -E QUORVEX_SIM -E TZ "$program" --metrics systemd \
  --log "$work/activated.csv" >"$work/activated.out" 2>"$work/activated.err" &
started+=($!)
listening() { [ "$(grep -c 'Listening on' "$work/activated.err")" -eq 2 ]; }
require "systemd-socket-activate listens" 0 "$(wait_until 10 listening; echo $?)"
first=$(curl -s --max-time 20 "http://127.0.0.1:$port/metrics")
check "the handed-over socket answers" yes "$(echo "$first" | grep -q '^quorvex_samples_total' && echo yes || echo no)"
samples() { grep -q '^quorvex_level_decibels' <(curl -s "http://127.0.0.1:$port/metrics"); }
check "and serves samples" 0 "$(wait_until 20 samples; echo $?)"
check "the second handed-over socket answers too" yes \
  "$(curl -s --max-time 5 "http://127.0.0.1:$second/metrics" | grep -q '^quorvex_level_decibels' && echo yes || echo no)"
check "socket activation: standard error" "" "$(grep -v 'Listening on\|Communication attempt\|Execing' "$work/activated.err")"

# Sockets the program cannot serve are a configuration error: one line and exit code 2, on which
# the unit does not restart. The case's socket on descriptor 3, meant for this process or for the
# one that started it.
hand_over() { # none, stream or datagram; self or parent
  timeout 20 python3 - "$program" "$@" 2>&1 <<'PYTHON'
import os, socket, sys
program, kind, meant_for = sys.argv[1:]
if kind != "none":
    s = socket.socket(type=socket.SOCK_STREAM if kind == "stream" else socket.SOCK_DGRAM)
    s.bind(("127.0.0.1", 0))
    if kind == "stream":
        s.listen()
    os.dup2(s.fileno(), 3)
    os.environ["LISTEN_FDS"] = "1"
    os.environ["LISTEN_PID"] = str(os.getpid() if meant_for == "self" else os.getppid())
os.execv(program, [program, "--metrics", "systemd"])
PYTHON
  echo "exit code $?"
}
none="quorvex: --metrics systemd: the service manager handed over no listening socket; see quorvex --help"
check "no socket handed over" "$none
exit code 2" "$(hand_over none self)"
check "a socket meant for another process" "$none
exit code 2" "$(hand_over stream parent)"
check "a datagram socket" "quorvex: --metrics systemd: the service manager handed over descriptor 3, which is not a \
listening stream socket; see quorvex --help
exit code 2" "$(hand_over datagram self)"
check "the unit does not restart on exit code 2" "RestartPreventExitStatus=2" \
  "$(grep '^RestartPreventExitStatus=' "$dist/quorvex@.service")"

# The shipped rule, for a log of this test's: rotated while the program runs.
sed "s|/var/log/quorvex/|$work/logs/|" "$dist/quorvex.logrotate" >"$work/logrotate.conf"
mkdir -p "$work/logs"
"$program" --log "$work/logs/adapter0.csv" >"$work/rotated.out" 2>"$work/rotated.err" &
pid=$!
started+=("$pid")
rows() { [ -f "$1" ] && [ "$(($(wc -l <"$1") - 1))" -ge "$2" ]; }
wait_until 30 rows "$work/logs/adapter0.csv" 3
logrotate -f -s "$work/logrotate.state" "$work/logrotate.conf"
check "logrotate moved the log aside" yes "$([ -f "$work/logs/adapter0.csv.1" ] && echo yes || echo no)"
wait_until 30 rows "$work/logs/adapter0.csv" 3
kill "$pid"
wait "$pid" 2>/dev/null
header=time,channel,band,frequency_khz,level_db,error_ratio,state,layer_a_modulation,layer_a_code_rate,layer_a_segments
header+=,layer_a_cnr_db,layer_a_margin_db,layer_a_verdict,layer_b_modulation,layer_b_code_rate,layer_b_segments
header+=,layer_b_cnr_db,layer_b_margin_db,layer_b_verdict,layer_c_modulation,layer_c_code_rate,layer_c_segments
header+=,layer_c_cnr_db,layer_c_margin_db,layer_c_verdict
check "the new log starts with the header" "$header" "$(head -1 "$work/logs/adapter0.csv")"
# Every sample line has its row, in one log or the other, whole, in the lines' order, none lost:
# the rows' level and ratio, written as the line writes them, are the lines.
all=$(cat "$work/logs/adapter0.csv.1" "$work/logs/adapter0.csv" | grep -v "^$header\$")
check "every row whole" 0 "$(echo "$all" | grep -cvE '^[-0-9T:+]+,13,UHF,473000,[0-9]+\.[0-9],[0-9]\.[0-9]{2}E[-+][0-9]{2},ok(,[0-9A-Za-z/.-]*){18}$')"
check "a row for every sample line, in order, none lost" "$(cat "$work/rotated.out")" \
  "$(echo "$all" | awk -F, '{ printf " %4s | %9s\n", $5, $6 }')"
check "rotation: standard error" "" "$(cat "$work/rotated.err")"
[ "$checks" -gt 0 ] && [ "$failures" -eq 0 ]
