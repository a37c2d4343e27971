#!/usr/bin/env bash
# The installed service under its own sandbox, as Debian's systemd runs it on the kernel's vidtv:
# run in the virtual machine of script/test-service by its unit, quorvex-proof.service, once the
# system is up. The socket started alone, the first connection activates the service on adapter 0,
# whose metrics carry the frontend's figures and whose log fills; the sandbox kills or refuses it
# nothing; a stop ends it with status 0 and a whole log. Leaves the machine through the
# isa-debug-exit device: exit code 1 when every check held, 3 otherwise. Every wait is bounded.
#
#   in_machine.sh DIR    DIR holds the checks and vidtv's modules; the output share is mounted on
#                        DIR/out, where the journal, the kernel's messages, the log and the metrics go
set -uo pipefail
here=$1
out=$here/out
source "$here/checks.sh"

leave() { # 0 passed, 1 failed
    journalctl -b --no-pager -o short-monotonic >"$out/journal.log" 2>&1
    dmesg >"$out/dmesg.log" 2>&1
    cp /var/log/quorvex/adapter0.csv "$out/" 2>/dev/null
    echo "in_machine.sh: $checks checks, $failures failed"
    printf "\\00$1" | dd of=/dev/port bs=1 seek=244 count=1 2>/dev/null
}
trap 'leave "$([ "$checks" -gt 0 ] && [ "$failures" -eq 0 ] && echo 0 || echo 1)"' EXIT
mount -t 9p -o trans=virtio,version=9p2000.L,msize=512000 out "$out" || exit 1

# vidtv broadcasts DVB-T on terrestrial channel 13, the program's default; udev gives its devices
# to the group video, as on a user's machine.
for module in tuner demod bridge; do
    insmod "$here/dvb-vidtv-$module.ko" vidtv_valid_dvb_t_freqs=473000000 || exit 1
done
udevadm settle --timeout=60
require "vidtv: adapter 0's frontend, the group video's" "crw-rw---- root video" \
    "$(stat -c '%A %U %G' /dev/dvb/adapter0/frontend0 2>&1)"

# The socket alone: systemd listens on the service's behalf, the service waits.
systemctl start quorvex@0.socket
require "the socket: listening" "active" "$(systemctl is-active quorvex@0.socket)"
check "the service: not started before a connection" "inactive" "$(systemctl is-active quorvex@0.service)"

# The first connection starts the service, which answers it on the socket systemd hands over.
scrape() { curl -s --max-time "$1" -o "$out/metrics.txt" http://127.0.0.1:19110/metrics; }
metric() { awk -v name="$1" '$1 == name { print $2 }' "$out/metrics.txt"; }
scrape 120 && cp "$out/metrics.txt" "$out/first-metrics.txt"
require "the first connection: answered with the metrics" "yes" \
    "$(grep -qs '^quorvex_samples_total' "$out/metrics.txt" && echo yes || echo no)"
check "the first connection: it started the service" "active" "$(systemctl is-active quorvex@0.service)"

# The metrics: samples from the kernel's frontend on adapter 0, tuned to channel 13 and locked.
locked() { scrape 10 && [ "$(metric 'quorvex_frontend_status{flag="lock"}')" = 1 ] && [ -n "$(metric quorvex_level_decibels)" ]; }
check "the metrics: a locked sample with a level" 0 "$(wait_until 60 locked; echo $?)"
check "the metrics: the frontend driver on adapter 0" \
    'quorvex_info{version="1.0.0.1",driver="frontend",device="/dev/dvb/adapter0/frontend0",mode="tunes"} 1' \
    "$(grep '^quorvex_info' "$out/metrics.txt")"
check "the metrics: channel 13 tuned (Hz)" "473000000" "$(metric quorvex_tuned_frequency_hertz)"
check "the metrics: the driver's C/N (dB)" "yes" \
    "$(metric quorvex_frontend_carrier_to_noise_decibels | grep -qxE '[0-9]+(\.[0-9]+)?' && echo yes || echo no)"

# The log in the service's logs directory: its header, then a row a sample.
log=/var/log/quorvex/adapter0.csv
header=time,channel,band,frequency_khz,level_db,error_ratio,state,layer_a_modulation,layer_a_code_rate,layer_a_segments
header+=,layer_a_cnr_db,layer_a_margin_db,layer_a_verdict,layer_b_modulation,layer_b_code_rate,layer_b_segments
header+=,layer_b_cnr_db,layer_b_margin_db,layer_b_verdict,layer_c_modulation,layer_c_code_rate,layer_c_segments
header+=,layer_c_cnr_db,layer_c_margin_db,layer_c_verdict
row='^[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}([-+][0-9]{2}:[0-9]{2}|Z),13,UHF,473000,([0-9]+\.[0-9])?,([0-9]\.[0-9]{2}E[-+][0-9]{2})?,(ok|no-level|no-ratio|ratio-failed|failed)(,[0-9A-Za-z/.-]*){18}$'
rows() { [ -f "$log" ] && [ "$(($(wc -l <"$log") - 1))" -ge "$1" ]; }
check "the log: rows" 0 "$(wait_until 30 rows 3; echo $?)"
check "the log: its header" "$header" "$(head -1 "$log")"
check "the log: levels from the frontend" "yes" \
    "$(tail -n +2 "$log" | grep -qE ',473000,[0-9]+\.[0-9],' && echo yes || echo no)"

# Nothing killed or refused by the sandbox: no process killed by a system call filter in the
# kernel's audit lines, no restart, no diagnostics from the program, nothing but its start in the
# journal about it.
check "the sandbox: no system call filter killed anything" "" "$(dmesg | grep -E 'type=1326|seccomp')"
check "the service: running, never restarted" "running 0" \
    "$(systemctl show -P SubState quorvex@0.service) $(systemctl show -P NRestarts quorvex@0.service)"
check "the service: nothing on standard error" "" "$(journalctl -b -o cat _SYSTEMD_UNIT=quorvex@0.service)"
main=$(systemctl show -P MainPID quorvex@0.service)
check "the service: headless, no toolkit or font loaded" "/usr/libexec/quorvex/quorvex-headless:" \
    "$(readlink "/proc/$main/exe"):$(grep -oE 'libQt6[A-Za-z]*|[^/ ]*\.(ttf|otf|pcf)' "/proc/$main/maps" | sort -u)"

# Stopped as an administrator stops it: through its close path, status 0, every row whole, the
# header once, and a row for every sample counted before the stop.
scrape 10
counted=$(awk '/^quorvex_samples_total/ { sum += $2 } END { print sum + 0 }' "$out/metrics.txt")
systemctl stop quorvex@0.service
check "stopped: exited with status 0, result success" "1 0 success" \
    "$(systemctl show -P ExecMainCode quorvex@0.service) $(systemctl show -P ExecMainStatus quorvex@0.service) $(systemctl show -P Result quorvex@0.service)"
check "stopped: the header once, first" "1:$header" "$(grep -c "^$header\$" "$log"):$(head -1 "$log")"
check "stopped: every row whole" "" "$(tail -n +2 "$log" | grep -vE "$row"; tail -c1 "$log" | tr -d '\n')"
check "stopped: a row for every sample counted" "yes" \
    "$([ "$(($(wc -l <"$log") - 1))" -ge "$counted" ] && [ "$counted" -ge 3 ] && echo yes || echo no)"
check "stopped: the socket listens on" "active" "$(systemctl is-active quorvex@0.socket)"
check "stopped: the next connection starts it again" "yes active" \
    "$(scrape 120 && grep -q '^quorvex_samples_total' "$out/metrics.txt" && echo yes || echo no) $(systemctl is-active quorvex@0.service)"
check "the journal: the service's starts and stop only" "" \
    "$(journalctl -b -o cat -u quorvex@0.service | grep -vE '^(Starting|Started|Stopping|Stopped) quorvex@0\.service - |Deactivated successfully|Consumed .* CPU time')"
check "the sandbox, to the end: no system call filter killed anything" "" "$(dmesg | grep -E 'type=1326|seccomp')"
