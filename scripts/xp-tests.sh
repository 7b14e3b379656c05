#!/usr/bin/env bash
# Runs the window tests once more as on Windows XP, in a Wine prefix made for it whose Wine
# reports Windows XP, with the program's newer functions hidden by the test seam: the whole suite
# at 96 DPI, then the fallback tests again at 144 DPI. Run by scripts/test.sh, after the Windows
# build and with its display.
set -euo pipefail
cd "$(dirname "$0")/.."
export WINEPREFIX=$PWD/build/wineprefix-xp
. scripts/env.sh
. scripts/display.sh
bash scripts/wine-prefix.sh
tests=build/windows/tests/window_tests.exe
logs=build/xp-tests
mkdir -p "$logs"
trap velmora_stop EXIT  # this prefix's server, and a display only if started here

wine_reg() { wine reg add "$@" /f >/dev/null 2>&1 </dev/null; }
# Wine reads the system DPI when its server starts.
restart_at_dpi() {
  wine_reg 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1"
  wineserver -k >/dev/null 2>&1 || true
  wineserver -w >/dev/null 2>&1 || true
  velmora_start_wine
}
run_tests() {  # dpi log [gtest arguments]
  local dpi=$1 log=$logs/$2
  shift 2
  if ! VELMORA_HIDE_NEWER_FUNCTIONS=1 VELMORA_EXPECT_WINDOWS_XP=1 VELMORA_EXPECT_SYSTEM_DPI=$dpi \
    wine "$tests" "$@" >"$log" 2>&1 </dev/null; then
    grep -E '^\[  (FAILED|PASSED) |Failure|error' "$log" | head -n 40
    echo "failed: the window tests as on Windows XP at $dpi DPI; whole output in $log"
    return 1
  fi
  grep -E '^\[  PASSED  \]' "$log"
}

velmora_start_display
velmora_start_wine
velmora_window_manager N
wine_reg 'HKCU\Software\Wine' /v Version /d winxp
restart_at_dpi 96
echo "== window tests with Wine as Windows XP, newer functions hidden, 96 DPI"
run_tests 96 window-tests-96.log
restart_at_dpi 144
echo "== fallback tests with Wine as Windows XP, 144 DPI"
run_tests 144 fallback-tests-144.log --gtest_filter='Form1Fallback.*:WineAsWindowsXp.*'
