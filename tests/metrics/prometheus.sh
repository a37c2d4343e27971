#!/usr/bin/env bash
# A real Prometheus, Debian's, scrapes the program on the simulated tuner every second while it
# samples every two: the level series Prometheus stores is, sample for sample, the levels of the
# program's own log, and its counter of samples by state ends at the log's rows per state. promtool
# finds nothing to say about a scraped page.
#
#   tests/metrics/prometheus.sh QUORVEX
set -uo pipefail
program=$(realpath "$1")
source "$(dirname "$0")/../support/checks.sh"
needs prometheus "Debian's prometheus"
needs promtool "Debian's prometheus"
needs curl "Debian's curl"

work=$(mktemp -d)
started=()
trap 'kill "${started[@]}" 2>/dev/null; wait 2>/dev/null; rm -rf "$work"' EXIT
free_port() { python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'; }
quorvex_port=$(free_port)
prometheus_port=$(free_port)

cat >"$work/prometheus.yml" <<CONFIG
global:
  scrape_interval: 1s
scrape_configs:
  - job_name: quorvex
    static_configs:
      - targets: ["127.0.0.1:$quorvex_port"]
CONFIG
prometheus --config.file="$work/prometheus.yml" --storage.tsdb.path="$work/data" \
  --web.listen-address="127.0.0.1:$prometheus_port" >"$work/prometheus.log" 2>&1 &
started+=($!)
# Prometheus hands its targets to the scrapes some seconds after it starts: the program starts once
# its target is being scraped, so that its first sample is not missed.
scraping() { curl -sf "http://127.0.0.1:$prometheus_port/api/v1/targets" | grep -q '"lastScrape":"2'; }
require "Prometheus scrapes the program's address" 0 "$(wait_until 30 scraping; echo $?)"

# Six samples, then the tuner is pulled: rows of two states.
env -u DISPLAY -u WAYLAND_DISPLAY TZ=UTC QUORVEX_SIM=unplug-after=6 QUORVEX_SIM_SEED=3 "$program" --interval 2 \
  --log "$work/levels.csv" --metrics "127.0.0.1:$quorvex_port" >"$work/out" 2>"$work/err" &
started+=($!)

rows() { [ -f "$work/levels.csv" ] && [ "$(($(wc -l <"$work/levels.csv") - 1))" -ge "$1" ]; }
require "the program logs nine samples" 0 "$(wait_until 60 rows 9; echo $?)"

# What Prometheus holds as of a moment: its last scrape then, and the log's rows up to the sample
# that scrape saw. The program samples on meanwhile.
moment=$(date +%s.%N)
sleep 1.5
query() { # PromQL, as of the moment: an instant's value, or a range's points as "time value"
  curl -sf --get "http://127.0.0.1:$prometheus_port/api/v1/query" --data-urlencode "query=$1" \
    --data-urlencode "time=$moment" | python3 -c 'import json, sys
for r in json.load(sys.stdin)["data"]["result"]:
    if "value" in r:
        print(r["value"][1])
    for t, v in r.get("values", []):
        print(int(float(t)), "%.1f" % float(v))'
}
last=$(query quorvex_last_sample_timestamp_seconds)
require "a sample scraped by then" yes "$([ -n "$last" ] && echo yes || echo no)"
seen=$(tail -n +2 "$work/levels.csv" | while IFS=, read -r when rest; do
  [ "$(date -u -d "$when" +%s)" -le "$last" ] && echo "$(date -u -d "$when" +%s),$rest"
done)

# Each level in the log, at its time, beside each point of the stored series, rounded as the log
# rounds it.
check "the stored level series is the log's levels, sample for sample" \
  "$(echo "$seen" | awk -F, '$5 != "" { print $1, $5 }')" "$(query 'quorvex_level_decibels[10m]' | awk '$1 <= '"$last")"
check "six levels in the series" 6 "$(query 'quorvex_level_decibels[10m]' | wc -l)"
for state in ok no-level no-ratio ratio-failed failed; do
  check "samples counted as $state" "$(echo "$seen" | grep -c ",$state\$")" \
    "$(query "quorvex_samples_total{state=\"$state\"}")"
done
check "promtool on a scraped page" "" "$(curl -sf "http://127.0.0.1:$quorvex_port/metrics" | promtool check metrics 2>&1)"
check "the program's standard error" "" "$(grep -v 'IKsPropertySet.Set' "$work/err")"
[ "$checks" -gt 0 ] && [ "$failures" -eq 0 ]
