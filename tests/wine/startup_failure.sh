#!/usr/bin/env bash
# The real quorvex.exe under Wine, which has no DVB-T network provider: the start-up failure path
# on a real Win32 implementation. Checks the diagnostic line, the message box read back through
# the window system, and the failure exit code once the box is dismissed. Every wait is bounded.
#
#   tests/wine/startup_failure.sh BUILD_DIR ARTEFACT_DIR
set -uo pipefail
build=$(realpath "$1")
artefacts=$(realpath -m "$2")
mkdir -p "$artefacts"

if [ -z "${QUORVEX_IN_XVFB:-}" ]; then
  QUORVEX_IN_XVFB=1 exec timeout 300 xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi

wine=/usr/lib/wine/wine64
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
WINEPREFIX=$(mktemp -d)
export WINEPREFIX
trap '/usr/lib/wine/wineserver -k 2>/dev/null; rm -rf "$WINEPREFIX"' EXIT
work=$(mktemp -d)

timeout 120 "$wine" wineboot -i >/dev/null 2>&1 || { echo "FAIL: wineboot"; exit 1; }
# Wine's dialog font has no Japanese glyphs; draw them with the Japanese font the set-up installs.
timeout 60 "$wine" reg add 'HKCU\Software\Wine\Fonts\Replacements' /v Tahoma /d "IPAGothic" /f >/dev/null 2>&1

timeout 90 "$wine" "$build/quorvex.exe" >"$work/out" 2>"$work/err" &
program=$!
timeout 40 "$wine" "$build/box_probe.exe" read >"$work/box" 2>/dev/null
import -window root "$artefacts/wine-startup-failure.png" 2>/dev/null
timeout 40 "$wine" "$build/box_probe.exe" ok >/dev/null 2>&1
wait "$program"
status=$?

source "$(dirname "$0")/../support/checks.sh"
check "standard error" "create_filters: CLSID_DVBTNetworkProvider" "$(cat "$work/err")"
check "standard error ends in one newline" "1" "$(wc -l <"$work/err")"
check "standard output" "" "$(cat "$work/out")"
check "message box" "$(printf 'caption=失敗\ntext=初期化失敗！終了します')" "$(cat "$work/box")"
check "exit code" "1" "$status"
rm -rf "$work"
[ "$failures" -eq 0 ]
