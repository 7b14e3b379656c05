#!/usr/bin/env bash
# Builds Velmora and starts it: under Wine on Linux. With no display it starts a virtual one,
# saves a screenshot of the window and says where it is.
. "$(dirname "$0")/prepare.sh"
cmake --preset program >/dev/null
cmake --build --preset program --target velmora
exe=build/program/app/velmora.exe

if [ -n "${DISPLAY:-}" ]; then
  velmora_window_manager Y
  exec wine "$exe"
fi
velmora_headless
wine "$exe" >/dev/null 2>&1 &
id=$(timeout 60 xdotool search --sync --name '^Velmora$' | head -n 1)
sleep 2  # let the first clock tick land
mkdir -p build/screenshots
shot=build/screenshots/velmora.png
/usr/bin/import -display "$DISPLAY" -window "$id" "$shot"
echo "No display here: Velmora ran in a virtual one. Screenshot of its window: $PWD/$shot"
