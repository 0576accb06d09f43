# Sourced by session.sh: extra PulseAudio servers, one per simulated host, so that one
# host's speaker is not another's microphone. Each has a speaker sink ("speaker", the
# default sink) and a microphone sink ("mic") whose monitor is the default source: play
# into "mic" to speak into the host, record "speaker.monitor" to hear it.
#   pulse_host_start NAME   -> prints the PULSE_SERVER value of that host
#   pulse_host_stop NAME
#   pulse_hosts_stop        (every host of this session; session_stop calls it)

pulse_host_dir() { echo "$KIV_RUN/pulse-hosts/$1"; }

pulse_host_env() { # NAME -> runs the rest with that host's PulseAudio variables
  local d; d="$(pulse_host_dir "$1")"; shift
  PULSE_RUNTIME_PATH="$d" XDG_RUNTIME_DIR="$d" PULSE_SERVER="unix:$d/native" "$@"
}

# Raises the CPU share of a process's session (its scheduler autogroup) where the kernel
# groups by session and this user may; nothing elsewhere. A server's main thread passes
# every client's audio on to its sink: in a group of its own it gets no more CPU than any
# one busy program beside it, and under load its clients' few tens of milliseconds of
# buffered audio run dry (silence in the middle of what they play).
pulse_host_raise() {
  [ -n "$1" ] && [ -w "/proc/$1/autogroup" ] && echo -10 > "/proc/$1/autogroup" 2>/dev/null
  return 0
}

pulse_host_start() {
  local name="$1" d; d="$(pulse_host_dir "$1")"
  mkdir -p "$d" && chmod 700 "$d"
  if ! pulse_host_env "$name" pulseaudio --check >/dev/null 2>&1; then
    pulse_host_env "$name" pulseaudio -D --system=false --exit-idle-time=-1 --disallow-exit -n \
      --load=module-native-protocol-unix \
      --load="module-null-sink sink_name=speaker sink_properties=device.description=Speaker" \
      --load="module-null-sink sink_name=mic sink_properties=device.description=Microphone" \
      --load=module-always-sink --log-target=file:"$d/pulse.log" >/dev/null 2>&1 || return 1
    for _ in $(seq 50); do [ -S "$d/native" ] && break; sleep 0.1; done
    pulse_host_raise "$(cat "$d/pid" 2>/dev/null)"
    pulse_host_env "$name" pactl set-default-sink speaker >/dev/null 2>&1
    pulse_host_env "$name" pactl set-default-source mic.monitor >/dev/null 2>&1
  fi
  echo "unix:$d/native"
}

pulse_host_stop() {
  pulse_host_env "$1" pulseaudio -k >/dev/null 2>&1 || true
}

pulse_hosts_stop() {
  local d
  for d in "$KIV_RUN"/pulse-hosts/*/; do
    [ -d "$d" ] || continue
    pulse_host_stop "$(basename "$d")"
  done
}
