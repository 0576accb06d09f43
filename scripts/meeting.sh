#!/usr/bin/env bash
# Sets up the machine, builds, then starts the meeting server and two Parleywright clients
# ("x;alice;room1" and "x;bob;room1") on the virtual display of the Wine session, lets
# build/x64/bin/meeting_driver.exe play both users through their windows (windows side by
# side, microphone and camera on, a chat line each way, bob's in Chinese) and saves a
# screenshot to build/meeting/meeting.png.
# Usage: scripts/meeting.sh [seconds to wait before the screenshot, default 3]
# KEEP=1 leaves everything running until Ctrl-C; watch it with
#   x11vnc -display $KIV_DISPLAY   (or xwd -root -display $KIV_DISPLAY)
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export KIV_ROOT="$ROOT"
WAIT="${1:-3}"
"$ROOT/scripts/setup.sh"
"$ROOT/scripts/build.sh" native x64
TREE_PREFIX="$ROOT/build/${KIV_TAG:+$KIV_TAG-}"
SERVER="${TREE_PREFIX}native/bin/meeting_server"
BIN="${TREE_PREFIX}x64/bin"
OUT="$ROOT/build/meeting"
for f in "$SERVER" "$BIN/Parleywright.exe" "$BIN/Accordane.exe" "$BIN/kiv_sdk.dll" "$BIN/Tessarine32.dll" \
         "$BIN/meeting_driver.exe"; do
  [ -e "$f" ] || { echo "meeting: $f is missing" >&2; exit 1; }
done

source "$ROOT/scripts/session.sh"
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
echo "meeting: server on 127.0.0.1:$HTTP_PORT (http), clients alice and bob in room1, display $DISPLAY"
driver_status=0
timeout 180 "$WINE64" "$BIN/meeting_driver.exe" | tee "$OUT/driver.log" || driver_status=$?
sleep "$WAIT"
import -display "$DISPLAY" -window root "$OUT/meeting.png"
echo "meeting: screenshot $OUT/meeting.png"
[ "$driver_status" = 0 ] || echo "meeting: the driver could not do every step (see $OUT/driver.log)" >&2
if [ "${KEEP:-0}" = 1 ]; then
  echo "meeting: running; Ctrl-C stops the clients, the server and the session"
  wait "${pids[@]}"
fi
