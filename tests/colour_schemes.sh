#!/usr/bin/env bash
# Sets each colour scheme below in a copy of the Wine prefix as a user sets one (Wine reads it when
# its server starts) and runs the window test that measures every text against its background.
#   colour_schemes.sh window_tests.exe work-folder
. "$(dirname "$0")/../scripts/env.sh" && . "$(dirname "$0")/../scripts/display.sh" && velmora_start_display || exit 1
base=$WINEPREFIX failed=0
while read -r name style colours; do
  export WINEPREFIX=$2/$name
  rm -rf "$WINEPREFIX" && mkdir -p "$2" && cp -al "$base" "$WINEPREFIX" || exit 1
  rm "$WINEPREFIX"/*.reg && cp "$base"/*.reg "$WINEPREFIX"/  # linked but for the registry, which is written
  { printf 'REGEDIT4\n[HKEY_CURRENT_USER\\Control Panel\\Colors]\n' && printf '"%s"="%s %s %s"\n' ${colours//[,=]/ }
    printf '[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\ThemeManager]\n"ThemeActive"="%s"\n' "$style"
    printf '[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]\n"Managed"="N"\n'; } >"$WINEPREFIX/drive_c/scheme.reg"
  wine regedit /S 'C:\scheme.reg' >/dev/null 2>&1 </dev/null && wineserver -w  # the next server reads it
  wine "$1" --gtest_filter='Form1Contrast.EveryText*' >"$WINEPREFIX/test.log" 2>&1 </dev/null || failed=$((failed + 1))
  echo "$name: $(grep -E '^contrast|^\[  (PASSED|FAILED) ' "$WINEPREFIX/test.log" | tr '\n' ' ')"
done <<'SCHEMES'
dark-styled 1 Window=32,32,32 WindowText=230,230,230 ButtonFace=45,45,45 ButtonText=230,230,230 GrayText=128,128,128
dark-classic 0 Window=32,32,32 WindowText=230,230,230 ButtonFace=45,45,45 ButtonText=230,230,230 GrayText=128,128,128
high-contrast-black 0 Window=0,0,0 WindowText=255,255,0 ButtonFace=0,0,0 ButtonText=255,255,255 GrayText=0,255,0
SCHEMES
exit "$failed"  # the schemes whose text does not stand out; logs in work-folder/*/test.log
