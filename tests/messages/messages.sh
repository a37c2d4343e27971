#!/usr/bin/env bash
# The texts for people in the user's language, and the texts for scripts the same in every one:
# the catalogues complete and up to date with the sources, every failure path's words taken from
# the catalogue (a bracketing catalogue in its place), and the real binary under a Japanese locale
# against the same binary under C. Exit code 77 is a skip.
#
#   tests/messages/messages.sh QUORVEX SCENARIO
set -uo pipefail
program=$(realpath "$1")
scenario=$2
repository=$(realpath "$(dirname "$0")/../..")
headless="$(dirname "$program")/quorvex-headless"

source "$(dirname "$0")/../support/checks.sh"
unset DISPLAY WAYLAND_DISPLAY LANGUAGE LC_ALL LC_MESSAGES LC_NUMERIC QUORVEX_SIM QUORVEX_SIM_SEED QUORVEX_ADAPTER
export QT_QPA_PLATFORM=offscreen
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# ja_JP.UTF-8 and de_DE.UTF-8 made here, so the test needs no locale installed.
make_locales() {
  needs localedef "Debian's libc-bin"
  mkdir -p "$work/locales"
  for locale in ja_JP de_DE; do
    localedef -i $locale -f UTF-8 "$work/locales/$locale.UTF-8" 2>/dev/null
    [ -f "$work/locales/$locale.UTF-8/LC_MESSAGES/SYS_LC_MESSAGES" ] ||
      { echo "SKIP: localedef cannot make $locale.UTF-8"; exit 77; }
  done
  export LOCPATH="$work/locales"
}
# Standard error and the exit code of one run: "CODE|ERR".
run() { # environment assignments and program arguments, as env takes them
  env "$@" >/dev/null 2>"$work/err" </dev/null
  echo "$?|$(cat "$work/err")"
}
# The failure paths, one a line: environment assignments, then the program and its arguments.
failure_paths() {
  cat <<PATHS
$program --chanel 5
$program stray
$program --catv --catv
$program --help=yes
$program --log
$program --interval x
$program --interval 99
$program --metrics 99999
$program --channel 63
$program --device /nonexistent/node
QUORVEX_SIM=default $program --log /nonexistent/folder/log.csv
QUORVEX_SIM=nonsense $program
QUORVEX_SIM=default QUORVEX_SIM_SEED=x $program
QUORVEX_ADAPTER=x $program
QUORVEX_SIM=default $headless
PATHS
}

case "$scenario" in

# Every text in the catalogues is translated, none is fuzzy, and the template is what the sources
# give today.
catalogue)
  needs msgfmt "Debian's gettext"
  needs python3 "Debian's python3"
  for po in "$repository"/po/*.po; do
    statistics=$(msgfmt --check --statistics -o /dev/null "$po" 2>&1)
    check "$(basename "$po"): msgfmt --check" 0 "$?"
    check "$(basename "$po"): all translated" "" "$(grep -E 'fuzzy|untranslated' <<<"$statistics")"
  done
  cmake -DRC="$repository/res/quorvex.rc" -DOUTPUT="$work/table.cpp" \
    -P "$repository/platform/qtwindow/string_table.cmake" || exit 1
  (cd "$repository" && python3 po/catalogues.py pot "$work/table.cpp" "$work/quorvex.pot" \
    $(find display tuner platform -name '*.cpp')) || exit 1
  dateless() { grep -v '^"POT-Creation-Date:' "$1"; }
  check "po/quorvex.pot is up to date (cmake --build --preset ci --target quorvex_pot)" \
    "$(dateless "$work/quorvex.pot")" "$(dateless "$repository/po/quorvex.pot")"
  ;;

# With a catalogue that brackets every text, what each failure path says holds no English words
# outside the brackets: every word for people comes from the catalogue.
pseudo)
  needs msgen "Debian's gettext"
  make_locales
  mkdir -p "$work/bin/locale/ja/LC_MESSAGES"
  cp "$program" "$headless" "$work/bin/"
  msgen "$repository/po/quorvex.pot" | sed 's/charset=CHARSET/charset=UTF-8/' |
    msgfilter -o "$work/pseudo.po" sed -e '1s/^/⟦/' -e '$s/$/⟧/' &&
    msgfmt -o "$work/bin/locale/ja/LC_MESSAGES/quorvex.mo" "$work/pseudo.po" || exit 1
  failure_paths | sed "s|$(dirname "$program")/|$work/bin/|" >"$work/paths"
  echo "LANG=ja_JP.UTF-8 $work/bin/quorvex --help" >>"$work/paths"
  while read -r -a line; do
    env LANG=ja_JP.UTF-8 "${line[@]}" >"$work/out" 2>&1 </dev/null
    # Left outside the brackets: option names, paths, numbers, names from the environment.
    english=$(perl -CSD -Mutf8 -0pe '1 while s/⟦[^⟦⟧]*⟧//gs' "$work/out" | grep -oE '[A-Za-z]{2,} [A-Za-z]{2,}')
    check "${line[*]##*/}: words for people all from the catalogue" "" "$english"
  done <"$work/paths"
  ;;

# The real binary in Japanese: help, usage errors and the lines that say what to do; the same exit
# codes; and under C the English texts as before. The console line is the same bytes in both.
japanese)
  make_locales
  ja=(LANG=ja_JP.UTF-8)
  help=$(env "${ja[@]}" "$program" --help)
  check "--help: exit code" 0 "$?"
  check "--help: first line" "使い方: quorvex [オプション]..." "$(head -1 <<<"$help")"
  check "--help: --align" "  --align        アンテナ調整モードで開始: 毎秒 4 サンプル、最高受信レベルの" \
    "$(grep -e '--align' <<<"$help")"
  check "--help under C" "Usage: quorvex [OPTION]..." "$(LANG=C "$program" --help | head -1)"
  check "--version" "quorvex 1.0.0.1" "$(env "${ja[@]}" "$program" --version)"
  while IFS='|' read -r arguments japanese english; do
    check "$arguments" "2|quorvex: $japanese" "$(run "${ja[@]}" "$program" $arguments)"
    check "$arguments under C" "2|quorvex: $english" "$(run LANG=C "$program" $arguments)"
  done <<'ROWS'
--chanel 5|不明なオプション '--chanel'。quorvex --help を参照してください|unknown option '--chanel'; see quorvex --help
--interval 99|--interval 99: 範囲外です (1 から 60)。quorvex --help を参照してください|--interval 99: out of range (1 to 60); see quorvex --help
--catv --channel 64|--channel 64: 範囲外です (13 から 62、--catv では 63 まで)。quorvex --help を参照してください|--channel 64: out of range (13 to 62, or 63 with --catv); see quorvex --help
ROWS
  log=(QUORVEX_SIM=default "$program" --log "$work/none/log.csv")
  check "a log that cannot be opened" "1|quorvex: ログ $work/none/log.csv を開けません: フォルダーがありません" \
    "$(run "${ja[@]}" "${log[@]}")"
  check "a log that cannot be opened, under C" \
    "1|quorvex: cannot open the log $work/none/log.csv: its folder does not exist" "$(run LANG=C "${log[@]}")"
  check "QUORVEX_ADAPTER" \
    "2|QUORVEX_ADAPTER: \"x\" はアダプター番号ではありません。0 から 255 の十進数を指定してください" \
    "$(run "${ja[@]}" QUORVEX_ADAPTER=x "$program")"
  if ! compgen -G "/dev/dvb/adapter*/frontend*" >/dev/null; then
    check "no receiver" "1|find_dev: CreateClassEnumerator
create_filters: pBDATuner
quorvex: 受信機が見つかりません: /dev/dvb に DVB フロントエンドがなく、/dev に PT または PX チューナーもありません。受信機なしで Quorvex を試すには QUORVEX_SIM=default quorvex を実行してください" \
      "$(run "${ja[@]}" timeout 20 "$program")"
  fi
  # Three samples each, the simulated tuner seeded alike.
  for run in c ja; do
    if [ $run = c ]; then locale=(LC_ALL=C); else locale=(LANG=ja_JP.UTF-8 LC_NUMERIC=de_DE.UTF-8); fi
    env "${locale[@]}" QUORVEX_SIM=default QUORVEX_SIM_SEED=5 "$headless" --headless >"$work/$run.out" 2>"$work/$run.err" &
    pid=$!
    wait_until 30 eval '[ "$(wc -l <"$work/$run.out")" -ge 3 ]'
    kill "$pid"
    wait "$pid"
  done
  check "three console lines under C" 3 "$(head -3 "$work/c.out" | wc -l)"
  check "the console lines under ja_JP.UTF-8 with de_DE.UTF-8 numbers" "$(head -3 "$work/c.out")" \
    "$(head -3 "$work/ja.out")"
  ;;
esac
[ "$checks" -gt 0 ] && [ "$failures" -eq 0 ]
