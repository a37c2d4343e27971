# A PulseAudio server of the test's own, in folders of its own under $work whatever the machine runs,
# with one null sink, "roof", whose monitor the test records. Sourced after checks.sh, with $work
# and the started=() list of processes to stop set; the server's pid joins that list and is
# $sound_server. Started again after it has gone, it answers at the same address. The test's own
# tools may reach it at $sound_tools from the start; the program's address, $PULSE_SERVER, opens
# with it, or with open_program_address when it is started "later".
start_sound_server() { # [later]
  mkdir -p -m 700 "$work/runtime" "$work/home"
  export XDG_RUNTIME_DIR=$work/runtime HOME=$work/home PULSE_SERVER=unix:$work/runtime/native
  sound_tools=unix:$work/runtime/tools
  cat >"$work/server.pa" <<PA
load-module module-null-sink sink_name=roof rate=48000 channels=1
set-default-sink roof
load-module module-native-protocol-unix auth-anonymous=1 socket=$work/runtime/tools
PA
  pulseaudio -n -F "$work/server.pa" --daemonize=no --exit-idle-time=-1 --log-target=stderr 2>>"$work/server.log" &
  sound_server=$!
  started+=("$sound_server")
  wait_until 20 pactl -s "$sound_tools" info >/dev/null 2>&1 || { echo "FAIL the sound server did not start"; cat "$work/server.log"; exit 1; }
  [ "${1:-}" == later ] || open_program_address
}
open_program_address() {
  pactl -s "$sound_tools" load-module module-native-protocol-unix auth-anonymous=1 socket="$work/runtime/native" >/dev/null
}
