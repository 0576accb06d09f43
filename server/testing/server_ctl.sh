#!/bin/sh
# Starts and kills meeting_server instances for tests that cannot manage Unix processes
# themselves: Windows tests under Wine run it as "/bin/sh server_ctl.sh ..." through
# CreateProcess, which starts the script but gives back no usable process handle, so
# completion is signalled through files in <dir>.
#   server_ctl.sh start <dir> <meeting_server> [tcp-port] [http-port] [idle-ms] [server options...]
#       writes <dir>/apps.json (app "demo1", secret "0123456789abcdef"), starts the
#       server in a process group of its own (killed after 600 s at the latest); the
#       server writes <dir>/ports.json once it listens.
#   server_ctl.sh kill <dir>      SIGKILL to the group; then removes ports.json and
#                                 writes <dir>/killed.
#   server_ctl.sh cleanup <root>  kills every instance started under <root>/*.
PATH=/usr/bin:/bin
export PATH
cmd=${1:-}
dir=${2:-}
[ -n "$dir" ] || { echo "usage: server_ctl.sh start|kill|cleanup <dir> ..." >&2; exit 2; }

alive() { # process group: a member that is not a zombie
  ps -e -o pgid= -o stat= | awk -v g="$1" '$1 == g && $2 !~ /^Z/ { found = 1 } END { exit !found }'
}

kill_group() { # pid-file (the id of the server's process group)
  pid=$(cat "$1" 2>/dev/null) || return 0
  [ -n "$pid" ] || return 0
  /bin/kill -s KILL -- "-$pid" 2>/dev/null
  n=0
  while alive "$pid" && [ $n -lt 100 ]; do sleep 0.05; n=$((n + 1)); done
  rm -f "$1"
}

case "$cmd" in
start)
  bin=$3
  tcp=${4:-0} http=${5:-0} idle=${6:-30000}
  if [ $# -gt 6 ]; then shift 6; else set --; fi
  mkdir -p "$dir"
  kill_group "$dir/pid"
  rm -f "$dir/ports.json" "$dir/killed"
  printf '{"apps":[{"app_id":"demo1","secret":"0123456789abcdef"}]}\n' > "$dir/apps.json"
  # setsid forks when its caller leads a process group (as under Wine), so the new
  # group's id is written from inside it.
  setsid sh -c 'echo $$ > "$0"; exec timeout -s KILL 600 "$@"' "$dir/pid" \
    "$bin" --config "$dir/apps.json" --port "$tcp" --http-port "$http" \
    --idle-timeout-ms "$idle" --port-file "$dir/ports.json" "$@" >>"$dir/server.log" 2>&1 </dev/null &
  ;;
kill)
  kill_group "$dir/pid"
  rm -f "$dir/ports.json"
  : > "$dir/killed"
  ;;
cleanup)
  for p in "$dir"/*/pid; do
    [ -f "$p" ] && kill_group "$p"
  done
  ;;
*)
  echo "server_ctl.sh: unknown command $cmd" >&2
  exit 2
  ;;
esac
exit 0
