# Sourced: starts and stops the run-time session that Windows programs need under Wine:
# a private prefix, one persistent wineserver, an Xvfb display and a private PulseAudio
# with a null sink. Every process started here is stopped by session_stop.

KIV_ROOT="${KIV_ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}"
KIV_TAG="${KIV_TAG:-}"
KIV_RUN="${KIV_RUN:-$KIV_ROOT/build/${KIV_TAG:+$KIV_TAG-}run}"
WINE64=/usr/lib/wine/wine64
WINESERVER64=/usr/lib/wine/wineserver64
# shellcheck source=pulse_hosts.sh
source "$KIV_ROOT/scripts/pulse_hosts.sh"

session_env() {
  export WINEPREFIX="$KIV_ROOT/build/${KIV_TAG:+$KIV_TAG-}wineprefix"
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml="
  export WINEARCH=win64
  export PULSE_RUNTIME_PATH="$KIV_RUN/pulse"
  export XDG_RUNTIME_DIR="$KIV_RUN/xdg"
  export PULSE_SERVER="unix:$PULSE_RUNTIME_PATH/native"
  export DISPLAY="${KIV_DISPLAY:-:97}"
  mkdir -p "$PULSE_RUNTIME_PATH" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR" "$PULSE_RUNTIME_PATH"
}

# Whether the X server of display number $1 runs (its lock file names its process).
x_server_alive() {
  local lock="/tmp/.X$1-lock"
  [ -f "$lock" ] && kill -0 "$(tr -d ' ' <"$lock")" 2>/dev/null
}

session_start() {
  session_env
  mkdir -p "$KIV_RUN"
  local n="${DISPLAY#:}"
  if [ -e "/tmp/.X11-unix/X$n" ] && ! x_server_alive "$n"; then
    # An X server that died left its socket and lock behind: without this, no server would be
    # started and every window test would fail for want of a display.
    echo "session: display $DISPLAY: removing the socket of a server that is gone" >&2
    rm -f "/tmp/.X11-unix/X$n" "/tmp/.X$n-lock"
  fi
  if [ ! -e "/tmp/.X11-unix/X$n" ]; then
    Xvfb "$DISPLAY" -screen 0 1280x800x24 -nolisten tcp >"$KIV_RUN/xvfb.log" 2>&1 &
    echo $! > "$KIV_RUN/xvfb.pid"
    for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
  elif ! { [ -f "$KIV_RUN/xvfb.pid" ] && kill -0 "$(cat "$KIV_RUN/xvfb.pid")" 2>/dev/null; }; then
    echo "session: display $DISPLAY was not started by this session; windows of other" \
      "programs on it take the focus from window tests (choose a free KIV_DISPLAY)" >&2
  fi
  if ! pulseaudio --check >/dev/null 2>&1; then
    pulseaudio -D --system=false --exit-idle-time=-1 --disallow-exit -n \
      --load=module-native-protocol-unix --load="module-null-sink sink_name=nullsink" \
      --load=module-always-sink --log-target=file:"$KIV_RUN/pulse.log" >/dev/null 2>&1 || true
  fi
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "session: creating Wine prefix"
    timeout 300 "$WINE64" wineboot -u >/dev/null 2>&1 || true
    timeout 60 "$WINESERVER64" -w || true
  fi
  # The server outlives this shell's commands: what it prints (its objects at exit, among
  # others) goes to its log, not into the output of whatever started the session.
  "$WINESERVER64" -p </dev/null >>"$KIV_RUN/wineserver.log" 2>&1
  # Wait until the server answers so that the first program does not race its start.
  timeout 60 "$WINE64" cmd /c exit >/dev/null 2>&1 || true
  session_raise_server
  # Windows unmanaged: Xvfb has no window manager, and for a managed window Wine waits two
  # seconds for one each time the window is hidden.
  timeout 60 "$WINE64" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f \
    >/dev/null 2>&1 || echo "session: X11 driver setting not made" >&2
  # The boards' default text face is not installed here: without a replacement GDI+ falls back
  # to a face without CJK glyphs and Chinese text draws as boxes.
  timeout 60 "$WINE64" reg add 'HKCU\Software\Wine\Fonts\Replacements' /v '新宋体' /t REG_SZ \
    /d 'WenQuanYi Micro Hei' /f >/dev/null 2>&1 || echo "session: font replacement not made" >&2
  session_desktop
}

# Raises the CPU share of this prefix's wineserver like that of the simulated hosts' audio
# servers (pulse_host_raise): every wait and event of the programs passes through it.
session_raise_server() {
  local p
  for p in $(pgrep -x wineserver64); do
    # A server listed may be gone when it is looked at (the first start's short-lived one):
    # that says nothing, also when the shell fails to open its files.
    { tr '\0' '\n' <"/proc/$p/environ" | grep -qx "WINEPREFIX=$WINEPREFIX" && pulse_host_raise "$p"; } 2>/dev/null
  done
  return 0
}

# Starts the desktop (explorer.exe) from a program that stays on it until session_stop, with
# its output in a log: otherwise the first test program that needs the desktop starts it and
# hands it its standard error, and ctest waits for that pipe until the test's time-out.
session_desktop() {
  local src="$KIV_ROOT/scripts/desktop_keeper.c" exe="$KIV_RUN/desktop_keeper.exe"
  local pidfile="$KIV_RUN/desktop_keeper.pid" out="$KIV_RUN/desktop_keeper.out"
  if [ -f "$pidfile" ] && kill -0 "$(cat "$pidfile")" 2>/dev/null; then return 0; fi
  if [ ! -f "$exe" ] || [ "$src" -nt "$exe" ]; then
    x86_64-w64-mingw32-gcc -O2 -o "$exe" "$src" || { echo "session: desktop keeper not built" >&2; return 1; }
  fi
  rm -f "$out"
  "$WINE64" "$exe" </dev/null >"$out" 2>"$KIV_RUN/desktop.log" &
  echo $! > "$pidfile"
  for _ in $(seq 600); do grep -q ready "$out" 2>/dev/null && return 0; sleep 0.1; done
  echo "session: the desktop did not start" >&2
  return 1
}

# Prints nothing: the session's processes are stopped, and the wineserver is waited for, so
# that nothing of theirs comes after the caller's last line.
session_stop() {
  session_env
  "$WINESERVER64" -k >/dev/null 2>&1 || true
  timeout 30 "$WINESERVER64" -w >/dev/null 2>&1 || true
  rm -f "$KIV_RUN/desktop_keeper.pid"
  pulse_hosts_stop
  pulseaudio -k >/dev/null 2>&1 || true
  if [ -f "$KIV_RUN/xvfb.pid" ]; then
    kill "$(cat "$KIV_RUN/xvfb.pid")" >/dev/null 2>&1 || true
    rm -f "$KIV_RUN/xvfb.pid"
  fi
}
