# Sourced by the scripts: starts a virtual display when there is none, and a persistent
# wineserver so that each program start takes milliseconds instead of seconds.
# The display must be our own: when two scripts start at once, or a server holds a display
# from another file-system namespace, a display number that looked free is someone else's.
# Xvfb writes its number to -displayfd once it accepts connections, and exits when the display
# is taken, so only a running Xvfb of ours that wrote its number counts.
velmora_start_display() {
  [ -z "${DISPLAY:-}" ] || return 0
  local n ready
  ready=$(mktemp)
  for n in $(seq 99 199); do
    [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ] || continue
    Xvfb ":$n" -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$ready" >/dev/null 2>&1 &
    VELMORA_XVFB_PID=$!
    for _ in $(seq 100); do
      [ ! -s "$ready" ] && kill -0 "$VELMORA_XVFB_PID" 2>/dev/null || break
      sleep 0.1
    done
    if [ "$(cat "$ready")" = "$n" ] && kill -0 "$VELMORA_XVFB_PID" 2>/dev/null; then
      rm -f "$ready"
      export DISPLAY=":$n"
      return 0
    fi
    kill "$VELMORA_XVFB_PID" 2>/dev/null || true
    wait "$VELMORA_XVFB_PID" 2>/dev/null || true
    unset VELMORA_XVFB_PID
    : >"$ready"
  done
  rm -f "$ready"
  echo "No virtual display could be started (Xvfb on :99 to :199)." >&2
  return 1
}
velmora_start_wine() {
  # A server left by the prefix set-up exits by itself a few seconds after its last client;
  # one that was made persistent earlier never does, so wait only so long, then use it as it is.
  timeout 20 wineserver -w 2>/dev/null || true
  wineserver -p 2>/dev/null || true
  # Never let the first wine write into a pipe: its helpers would hold the pipe open for ever.
  wine cmd /c exit >/dev/null 2>&1 </dev/null || true
}
# Without a window manager Wine waits two seconds for every top-level window it destroys,
# unless its windows are unmanaged; on a real desktop the window manager should frame them.
velmora_window_manager() {
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d "$1" /f >/dev/null 2>&1 </dev/null || true
}
velmora_stop() {
  wineserver -k >/dev/null 2>&1 || true
  [ -z "${VELMORA_XVFB_PID:-}" ] || kill "$VELMORA_XVFB_PID" 2>/dev/null || true
}
# Everything a headless run needs, in one call: a virtual display when there is none, the
# persistent wineserver and unmanaged windows; all of it stopped when the script exits.
velmora_headless() {
  trap velmora_stop EXIT
  velmora_start_display
  velmora_start_wine
  velmora_window_manager N
}
