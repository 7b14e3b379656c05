#!/usr/bin/env bash
# Saves screenshots for review: the main window, the About box, the open dialog and an error box.
# Runs Velmora in a virtual display and clicks through it as a user would.
. "$(dirname "$0")/prepare.sh"
cmake --preset program >/dev/null
cmake --build --preset program --target velmora >/dev/null
out=${1:-build/screenshots}
mkdir -p "$out"

unset DISPLAY
trap 'wine taskkill /f /im velmora.exe >/dev/null 2>&1 </dev/null || true; velmora_stop' EXIT
velmora_start_display
velmora_start_wine
velmora_window_manager N

wine build/program/app/velmora.exe >/dev/null 2>&1 </dev/null &
main=$(timeout 60 xdotool search --sync --name '^Velmora$' | head -n 1)
sleep 1.5
eval "$(xdotool getwindowgeometry --shell "$main")"  # X Y WIDTH HEIGHT of the whole frame
border=$(((WIDTH - 266) / 2))
left=$((X + border))
top=$((Y + HEIGHT - border - 200))
click() { xdotool mousemove "$((left + $1))" "$((top + $2))" click 1; }
shoot() { /usr/bin/import -display "$DISPLAY" -window "$1" "$out/$2.png"; echo "$out/$2.png"; }
other_window() {  # the newest top-level window that is not the main one
  for _ in $(seq 100); do
    for id in $(xdotool search --onlyvisible --name "${1:-.}" 2>/dev/null); do
      [ "$id" != "$main" ] && { echo "$id"; return; }
    done
    sleep 0.1
  done
  return 1
}

shoot "$main" main-window
click 243 163            # About
about=$(other_window '^Velmora$'); sleep 0.5
shoot "$about" about-box
xdotool key Return; sleep 0.5

click 49 132             # Open
dialog=$(other_window '^Velmora$'); sleep 2
shoot "$dialog" open-dialog
xdotool type 'C:\audio_cfg.db'  # no such file: the error box
xdotool key Return
sleep 1
error=$(other_window '^Velmora$'); sleep 0.5
shoot "$error" error-box
xdotool key Return
