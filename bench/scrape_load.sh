#!/usr/bin/env bash
# The metrics under load, on loopback: ab scrapes as fast as it can with four connections while
# the program samples once a second. Reports resident memory after 1,000 scrapes and after 100,000
# more, then, over 10 s of scraping, the scrapes' latency (median, 99th percentile) and how late
# the ticks came meanwhile (the gaps between sample lines, against the second).
#
#   bench/scrape_load.sh QUORVEX
set -euo pipefail
program=$(realpath "$1")
work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null; wait 2>/dev/null; rm -rf "$work"' EXIT
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')

# Each sample line with the moment it arrived.
env -u DISPLAY -u WAYLAND_DISPLAY QUORVEX_SIM=default "$program" --metrics "$port" --log "$work/levels.csv" |
  python3 -c 'import sys, time
for line in sys.stdin:
    print("%.6f" % time.monotonic(), flush=True)' >"$work/ticks" &
until curl -sf "http://127.0.0.1:$port/metrics" >/dev/null; do sleep 0.1; done
pid=$(pgrep -n -f -- "--metrics $port")
resident() { awk '/^VmRSS/ { print $2 " kB" }' "/proc/$pid/status"; }

ab -q -n 1000 -c 4 "http://127.0.0.1:$port/metrics" >/dev/null
echo "resident memory after 1,000 scrapes: $(resident)"
ab -q -n 100000 -c 4 "http://127.0.0.1:$port/metrics" >/dev/null
echo "resident memory after 100,000 more: $(resident)"
from=$(wc -l <"$work/ticks")
ab -q -t 10 -n 10000000 -c 4 -e "$work/percentiles.csv" "http://127.0.0.1:$port/metrics" >"$work/ab.txt"
to=$(wc -l <"$work/ticks")
echo "resident memory after 10 s more of them: $(resident)"
grep -E "^(Requests per second|Time taken)" "$work/ab.txt"
awk -F, '$1 == 50 || $1 == 99 { printf "scrape latency, %s%%: %.2f ms\n", $1, $2 }' "$work/percentiles.csv"
sed -n "$((from + 1)),${to}p" "$work/ticks" | awk 'NR > 1 { late = ($1 - last) * 1000 - 1000; if (late < 0) late = -late;
    sum += late; if (late > most) most = late; n++ } { last = $1 }
  END { if (n) printf "ticks while scraped: %d, off the second by %.2f ms on average, %.2f ms at most\n", n, sum / n, most }'
