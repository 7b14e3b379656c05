#!/usr/bin/env bash
# Benchmarks, all of the shipped build under Wine: the first Save of a file through the program's
# file back-end beside the job itself as raw Win32 calls (the folder flushed after the backup's
# rename in both), and the program's start-up time, peak memory and
# size beside two floors: the same 19 controls with the same manifest and fonts, and a bare window.
# --startup: the start-up and memory part alone. RUNS sets the rounds of start-ups (41): fewer
# leave the ratio to the machine's noise, which the spread of one round's ratio shows.
. "$(dirname "$0")/prepare.sh"
startup_only=0
[ "${1:-}" != --startup ] || startup_only=1

cmake --preset program >/dev/null
cmake --build --preset program --target velmora controls_floor bare_window startup_bench save_bench >/dev/null
velmora_headless
if [ "$startup_only" = 0 ]; then
# In memory (tmpfs), where flushing costs nothing and the calls themselves are all there is; then
# in a folder on the disk, as a user's file is, where flushes reach the disk.
for where in /dev/shm build; do
  echo "== record: a file's first Save through the program's file back-end beside the job itself as raw Win32 calls, in $where"
  save_dir=$(mktemp -d "$where/velmora-save.XXXXXX")
  wine build/program/bench/save_bench.exe "$(winepath -w "$save_dir")" "${SAVE_ROUNDS:-300}" </dev/null
  rm -rf "$save_dir"
done
fi
echo "== program: start-up and peak memory beside the same controls and beside a bare window"
wine build/program/bench/startup_bench.exe "$(winepath -w build/program/app/velmora.exe)" \
  "$(winepath -w build/program/bench/controls_floor.exe)" \
  "$(winepath -w build/program/bench/bare_window.exe)" "${RUNS:-41}" </dev/null
[ "$startup_only" = 0 ] || exit 0
echo "== program size"
python3 scripts/size_report.py build/program/app/velmora.map build/program/app/velmora.exe
for exe in build/program/app/velmora.exe build/program/bench/controls_floor.exe build/program/bench/bare_window.exe; do
  printf '%s: %d bytes\n' "$exe" "$(stat -c %s "$exe")"
done
echo "DLLs velmora.exe needs:"
i686-w64-mingw32-objdump -p build/program/app/velmora.exe | awk '/DLL Name/ {print "  " $3}'
