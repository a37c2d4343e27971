#!/usr/bin/env bash
# The shipped alert rules in Debian's real Prometheus, scraping the program on the simulated
# receiver: each alert goes to firing through Prometheus's own API when the receiver is down,
# unplugged, without a level, on a weak channel or on an empty one, and every alert is inactive
# again once the program runs on a good channel. The shipped Grafana dashboard is a provisioning
# model whose every query answers from the same Prometheus.
#
#   tests/metrics/alerts.sh QUORVEX
set -uo pipefail
program=$(realpath "$1")
dist=$(dirname "$0")/../../dist
source "$(dirname "$0")/../support/checks.sh"
needs python3 "Debian's python3"
work=$(mktemp -d)
started=()
trap 'kill "${started[@]}" 2>/dev/null; wait 2>/dev/null; rm -rf "$work"' EXIT

# The dashboard's structure, as Grafana's provisioning reads it; its queries, one a line.
queries=$(python3 - "$dist/grafana/quorvex-dashboard.json" 2>"$work/dashboard-problems" <<'CHECK'
import json, sys
board = json.load(open(sys.argv[1]))
def problem(text): print(text, file=sys.stderr)
for key in ("uid", "title", "schemaVersion", "panels"):
    if key not in board: problem("no " + key)
variables = {v["name"]: v for v in board.get("templating", {}).get("list", [])}
if variables.get("datasource", {}).get("type") != "datasource" or variables["datasource"].get("query") != "prometheus":
    problem("no Prometheus datasource variable")
if variables.get("instance", {}).get("query", {}).get("query") != "label_values(quorvex_info, instance)":
    problem("no instance variable from quorvex_info")
for panel in board.get("panels", []):
    name = panel.get("title", "a panel")
    if not panel.get("fieldConfig", {}).get("defaults", {}).get("unit"): problem(name + ": no unit")
    if not panel.get("targets"): problem(name + ": no query")
    for target in [panel] + panel.get("targets", []):
        if target.get("datasource", {}).get("uid") != "${datasource}": problem(name + ": datasource not the variable's")
    for target in panel.get("targets", []):
        if '$instance' not in target.get("expr", ""): problem(name + ": a query not of the chosen receivers")
        print(target.get("expr", ""))
CHECK
)
check "the dashboard's structure" "" "$(cat "$work/dashboard-problems")"
needs prometheus "Debian's prometheus"
needs curl "Debian's curl"
needs jq "Debian's jq"

free_port() { python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'; }
quorvex_port=$(free_port)
prometheus_port=$(free_port)

# The shipped rules with every "for:" shortened to 2 s and every 5-minute window to 6 s (six
# samples), so that each alert fires within seconds, and clears within seconds.
sed 's/^\( *for:\) .*/\1 2s/; s/\[5m\]/[6s]/g' "$dist/prometheus/quorvex-rules.yml" >"$work/rules.yml"
start_prometheus "$work" "$quorvex_port" "$prometheus_port" "$work/rules.yml"

api() { curl -sf "http://127.0.0.1:$prometheus_port/api/v1/$1"; }
firing() { api alerts | jq -r '[.data.alerts[] | select(.state == "firing") | .labels.alertname] | unique | join(" ")'; }
alerts() { api alerts | jq -r '[.data.alerts[].labels.alertname] | unique | join(" ")'; }
alerts_are() { [ "$(firing)" == "$1" ] && [ "$(alerts)" == "$1" ]; }
program_pid=
sampled_since() { [ -n "$(api "query?query=quorvex_last_sample_timestamp_seconds>=$1" | jq -r '.data.result[]')" ]; }
run() { # scenario, options...: the program in place of the one before, once Prometheus has its first sample
  [ -z "$program_pid" ] || { kill "$program_pid"; wait "$program_pid"; }
  local start
  start=$(date +%s)
  env -u DISPLAY -u WAYLAND_DISPLAY QUORVEX_SIM="$1" "$program" "${@:2}" --metrics "127.0.0.1:$quorvex_port" \
    >>"$work/out" 2>>"$work/err" &
  program_pid=$!
  started+=($!)
  wait_until 30 sampled_since "$start"
}
expect() { # alerts firing, scenario, options...
  run "${@:2}"
  wait_until 60 alerts_are "$1"
  check "alerts on ${*:2}" "$1" "$(firing)"
}

wait_until 30 alerts_are QuorvexDown
check "alerts with nothing to scrape" QuorvexDown "$(firing)"
expect "QuorvexSamplesFailing QuorvexUnplugged" unplug-after=2
check "the unplugged receiver's summary" \
  "Quorvex 127.0.0.1:$quorvex_port (channel 13 UHF): the tuner reports nothing, N failed samples/s" \
  "$(api alerts | jq -r '.data.alerts[] | select(.labels.alertname == "QuorvexUnplugged") | .annotations.summary' |
    sed 's/, [0-9.]* failed/, N failed/')"
expect "" steady
expect QuorvexSamplesFailing zero-level
expect "" steady
# Channel 24 at 14 dB, its ratio 3e-4: weak, and its errors above 2e-4.
expect "QuorvexCarrierToNoiseLow QuorvexErrorRatioHigh QuorvexLayerMarginGone QuorvexLevelLow" steady --channel 24
expect "QuorvexCarrierToNoiseLow QuorvexErrorRatioHigh QuorvexLevelLow QuorvexLockLost" steady --channel 14
expect "" steady

# Each of the dashboard's queries, for the receiver the test runs, answers. A scrape that a loaded
# machine made late marks the gauges stale until the next one: a query is given a few scrapes.
answers() { api "query?query=$(jq -rn --arg q "${1//\$__rate_interval/1m}" '$q | @uri')" |
  jq -r 'if (.data.result | length) > 0 then "yes" else "no" end'; }
answering() { [ "$(answers "$1")" == yes ]; }
while read -r query; do
  query=${query//\$instance/127.0.0.1:$quorvex_port}
  wait_until 10 answering "$query"
  check "the dashboard's $query" yes "$(answers "$query")"
done <<<"$queries"
check "the program's standard error" "" "$(grep -v 'IKsPropertySet.Set\|no sound server' "$work/err")"
[ "$checks" -gt 0 ] && [ "$failures" -eq 0 ]
