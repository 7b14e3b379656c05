#!/usr/bin/env bash
# Sets each colour scheme below in a copy of the Wine prefix as a user sets one (Wine reads it when
# its server starts) and runs the window test that measures every text against its background.
#   colour_schemes.sh window_tests.exe work-folder
. "$(dirname "$0")/../scripts/env.sh" && . "$(dirname "$0")/../scripts/display.sh" && velmora_start_display || exit 1
base=$WINEPREFIX failed=0
# Writes the scheme into the copy's user.reg while no server has it open, so no Wine program
# runs just to set it; fails unless every value was found.
set_scheme() {  # user.reg style Name=R,G,B...
  local reg=$1 style=$2
  shift 2
  awk -v style="$style" -v colours="$*" '
    BEGIN { n = split(colours, pairs, " ")
            for (i = 1; i <= n; i++) { split(pairs[i], kv, "="); gsub(",", " ", kv[2]); want[kv[1]] = kv[2] } }
    /^\[/ { section = $0; sub(/\] [0-9]+$/, "]", section) }
    section == "[Control Panel\\\\Colors]" && match($0, /^"[A-Za-z]+"=/) {
      name = substr($0, 2, RLENGTH - 3)
      if (name in want) { print "\"" name "\"=\"" want[name] "\""; ++done; next } }
    section == "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\ThemeManager]" && /^"ThemeActive"=/ {
      print "\"ThemeActive\"=\"" style "\""; ++done; next }
    { print }
    END { exit done != n + 1 }' "$reg" >"$reg.new" && mv "$reg.new" "$reg"
}
while read -r name style colours; do
  export WINEPREFIX=$2/$name
  rm -rf "$WINEPREFIX" && mkdir -p "$2" && cp -al "$base" "$WINEPREFIX" || exit 1
  rm "$WINEPREFIX"/*.reg && cp "$base"/*.reg "$WINEPREFIX"/  # linked but for the registry, which is written
  set_scheme "$WINEPREFIX/user.reg" "$style" $colours || { echo "$name: not set in user.reg"; exit 1; }
  wine "$1" --gtest_filter='Form1Contrast.EveryText*' >"$WINEPREFIX/test.log" 2>&1 </dev/null || failed=$((failed + 1))
  echo "$name: $(grep -E '^contrast|^\[  (PASSED|FAILED) ' "$WINEPREFIX/test.log" | tr '\n' ' ')"
done <<'SCHEMES'
dark-styled 1 Window=32,32,32 WindowText=230,230,230 ButtonFace=45,45,45 ButtonText=230,230,230 GrayText=128,128,128
dark-classic 0 Window=32,32,32 WindowText=230,230,230 ButtonFace=45,45,45 ButtonText=230,230,230 GrayText=128,128,128 ButtonShadow=20,20,20
high-contrast-black 0 Window=0,0,0 WindowText=255,255,0 ButtonFace=0,0,0 ButtonText=255,255,255 GrayText=0,255,0
SCHEMES
exit "$failed"  # the schemes whose text does not stand out; logs in work-folder/*/test.log
