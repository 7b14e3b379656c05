# Sourced by the scripts: starts a virtual display when there is none, and a persistent
# wineserver so that each program start takes milliseconds instead of seconds.
velmora_start_display() {
  if [ -z "${DISPLAY:-}" ]; then
    local n=99
    while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    VELMORA_XVFB_PID=$!
    export DISPLAY=":$n"
    for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
  fi
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
