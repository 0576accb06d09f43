#!/usr/bin/env bash
# Sets up the machine, builds, then starts the meeting server and two Parleywright clients
# ("x;alice;room1" and "x;bob;room1") on the virtual display of the Wine session, lets
# build/x64/bin/meeting_driver.exe play both users through their windows (windows side by
# side at their own size, microphone and camera on, a chat line each way, bob's in
# Chinese) and saves a screenshot to build/meeting/meeting.png. The display is made wide
# enough for both windows (MEETING_SCREEN, default 2060x720).
# Usage: scripts/meeting.sh [seconds to wait before the screenshot, default 3]
# KEEP=1 leaves everything running until Ctrl-C; watch it with
#   x11vnc -display $KIV_DISPLAY   (or xwd -root -display $KIV_DISPLAY)
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export KIV_ROOT="$ROOT"
WAIT="${1:-3}"
# Only what the meeting runs, for x86_64 only: the server natively, the program with its
# libraries and the driver. scripts/test.sh builds the rest (and the i686 dependencies)
# with the caches filled here.
"$ROOT/scripts/setup.sh" x86_64
"$ROOT/scripts/build.sh" native:meeting_server \
  x64:Parleywright,Accordane,kiv_sdk,Tessarine32,Quietwell,meeting_driver
echo "meeting: built in $SECONDS s"
TREE_PREFIX="$ROOT/build/${KIV_TAG:+$KIV_TAG-}"
SERVER="${TREE_PREFIX}native/bin/meeting_server"
BIN="${TREE_PREFIX}x64/bin"
OUT="$ROOT/build/meeting"
for f in "$SERVER" "$BIN/Parleywright.exe" "$BIN/Accordane.exe" "$BIN/kiv_sdk.dll" "$BIN/Tessarine32.dll" \
         "$BIN/meeting_driver.exe"; do
  [ -e "$f" ] || { echo "meeting: $f is missing" >&2; exit 1; }
done

source "$ROOT/scripts/session.sh"
# Both windows side by side at the skin's size (1000 x 660 each, with their shadows).
SCREEN="${MEETING_SCREEN:-2060x720}"
want_w="${SCREEN%x*}"
want_h="${SCREEN#*x}"
session_env
# (awk reads to the end: a closed pipe would fail the pipeline under pipefail)
display_size() { xdpyinfo -display "$DISPLAY" 2>/dev/null | awk '/dimensions:/ && !n++ {print $2}' || true; }
# A display of at least $SCREEN: this session's own display is restarted at that size; a
# display of another program that is too small is an error.
wide_display() {
  local n="${DISPLAY#:}" size
  if [ -e "/tmp/.X11-unix/X$n" ]; then
    size="$(display_size)"
    if [ -n "$size" ] && [ "${size%x*}" -ge "$want_w" ] && [ "${size#*x}" -ge "$want_h" ]; then return 0; fi
    if [ -f "$KIV_RUN/xvfb.pid" ] && kill -0 "$(cat "$KIV_RUN/xvfb.pid")" 2>/dev/null; then
      echo "meeting: display $DISPLAY is ${size:-of unknown size}; restarting this session's display at $SCREEN"
      session_stop
      for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] || break; sleep 0.1; done
    else
      echo "meeting: display $DISPLAY (${size:-unknown size}) belongs to another program and is smaller than" \
        "$SCREEN; choose a free KIV_DISPLAY" >&2
      return 1
    fi
  fi
  mkdir -p "$KIV_RUN"
  Xvfb "$DISPLAY" -screen 0 "${SCREEN}x24" -nolisten tcp >"$KIV_RUN/xvfb.log" 2>&1 &
  echo $! > "$KIV_RUN/xvfb.pid"
  for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
  [ -e "/tmp/.X11-unix/X$n" ] || { echo "meeting: the display $DISPLAY did not start" >&2; return 1; }
}
wide_display
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  for p in "${pids[@]}"; do wait "$p" 2>/dev/null || true; done
  session_stop
}
trap cleanup EXIT
# The session script is not written for "set -e".
set +e
session_start
set -e

rm -rf "$OUT" && mkdir -p "$OUT/server" "$OUT/install"
printf '{"apps":[{"app_id":"demo1","secret":"0123456789abcdef"}]}\n' > "$OUT/server/apps.json"
"$SERVER" --config "$OUT/server/apps.json" --bind 127.0.0.1 --port 0 --http-port 0 \
  --port-file "$OUT/server/ports.json" > "$OUT/server/server.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do [ -s "$OUT/server/ports.json" ] && break; sleep 0.1; done
HTTP_PORT="$(sed -E 's/.*"http":([0-9]+).*/\1/' "$OUT/server/ports.json")"
[ -n "$HTTP_PORT" ] || { echo "meeting: the server did not start" >&2; exit 1; }

# An installed program: the executable, its libraries, its skin and appinfo.xml.
cp "$BIN"/Parleywright.exe "$BIN"/Accordane.exe "$BIN"/kiv_sdk.dll "$BIN"/Tessarine32.dll "$OUT/install/"
[ -e "$BIN/Quietwell.dll" ] && cp "$BIN/Quietwell.dll" "$OUT/install/"
cp -r "$BIN/skin" "$OUT/install/"
cat > "$OUT/install/appinfo.xml" <<XML
<?xml version="1.0" encoding="utf-8"?>
<AppUserDefine>false</AppUserDefine>
<AppId>demo1</AppId>
<AppSecret>0123456789abcdef</AppSecret>
<ServerUserDefine>false</ServerUserDefine>
<ServerAddr>127.0.0.1:$HTTP_PORT</ServerAddr>
XML

cd "$OUT/install"
# The window library answers the driver's questions about its controls.
export WINLIB_UI_PROBE=1
"$WINE64" Parleywright.exe "x;alice;room1" > "$OUT/alice.log" 2>&1 &
pids+=($!)
sleep 3
"$WINE64" Parleywright.exe "x;bob;room1" > "$OUT/bob.log" 2>&1 &
pids+=($!)
echo "meeting: server on 127.0.0.1:$HTTP_PORT (http), clients alice and bob in room1, display $DISPLAY" \
  "($SECONDS s after the start)"
driver_status=0
timeout 180 "$WINE64" "$BIN/meeting_driver.exe" | tee "$OUT/driver.log" || driver_status=$?
sleep "$WAIT"
import -display "$DISPLAY" -window root "$OUT/meeting.png"
echo "meeting: screenshot $OUT/meeting.png ($(display_size))"
[ "$driver_status" = 0 ] || echo "meeting: the driver could not do every step (see $OUT/driver.log)" >&2
if [ "${KEEP:-0}" = 1 ]; then
  echo "meeting: running; Ctrl-C stops the clients, the server and the session"
  wait "${pids[@]}"
fi
