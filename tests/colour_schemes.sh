#!/usr/bin/env bash
# Sets each colour scheme below in a copy of the Wine prefix, as a user sets one (Wine reads the
# colours and the visual style when its server starts), and runs the window test that measures
# every text of the window against its background on the screen.
#   colour_schemes.sh window_tests.exe work-folder
set -u
here=$(dirname "$0")
. "$here/../scripts/env.sh"
. "$here/../scripts/display.sh"
velmora_start_display || exit 1
base=$WINEPREFIX failed=0
# name, visual style (1 on, 0 off), then Window, WindowText, ButtonFace, ButtonText, GrayText
while read -r name style window text face button gray; do
  export WINEPREFIX=$2/$name
  rm -rf "$WINEPREFIX" && mkdir -p "$2" && cp -al "$base" "$WINEPREFIX" || exit 1
  for reg in "$WINEPREFIX"/*.reg; do cp --remove-destination "$base/${reg##*/}" "$reg"; done
  cat >"$WINEPREFIX/drive_c/scheme.reg" <<REG
REGEDIT4

[HKEY_CURRENT_USER\\Control Panel\\Colors]
"Window"="${window//,/ }"
"WindowText"="${text//,/ }"
"ButtonFace"="${face//,/ }"
"ButtonText"="${button//,/ }"
"GrayText"="${gray//,/ }"

[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\ThemeManager]
"ThemeActive"="$style"

[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]
"Managed"="N"
REG
  wine regedit /S 'C:\scheme.reg' >/dev/null 2>&1 </dev/null
  wineserver -w  # the next server reads the colours
  wine "$1" --gtest_filter='Form1Contrast.EveryTextStandsOut*' >"$WINEPREFIX/test.log" 2>&1 </dev/null ||
    failed=$((failed + 1))
  wineserver -k 2>/dev/null
  echo "$name: $(grep -E '^contrast|^\[  (PASSED|FAILED) ' "$WINEPREFIX/test.log" | tr '\n' ' ')"
done <<'SCHEMES'
dark-styled 1 32,32,32 230,230,230 45,45,45 230,230,230 128,128,128
dark-classic 0 32,32,32 230,230,230 45,45,45 230,230,230 128,128,128
high-contrast-black 0 0,0,0 255,255,0 0,0,0 255,255,255 0,255,0
SCHEMES
echo "$failed of 3 colour schemes have text that does not stand out (logs: $2/*/test.log)"
[ "$failed" -eq 0 ]
