#!/usr/bin/env bash
# A real Prometheus, Debian's, scrapes the program twice a second while it samples four times a
# second in alignment mode on the simulated ISDB-T receiver, until the tuner is pulled. Prometheus
# drops no sample for a duplicate timestamp, and counts every level the program printed; the
# level and the receiver's own figures are absent from the first scrape after the signal went,
# while the counters stay as they were; the layers' counters add up to the whole's; each layer's
# margin is its C/N less what ITU-R BT.1306 gives its modulation and code rate, on the page as in
# the log, whose verdicts follow the margins; its counter of samples by state is the log's rows per
# state; the examples of docs/metrics.md answer. promtool finds nothing to say about a scraped page.
#
#   tests/metrics/prometheus.sh QUORVEX
set -uo pipefail
program=$(realpath "$1")
source "$(dirname "$0")/../support/checks.sh"
needs prometheus "Debian's prometheus"
needs promtool "Debian's prometheus"
needs curl "Debian's curl"
needs jq "Debian's jq"

work=$(mktemp -d)
started=()
trap 'kill "${started[@]}" 2>/dev/null; wait 2>/dev/null; rm -rf "$work"' EXIT
free_port() { python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'; }
quorvex_port=$(free_port)
prometheus_port=$(free_port)

start_prometheus "$work" "$quorvex_port" "$prometheus_port"
# Prometheus hands its targets to the scrapes some seconds after it starts: the program starts once
# its target is being scraped, so that its first sample is not missed.
scraping() { curl -sf "http://127.0.0.1:$prometheus_port/api/v1/targets" | grep -q '"lastScrape":"2'; }
require "Prometheus scrapes the program's address" 0 "$(wait_until 30 scraping; echo $?)"

# Forty samples with a level, then the tuner is pulled.
env -u DISPLAY -u WAYLAND_DISPLAY TZ=UTC QUORVEX_SIM=unplug-after=40 QUORVEX_SIM_SEED=3 "$program" --align \
  --log "$work/levels.csv" --metrics "127.0.0.1:$quorvex_port" >"$work/out" 2>"$work/err" &
started+=($!)

page_with_layers() {
  curl -sf "http://127.0.0.1:$quorvex_port/metrics" >"$work/page" && grep -q '^quorvex_frontend_layer_' "$work/page"
}
require "a page with the receiver's layers" 0 "$(wait_until 30 page_with_layers; echo $?)"
check "promtool on a scraped page" "" "$(promtool check metrics <"$work/page" 2>&1)"
check "the layers the simulated multiplex carries" \
  "$(printf '%s\n' 'quorvex_frontend_layer_info{layer="a",modulation="QPSK",code_rate="2/3",segments="1"} 1' \
    'quorvex_frontend_layer_info{layer="b",modulation="64QAM",code_rate="3/4",segments="12"} 1')" \
  "$(grep '^quorvex_frontend_layer_info' "$work/page")"

query() { # PromQL at a time: an instant's values, or a range's points as "time value"
  curl -sf --get "http://127.0.0.1:$prometheus_port/api/v1/query" --data-urlencode "query=$1" \
    --data-urlencode "time=$2" | jq -r '.data.result[] | if .value then .value[1] else .values[] | "\(.[0]) \(.[1])" end'
}
# The first scrape that saw the tuner gone, and one more after it, when every count has stopped.
failures_seen() { [ "$(query 'quorvex_samples_total{state="failed"}[1m]' "$(date +%s.%N)" | awk '$2 > 0' | wc -l)" -ge 2 ]; }
require "Prometheus saw the tuner gone" 0 "$(wait_until 60 failures_seen; echo $?)"
moment=$(date +%s.%N)
gone=$(query 'quorvex_samples_total{state="failed"}[1m]' "$moment" | awk '$2 > 0 { print $1; exit }')
before=$(awk -v t="$gone" 'BEGIN { printf "%.3f", t - 0.001 }')

check "the level at the scrape before" 1 "$(query quorvex_level_decibels "$before" | wc -l)"
for absent in quorvex_level_decibels quorvex_bit_error_ratio quorvex_frontend_status \
  quorvex_frontend_carrier_to_noise_decibels quorvex_frontend_layer_carrier_to_noise_decibels \
  quorvex_frontend_layer_info quorvex_frontend_layer_margin_decibels; do
  check "$absent absent from the first scrape after the signal went" "" "$(query "$absent" "$gone")"
done
kinds="pre_bit_errors pre_bit_count post_bit_errors post_bit_count error_blocks blocks"
for kind in $kinds; do
  counter=quorvex_frontend_${kind}_total
  check "$counter stays, unchanged" "$(query "$counter" "$moment")" "$(query "$counter" "$gone")"
  check "sum() of the layers' $kind is the whole's" "$(query "$counter" "$moment")" \
    "$(query "sum(quorvex_frontend_layer_${kind}_total)" "$moment")"
done

# Every sample Prometheus was given is stored: none has its time, so none can clash.
duplicates=$(curl -sf "http://127.0.0.1:$prometheus_port/metrics" |
  awk '/^prometheus_target_scrapes_sample_duplicate_timestamp_total / { print $2 }')
check "no sample dropped for a duplicate timestamp" 0 "$duplicates"
# And every sample is in the summaries: the count of levels is the count of lines with one, their sum
# the lines' levels' within the lines' rounding.
levels=$(grep -v '^ -- ' "$work/out" | cut -d'|' -f1)
check "every level counted" "$(echo "$levels" | wc -l)" \
  "$(query 'sum(quorvex_sampled_level_decibels_count)' "$moment")"
check "the levels summed" yes "$(echo "$levels" | awk -v sum="$(query 'quorvex_sampled_level_decibels_sum{sign="positive"}' "$moment")" \
  '{ total += $1 } END { print (sum - total < NR * 0.05 && total - sum < NR * 0.05) ? "yes" : "no: " sum " against " total }')"
# The examples of docs/metrics.md: the mean level lies within the levels, and each layer has a ratio.
check "the mean level of every sample" yes "$(echo "$levels" | awk -v mean="$(query '(rate(quorvex_sampled_level_decibels_sum{sign="positive"}[1m])
  - ignoring(sign) rate(quorvex_sampled_level_decibels_sum{sign="negative"}[1m]))
  / ignoring(sign) sum without(sign) (rate(quorvex_sampled_level_decibels_count[1m]))' "$moment")" \
  'NR == 1 || $1 < low { low = $1 } NR == 1 || $1 > high { high = $1 }
   END { print (mean != "" && mean >= low - 0.05 && mean <= high + 0.05) ? "yes" : "no: " mean " beside " low " to " high }')"
check "the ratio of each layer in use" 2 "$(query 'rate(quorvex_frontend_layer_post_bit_errors_total[1m])
  / rate(quorvex_frontend_layer_post_bit_count_total[1m])' "$moment" | grep -c '^[0-9]')"
for state in ok no-level no-ratio ratio-failed; do
  check "samples counted as $state" "$(awk -F, -v state="$state" '$7 == state' "$work/levels.csv" | wc -l)" \
    "$(query "quorvex_samples_total{state=\"$state\"}" "$moment")"
done
# The margins: QPSK 2/3 needs 6.6 dB, 64QAM 3/4 20.1 dB; on the page to the driver's 0.001 dB, in
# the log to the 0.1 dB of its C/N, each verdict good from 3 dB on, marginal from 0.
check "the required C/N of each layer" "6.6 20.1" \
  "$(query 'quorvex_frontend_layer_required_carrier_to_noise_decibels' "$before" | sort -n | xargs)"
check "each layer's margin on the page, its C/N less that" "0 0" "$(query 'round(1000 * (
  quorvex_frontend_layer_carrier_to_noise_decibels - quorvex_frontend_layer_required_carrier_to_noise_decibels
  - quorvex_frontend_layer_margin_decibels))' "$before" | xargs)"
check "each row's margins and verdicts" "" "$(awk -F, 'NR > 1 && $7 == "ok" {
  for (i = 0; i < 2; i++) {
    cnr = $(11 + 6 * i); margin = $(12 + 6 * i); verdict = $(13 + 6 * i); need = i ? 20.1 : 6.6
    judged = margin >= 3 ? "good" : margin >= 0 ? "marginal" : "failing"
    if (cnr - need - margin > 0.051 || margin - cnr + need > 0.051 || verdict != judged)
      print NR ": " $0
  } }' "$work/levels.csv")"
check "the program's standard error" "" "$(grep -v 'IKsPropertySet.Set\|no sound server' "$work/err")"
[ "$checks" -gt 0 ] && [ "$failures" -eq 0 ]
