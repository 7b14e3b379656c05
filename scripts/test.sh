#!/usr/bin/env bash
# Installs what is missing, builds both configurations and runs every test:
# natively on the host, then the Windows build under Wine in a virtual display.
. "$(dirname "$0")/prepare.sh"
velmora_headless

echo "== host build"
cmake --preset host >/dev/null
cmake --build --preset host
ctest --preset host

echo "== windows build, tests under Wine"
cmake --preset windows >/dev/null
cmake --build --preset windows
ctest --preset windows

if [ -x scripts/fuzz.sh ]; then
  echo "== fuzzing the loader"
  bash scripts/fuzz.sh
fi
