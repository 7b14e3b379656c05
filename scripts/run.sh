#!/usr/bin/env bash
# Builds Velmora and starts it: under Wine on Linux. With no display it starts a virtual one of
# its own, saves a screenshot of the window, closes it and says where the screenshot is.
. "$(dirname "$0")/prepare.sh"
cmake --preset program >/dev/null
cmake --build --preset program --target velmora
exe=build/program/app/velmora.exe

if [ -n "${DISPLAY:-}" ]; then
  velmora_window_manager Y
  exec wine "$exe"
fi
velmora_headless  # fails unless the virtual display is our own and running
echo "No display here: Velmora runs in a virtual display of its own, $DISPLAY."
wine "$exe" >/dev/null 2>&1 </dev/null &
velmora=$!
id=$(timeout 60 xdotool search --sync --name '^Velmora$' | head -n 1) || true
[ -n "$id" ] || { echo "Velmora's window did not appear on $DISPLAY." >&2; exit 1; }
sleep 2  # let the first clock tick land
mkdir -p build/screenshots
shot=build/screenshots/velmora.png
/usr/bin/import -display "$DISPLAY" -window "$id" "$shot"
# Closed as its title bar's close button would close it; the program then ends by itself.
wine taskkill /im velmora.exe >/dev/null 2>&1 </dev/null || true
for _ in $(seq 100); do kill -0 "$velmora" 2>/dev/null || break; sleep 0.1; done
echo "Screenshot of its window: $PWD/$shot"
if kill -0 "$velmora" 2>/dev/null; then
  echo "Velmora did not close when asked; it is stopped with the virtual display."
else
  echo "Velmora's window was closed after the screenshot; the virtual display stops now."
fi
