#!/bin/sh
# The real process picks its tuner from the environment before anything else: a malformed value
# is refused with one line on standard error and exit code 2, before any window or device.
#   environment_process.sh QUORVEX_BINARY
binary=$1
status=0
refused() { # variable assignments, expected line
  err=$(env QT_QPA_PLATFORM=offscreen $1 "$binary" 2>&1 >/dev/null)
  code=$?
  if [ "$code" != 2 ] || [ "$err" != "$2" ]; then
    echo "FAIL $1: exit code $code, standard error: $err"
    status=1
  fi
}
refused "QUORVEX_SIM= QUORVEX_ADAPTER=0x1" 'QUORVEX_ADAPTER: "0x1" is not an adapter number; use a decimal number from 0 to 255'
refused "QUORVEX_SIM= QUORVEX_ADAPTER=256" 'QUORVEX_ADAPTER: "256" is not an adapter number; use a decimal number from 0 to 255'
refused "QUORVEX_SIM=tuner QUORVEX_SIM_SEED=1 QUORVEX_ADAPTER=0" 'QUORVEX_SIM: "tuner" is not a scenario; use default, no-tuner, no-capture, bind-failure, set-fails, get-fails, short-answer, zero-level, zero-cycles or unplug-after=N with N from 0 to 2147483647'
exit $status
