#!/usr/bin/env bash
# script/run as a newcomer uses it: it builds what is missing and starts the program, and its
# standard output carries the sample lines only, so `script/run > levels.txt` is a clean log.
#
#   tests/process/script_run.sh
set -uo pipefail
cd "$(dirname "$0")/../.."
work=$(mktemp -d)
trap 'kill "$pid" 2>/dev/null; rm -rf "$work"' EXIT

# A build to do, so its output has to go somewhere.
rm -f build/run/quorvex
env -u DISPLAY -u WAYLAND_DISPLAY QUORVEX_SIM=default script/run >"$work/out" 2>"$work/err" &
pid=$!
deadline=$((SECONDS + 600))
until [ "$(wc -l <"$work/out")" -ge 3 ] || [ "$SECONDS" -ge "$deadline" ] || ! kill -0 "$pid" 2>/dev/null; do
  sleep 0.5
done
kill "$pid" 2>/dev/null
wait "$pid" 2>/dev/null

source tests/support/checks.sh
check "samples on standard output" 3 "$(head -3 "$work/out" | wc -l)"
check "nothing but sample lines on standard output" "" \
  "$(grep -v -E '^ ([-0-9. ]{4}|--) \| ([-+0-9.E ]{9}|--------- )$' "$work/out")"
check "the build reported on standard error" yes "$(grep -q 'Linking CXX executable quorvex' "$work/err" && echo yes || echo no)"
[ "$failures" -eq 0 ]
