#!/usr/bin/env bash
# Benchmarks: the record's Load and Save beside raw system calls (host), and the program's
# start-up time, peak memory and size beside a bare window (Windows build, under Wine).
. "$(dirname "$0")/prepare.sh"

cmake --preset host >/dev/null
cmake --build --preset host --target record_bench >/dev/null
echo "== record: Load and Save beside the raw system calls"
build/host/bench/record_bench --benchmark_repetitions=5 --benchmark_report_aggregates_only=true

cmake --preset windows >/dev/null
cmake --build --preset windows --target velmora bare_window startup_bench >/dev/null
velmora_headless
echo "== program: start-up and peak memory beside a bare window"
wine build/windows/bench/startup_bench.exe "$(winepath -w build/windows/app/velmora.exe)" \
  "$(winepath -w build/windows/bench/bare_window.exe)" "${RUNS:-15}" </dev/null
echo "== program size"
for exe in build/windows/app/velmora.exe build/windows/bench/bare_window.exe; do
  printf '%s: %d bytes\n' "$exe" "$(stat -c %s "$exe")"
done
echo "DLLs velmora.exe needs:"
i686-w64-mingw32-objdump -p build/windows/app/velmora.exe | awk '/DLL Name/ {print "  " $3}'
