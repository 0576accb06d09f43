#!/bin/sh
# PulseAudio of simulated hosts for Windows tests under Wine, which run it as
# "/bin/sh pulse_host_ctl.sh ..." through CreateProcess (no usable process handle comes
# back, so every command signals its end with the file <done>).
#   pulse_host_ctl.sh start  <run-dir> <host> <done>          server address into <done>
#   pulse_host_ctl.sh stop   <run-dir> <host> <done>
#   pulse_host_ctl.sh play   <run-dir> <host> <done> <raw>    s16le 48 kHz mono into "mic"
#   pulse_host_ctl.sh playspk <run-dir> <host> <done> <raw>   the same into "speaker"
#   pulse_host_ctl.sh record <run-dir> <host> <done> <raw> <seconds>   "speaker.monitor"
#   pulse_host_ctl.sh pair   <run-dir> <host> <done> <mic-raw> <speaker-raw> <seconds>
#       records the host's microphone ("mic.monitor") and speaker at once
#   pulse_host_ctl.sh cross  <run-dir> <host> <done> <mic-raw> <speaker-raw> <seconds> <other-host>
#       records the host's microphone and the other host's speaker at once
#   pulse_host_ctl.sh speech <run-dir> <host> <done> <raw> <text>      espeak-ng -> raw
#   pulse_host_ctl.sh run    <run-dir> <host> <done> <log> <command> [args...]
#       runs a command (e.g. env ... wine64 program) with PULSE_SERVER set to the host's server,
#       in a session of its own
#       (a Wine process takes its Unix environment from its parent, not from the Windows
#       environment block of CreateProcess); <done> is written when it ends.
# The servers live under <run-dir>/pulse-hosts (session_stop stops those of the session).
PATH=/usr/bin:/bin
export PATH
cmd=$1 KIV_RUN=$2 host=$3 done=$4
export KIV_RUN
[ -n "$done" ] || { echo "usage: pulse_host_ctl.sh start|stop|play|record|speech <run-dir> <host> <done> ..." >&2; exit 2; }
shift 4
ROOT="$(cd "$(dirname "$0")/../../../../.." && pwd)"
. "$ROOT/scripts/pulse_hosts.sh"
rm -f "$done"
fmt="--raw --format=s16le --rate=48000 --channels=1"
case "$cmd" in
# A test starts its hosts on fresh servers: a server left by an earlier test keeps what
# that test did to it.
start) pulse_host_stop "$host"
  for _ in $(seq 40); do pulse_host_env "$host" pulseaudio --check >/dev/null 2>&1 || break; sleep 0.05; done
  server=$(pulse_host_start "$host") && printf '%s' "$server" > "$done.tmp" && mv "$done.tmp" "$done" ;;
stop) pulse_host_stop "$host"; : > "$done" ;;
play) pulse_host_env "$host" pacat --playback $fmt -d mic "$1"; : > "$done" ;;
playspk) pulse_host_env "$host" pacat --playback $fmt -d speaker "$1"; : > "$done" ;;
record) timeout "$2" sh -c ". '$ROOT/scripts/pulse_hosts.sh'; pulse_host_env '$host' parec $fmt -d speaker.monitor > '$1'"; : > "$done" ;;
pair)
  timeout "$3" sh -c ". '$ROOT/scripts/pulse_hosts.sh'; pulse_host_env '$host' parec $fmt -d mic.monitor > '$1'" &
  timeout "$3" sh -c ". '$ROOT/scripts/pulse_hosts.sh'; pulse_host_env '$host' parec $fmt -d speaker.monitor > '$2'"
  wait; : > "$done" ;;
cross)
  timeout "$3" sh -c ". '$ROOT/scripts/pulse_hosts.sh'; pulse_host_env '$host' parec $fmt -d mic.monitor > '$1'" &
  timeout "$3" sh -c ". '$ROOT/scripts/pulse_hosts.sh'; pulse_host_env '$4' parec $fmt -d speaker.monitor > '$2'"
  wait; : > "$done" ;;
speech) espeak-ng -w "$1.wav" "$2" && sox "$1.wav" -r 48000 -c 1 -b 16 -e signed-integer -t raw "$1"; : > "$done" ;;
run)
  log=$1; shift
  # Wine 8 keeps only three 10 ms periods of a render stream in the server and feeds them
  # from threads of normal priority: under load they run dry. The host asks for 60 ms
  # (about 45 ms in the server) and runs in a session whose CPU share is raised like its
  # server's.
  PULSE_SERVER="unix:$(pulse_host_dir "$host")/native" PULSE_LATENCY_MSEC=${KIV_HOST_PULSE_LATENCY_MSEC:-60} \
    setsid -w sh -c 'echo -10 > /proc/self/autogroup 2>/dev/null; exec "$@"' host "$@" > "$log" 2>&1 < /dev/null
  : > "$done" ;;
*) echo "pulse_host_ctl.sh: unknown command $cmd" >&2; exit 2 ;;
esac
