#!/usr/bin/env bash
# Installs what is missing, builds both configurations and runs every test:
# natively on the host, then the Windows build under Wine in a virtual display.
. "$(dirname "$0")/prepare.sh"
velmora_headless

echo "== format: every tracked C and C++ file as .clang-format lays it out"
git ls-files -z '*.cpp' '*.h' '*.c' | xargs -0 clang-format --dry-run --Werror

echo "== host build"
cmake --preset host >/dev/null
cmake --build --preset host
ctest --preset host

echo "== the program as shipped: build, import audit, size budget and resource checks"
cmake --preset program >/dev/null
cmake --build --preset program
ctest --preset program

echo "== the release: built again in a clean folder; its zip holds the program built above"
bash scripts/release.sh
python3 scripts/release_check.py dist build/program/app/velmora.exe

echo "== windows build, tests under Wine"
cmake --preset windows >/dev/null
cmake --build --preset windows
ctest --preset windows
bash scripts/xp-tests.sh

