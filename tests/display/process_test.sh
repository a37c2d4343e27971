#!/usr/bin/env bash
# The built program as a script meets it: the answers that need no window, their streams and
# exit codes, and arguments that are not UTF-8 echoed back byte for byte.
#
#   tests/display/process_test.sh QUORVEX_BINARY
set -uo pipefail
program=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export QT_QPA_PLATFORM=offscreen QUORVEX_SIM=default

failures=0
check() { # name, expected, actual
  if [ "$2" == "$3" ]; then echo "ok   $1"; else echo "FAIL $1: expected [$2], got [$3]"; failures=$((failures + 1)); fi
}
run() { # options...: runs the program, keeping its streams and exit code
  timeout 30 "$program" "$@" >"$work/out" 2>"$work/err"
  status=$?
}

run --version
check "--version: standard output" "quorvex 1.0.0.1" "$(cat "$work/out")"
check "--version: exit code and standard error" "0:" "$status:$(cat "$work/err")"

run --help --channel=20
check "--help: first line" "Usage: quorvex [OPTION]..." "$(head -1 "$work/out")"
check "--help: exit code and standard error" "0:" "$status:$(cat "$work/err")"

run --interval 0
check "usage error: standard error" "quorvex: --interval 0: out of range (1 to 60); see quorvex --help" "$(cat "$work/err")"
check "usage error: exit code and standard output" "2:" "$status:$(cat "$work/out")"

run --channel $'\xff\xfe'
check "a byte that is not UTF-8 comes back as it was" \
  "$(printf 'quorvex: --channel \xff\xfe: not a number; see quorvex --help\n' | od -An -tx1)" "$(od -An -tx1 <"$work/err")"

run --log "$work/missing/levels.csv"
check "unopenable log: standard error" "quorvex: cannot open the log $work/missing/levels.csv: its folder does not exist" \
  "$(cat "$work/err")"
check "unopenable log: exit code and standard output" "1:" "$status:$(cat "$work/out")"
check "unopenable log: no file made" "no" "$([ -e "$work/missing" ] && echo yes || echo no)"

[ "$failures" -eq 0 ]
