#!/usr/bin/env bash
# The Debian package on a fresh minimal Debian root, as a user would meet it: installed with
# apt-get (which brings its dependencies), the program's version and a run of the installed
# program offscreen on the simulated tuner with a log, its manual pages in English and Japanese,
# and a purge that leaves nothing behind. Needs root (chroot, mount), debootstrap and Debian's
# package mirror. Every wait is bounded; it fails when it cannot run.
#
#   tests/package/install.sh PACKAGE.deb [ARTEFACT_DIR]
#
# The base root (debootstrap, minimal, with man-db) is built once and kept as a tarball in
# ~/.cache/quorvex-package, with the packages apt downloads, so later runs are quick.
set -uo pipefail

[ $# -ge 1 ] || { echo "usage: tests/package/install.sh PACKAGE.deb [ARTEFACT_DIR]"; exit 2; }
deb=$(realpath "$1")
artefacts=$(realpath -m "${2:-build/artefacts}")
package=$(basename "$deb")
[ -f "$deb" ] || { echo "FAIL: no package at $deb"; exit 1; }
[ "$(id -u)" = 0 ] || { echo "FAIL: the install test needs root (chroot, mount)"; exit 1; }
mkdir -p "$artefacts"

source "$(dirname "$0")/../support/debian_root.sh"
trap remove_root EXIT
trap 'exit 130' INT TERM
make_debian_base && make_root "$base" || exit 1
mkdir -p "$root/quorvex-test"
cp "$deb" "$root/quorvex-test/"

# Paths in the root, leaving out what apt, dpkg and the test itself keep or change as they work.
file_list() {
  inside 120 find / -xdev \
    \( -path /var/lib/apt -o -path /var/lib/dpkg -o -path /var/cache -o -path /var/log -o -path /tmp \
    -o -path /quorvex-test -o -path /root -o -path /run \) -prune -o -print | sort
}

source "$(dirname "$0")/../support/checks.sh"

require "package lists updated" "0" "$(inside 300 apt-get update -q >"$artefacts/package-apt-update.log" 2>&1; echo $?)"
file_list >"$artefacts/package-files-before.txt"
require "installed with apt-get" "0" \
  "$(inside 900 apt-get install -y -q --no-install-recommends "./quorvex-test/$package" >"$artefacts/package-install.log" 2>&1; echo $?)"
keep_downloads

check "version" "quorvex 1.0.0.1" "$(inside 30 quorvex --version 2>&1)"
check "desktop entry, icons, metainfo and manual page in place" "ok" "$(
  cd "$root/usr/share" && ls applications/org.quorvex.Quorvex.desktop metainfo/org.quorvex.Quorvex.metainfo.xml \
    icons/hicolor/{16x16,22x22,24x24,32x32,48x48,64x64,128x128,256x256}/apps/org.quorvex.Quorvex.png \
    icons/hicolor/scalable/apps/org.quorvex.Quorvex.svg man/man1/quorvex.1.gz >/dev/null && echo ok
)"

# The installed program on the simulated tuner, offscreen, for a few samples: there is no window
# to close, so it is ended by time.
inside 30 env QUORVEX_SIM=default QUORVEX_SIM_SEED=7 QT_QPA_PLATFORM=offscreen \
  timeout 4.5 quorvex --channel 27 --catv --log /quorvex-test/levels.csv \
  >"$artefacts/package-run.out" 2>"$artefacts/package-run.err"
check "run: ended by the time limit" "124" "$?"
cp "$root/quorvex-test/levels.csv" "$artefacts/package-levels.csv" 2>/dev/null
sample_line='^ [ 0-9][0-9]\.[0-9] \|  [0-9]\.[0-9][0-9]E[-+][0-9][0-9]$'
check "run: sample lines" "yes" "$([ "$(grep -c -E "$sample_line" "$artefacts/package-run.out")" -ge 3 ] && echo yes || echo no)"
check "run: nothing but sample lines" "" "$(grep -v -E "$sample_line" "$artefacts/package-run.out")"
check "run: standard error" "" "$(cat "$artefacts/package-run.err")"
check "log: header" "time,channel,band,frequency_khz,level_db,error_ratio,state$(printf ',layer_%s_modulation,layer_%s_code_rate,layer_%s_segments,layer_%s_cnr_db,layer_%s_margin_db,layer_%s_verdict' a a a a a a b b b b b b c c c c c c)" \
  "$(head -1 "$artefacts/package-levels.csv" 2>/dev/null)"
row='^[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}[-+][0-9]{2}:[0-9]{2},27,CATV,249000,[0-9]+\.[0-9],[0-9]\.[0-9]{2}E[-+][0-9]{2},ok(,[^,]*){18}$'
check "log: one row per sample line" "$(grep -c -E "$sample_line" "$artefacts/package-run.out")" \
  "$(tail -n +2 "$artefacts/package-levels.csv" 2>/dev/null | grep -c -E "$row")"

# Headless, as the service runs it: the installed program hands itself over to the one in libexec.
inside 30 env QUORVEX_SIM=default timeout 2.5 quorvex --headless >"$artefacts/package-headless.out" \
  2>"$artefacts/package-headless.err"
check "headless: sample lines, and nothing on standard error" "yes:" \
  "$(grep -q -E "$sample_line" "$artefacts/package-headless.out" && echo yes || echo no):$(cat "$artefacts/package-headless.err")"

inside 60 env MANPAGER=cat MANWIDTH=80 man quorvex >"$artefacts/package-man.txt" 2>&1
english=$?
inside 60 env MANPAGER=cat MANWIDTH=80 man -L ja quorvex >"$artefacts/package-man-ja.txt" 2>&1
check "man quorvex, and man -L ja quorvex" "0:0" "$english:$?"
check "man -L ja: the Japanese page" "/usr/share/man/ja/man1/quorvex.1.gz" "$(inside 30 man -L ja -w quorvex 2>&1)"
check "the alert rules and the dashboard in /usr/share/quorvex" "ok" "$(
  ls "$root/usr/share/quorvex/prometheus/quorvex-rules.yml" "$root/usr/share/quorvex/grafana/quorvex-dashboard.json" \
    >/dev/null && { ! command -v promtool >/dev/null || promtool check rules "$root/usr/share/quorvex/prometheus/quorvex-rules.yml" >/dev/null; } && echo ok
)"
check "the service's units where systemd looks, its rotation and options under /etc" "ok" "$(
  ls "$root/lib/systemd/system/quorvex@.service" "$root/lib/systemd/system/quorvex@.socket" \
    "$root/lib/systemd/system/quorvex-device@.service" "$root/lib/systemd/system/quorvex-device@.socket" \
    "$root/etc/logrotate.d/quorvex" "$root/etc/default/quorvex" >/dev/null && echo ok
)"
check "man quorvex, in English and Japanese: options, log and exit status" "3:3" \
  "$(grep -c -E '^ +--log FILE$|^LOG FILE$|^EXIT STATUS$' "$artefacts/package-man.txt"):$(
    grep -c -E '^ +--log FILE$|^ログファイル$|^終了ステータス$' "$artefacts/package-man-ja.txt")"
# The translation kept up with the English page, as far as the options named go.
options() { grep -o -E -- '--[a-z]+' "$1" | sort -u; }
check "man -L ja quorvex: every option the English page names" "" \
  "$(comm -23 <(options "$artefacts/package-man.txt") <(options "$artefacts/package-man-ja.txt"))"

require "purged with apt-get" "0" "$(
  {
    inside 300 apt-get purge -y -q quorvex && inside 300 apt-get autoremove --purge -y -q
  } >"$artefacts/package-purge.log" 2>&1
  echo $?
)"
file_list >"$artefacts/package-files-after.txt"
check "nothing left behind" "" \
  "$(diff "$artefacts/package-files-before.txt" "$artefacts/package-files-after.txt" | grep '^[<>]')"

echo "install.sh: $checks checks, $failures failed"
[ "$failures" -eq 0 ] && [ "$checks" -eq 19 ]
