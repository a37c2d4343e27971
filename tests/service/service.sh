#!/usr/bin/env bash
# The system service as Debian's own tools see it: systemd verifies its units and rates the
# service's exposure SAFE; systemd's socket activation hands the metrics' socket to the program;
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
cp "$dist/quorvex@.service" "$dist/quorvex@.socket" "$root/lib/systemd/system/"
check "systemd-analyze verify" "" "$(systemd-analyze --root="$root" --man=no verify quorvex@0.service quorvex@0.socket 2>&1)"
exposure=$(systemd-analyze security --offline=true --root="$root" quorvex@0.service 2>&1 | grep 'Overall exposure')
check "systemd-analyze security: SAFE" yes "$(echo "$exposure" | grep -q ' SAFE ' && echo yes || echo "no: $exposure")"

# Socket activation: systemd's tool holds the socket, and starts the program with it at the first
# connection.
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
systemd-socket-activate -l "127.0.0.1:$port" -E QUORVEX_SIM -E TZ "$program" --metrics systemd --log "$work/activated.csv" \
  >"$work/activated.out" 2>"$work/activated.err" &
started+=($!)
sleep 0.5
first=$(curl -s --max-time 20 "http://127.0.0.1:$port/metrics")
check "the handed-over socket answers" yes "$(echo "$first" | grep -q '^quorvex_samples_total' && echo yes || echo no)"
samples() { grep -q '^quorvex_level_decibels' <(curl -s "http://127.0.0.1:$port/metrics"); }
check "and serves samples" 0 "$(wait_until 20 samples; echo $?)"
check "socket activation: standard error" "" "$(grep -v 'Listening on\|Communication attempt\|Execing' "$work/activated.err")"

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
header=time,channel,band,frequency_khz,level_db,error_ratio,state
check "the new log starts with the header" "$header" "$(head -1 "$work/logs/adapter0.csv")"
# Every sample line has its row, in one log or the other, whole, one a second.
all=$(cat "$work/logs/adapter0.csv.1" "$work/logs/adapter0.csv" | grep -v "^$header\$")
check "every row whole" 0 "$(echo "$all" | grep -cvE '^[-0-9T:+]+,13,UHF,473000,[0-9.]+,[0-9.E+-]+,ok$')"
check "a row for every sample line" "$(wc -l <"$work/rotated.out")" "$(echo "$all" | wc -l)"
check "one row a second, none lost" 0 "$(echo "$all" | cut -d, -f1 | while read -r when; do date -u -d "$when" +%s; done |
  awk 'NR > 1 && $1 - last != 1 { bad++ } { last = $1 } END { print bad + 0 }')"
check "rotation: standard error" "" "$(cat "$work/rotated.err")"
[ "$checks" -gt 0 ] && [ "$failures" -eq 0 ]
