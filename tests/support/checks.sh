# What every shell test of the project checks with: a named comparison reported as "ok" or
# "FAIL", a check the rest of a run depends on, a host tool the test cannot do without, and a wait
# that is always bounded. Sourced; a test ends with [ "$failures" -eq 0 ], and $checks tells that
# it checked anything at all.
failures=0
checks=0
check() { # name, expected, actual
  checks=$((checks + 1))
  if [ "$2" == "$3" ]; then echo "ok   $1"; else echo "FAIL $1: expected [$2], got [$3]"; failures=$((failures + 1)); fi
}
require() { # name, expected, actual: a check the rest of the run depends on
  check "$@"
  [ "$failures" -eq 0 ] || exit 1
}
needs() { # command, where it comes from: skips the test, with the reason, when the command is missing
  command -v "$1" >/dev/null || { echo "SKIP: $1 is not installed ($2)"; exit 77; }
}
wait_until() { # seconds, command...: polls the command until it succeeds or the time is up
  local deadline=$((SECONDS + $1))
  shift
  until "$@"; do
    [ "$SECONDS" -lt "$deadline" ] || return 1
    sleep 0.1
  done
}
# "yes" when the log has a row a second from one time to another (seconds since the epoch), a
# second late at the most. The window's timer is a coarse one, as Windows' is, a few per cent off
# the second, so a second now and then has no row.
rows_each_second() { # log, from, to
  tail -n +2 "$1" | while IFS=, read -r when _; do date -u -d "$when" +%s; done |
    awk -v from="$2" -v to="$3" '$1 >= from && $1 < to { if (last && $1 - last > 2) late++; last = $1; n++ }
      END { print (n >= (to - from) * 0.9 && !late) ? "yes" : "no: " n " rows in " to - from " s, " late + 0 " late" }'
}

# Debian's Prometheus, its data in WORK, scraping the program at 127.0.0.1:TARGET every half
# second, and evaluating RULES as often where given; its process joins the caller's "started".
start_prometheus() { # work, target port, own port, [rules]
  {
    printf 'global:\n  scrape_interval: 500ms\n'
    [ -z "${4:-}" ] || printf '  evaluation_interval: 500ms\nrule_files: ["%s"]\n' "$4"
    printf 'scrape_configs:\n  - job_name: quorvex\n    static_configs:\n      - targets: ["127.0.0.1:%s"]\n' "$2"
  } >"$1/prometheus.yml"
  prometheus --config.file="$1/prometheus.yml" --storage.tsdb.path="$1/data" \
    --web.listen-address="127.0.0.1:$3" >"$1/prometheus.log" 2>&1 &
  started+=($!)
}
