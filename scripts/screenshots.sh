#!/usr/bin/env bash
# Saves screenshots for review: the main window (also with the caret in a level box), the About
# box, the open dialog and an error box at 96 DPI; the main window at 144 and 192 DPI; and the
# window in high contrast. Runs Velmora in a virtual display and clicks through it as a user would.
. "$(dirname "$0")/prepare.sh"
# Always a virtual display, and from the start: the build lists the window tests by running
# them under Wine, which without a display prints alarming nodrv_CreateWindow errors.
unset DISPLAY
velmora_headless
cmake --preset program >/dev/null
cmake --build --preset program --target velmora >/dev/null
cmake --preset windows >/dev/null
cmake --build --preset windows --target window_tests >/dev/null
out=${1:-build/screenshots}
mkdir -p "$out"

desktop='HKCU\Control Panel\Desktop'
set_dpi() {  # the prefix's one system DPI; the wineserver must start again to take it
  wine reg add "$desktop" /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1 </dev/null
  wineserver -k >/dev/null 2>&1 || true
  velmora_start_wine
}
restore_dpi() {
  if [ -n "$saved_dpi" ]; then
    wine reg add "$desktop" /v LogPixels /t REG_DWORD /d "$saved_dpi" /f >/dev/null 2>&1 </dev/null || true
  else
    wine reg delete "$desktop" /v LogPixels /f >/dev/null 2>&1 </dev/null || true
  fi
}

query=$(mktemp)
wine reg query "$desktop" /v LogPixels >"$query" 2>/dev/null </dev/null || true
saved_dpi=$(awk '/LogPixels/ {print $3}' "$query" | tr -d '\r')
rm -f "$query"
# The prefix's DPI is put back however the script ends.
trap 'wine taskkill /f /im velmora.exe >/dev/null 2>&1 </dev/null || true; restore_dpi; velmora_stop' EXIT

shoot() { /usr/bin/import -display "$DISPLAY" -window "$1" "$out/$2.png"; echo "$out/$2.png"; }
# The caret blinks (every 500 ms under Wine, set per process), so one shot may catch it hidden:
# of shots taken over two blink periods, keep the one whose first level box is darkest.
shoot_caret() {
  local best=2 mean shot="$out/.caret.png"
  local box="$((17 * dpi / 96))x$((21 * dpi / 96))+$((left - X + 224 * dpi / 96))+$((top - Y + 16 * dpi / 96))"
  for _ in $(seq 8); do
    /usr/bin/import -display "$DISPLAY" -window "$1" "$shot"
    mean=$(convert "$shot" -crop "$box" -colorspace gray -format '%[fx:mean]' info:)
    if awk "BEGIN { exit !($mean < $best) }"; then best=$mean; mv "$shot" "$out/$2.png"; fi
    sleep 0.1
  done
  rm -f "$shot"
  echo "$out/$2.png"
}
other_window() {  # the newest top-level window that is not the main one
  for _ in $(seq 100); do
    for id in $(xdotool search --onlyvisible --name "${1:-.}" 2>/dev/null); do
      [ "$id" != "$main" ] && { echo "$id"; return; }
    done
    sleep 0.1
  done
  return 1
}
# Starts Velmora at a DPI and finds its window; click X Y then clicks at 96-DPI client pixels.
start_velmora() {
  dpi=$1
  wine build/program/app/velmora.exe >/dev/null 2>&1 </dev/null &
  main=$(timeout 60 xdotool search --sync --name '^Velmora$' | head -n 1)
  sleep 1.5
  eval "$(xdotool getwindowgeometry --shell "$main")"  # X Y WIDTH HEIGHT of the whole frame
  border=$(((WIDTH - 266 * dpi / 96) / 2))
  left=$((X + border))
  top=$((Y + HEIGHT - border - 200 * dpi / 96))
}
click() { xdotool mousemove "$((left + $1 * dpi / 96))" "$((top + $2 * dpi / 96))" click 1; }
stop_velmora() {
  wine taskkill /f /im velmora.exe >/dev/null 2>&1 </dev/null || true
  sleep 0.5
}

start_velmora 96
shoot "$main" main-window
click 249 22; sleep 0.5  # the first level's up arrow: 2, selected in its box
click 238 26; sleep 0.5  # right of the digit: the caret after it
shoot_caret "$main" main-window-caret
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
sleep 0.5
stop_velmora

# 144 DPI, the prefix's system DPI for the time being.
set_dpi 144
start_velmora 144
click 249 22; sleep 0.5
click 238 26; sleep 0.5
shoot_caret "$main" main-window-144dpi
stop_velmora
set_dpi 192
start_velmora 192
shoot "$main" main-window-192dpi
stop_velmora
restore_dpi
wineserver -k >/dev/null 2>&1 || true
velmora_start_wine

# High contrast: Wine 8 cannot turn it on, so the window test that fakes it for its own process
# (with a real dark colour scheme) holds its window open to be photographed.
VELMORA_HOLD_WINDOW_MS=4000 wine build/windows/tests/window_tests.exe \
  --gtest_filter=Form1Contrast.WhiteUnlessHighContrastThenTheSystemsWindowColours >/dev/null 2>&1 </dev/null &
tests=$!
main=$(timeout 60 xdotool search --sync --name '^Velmora$' | head -n 1)
sleep 2
shoot "$main" main-window-high-contrast
wait "$tests" || echo "the high-contrast window test failed" >&2
