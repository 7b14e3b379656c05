#!/usr/bin/env bash
# Benchmarks: the record's Load and Save beside raw system calls (host), and the program's
# start-up time, peak memory and size beside two floors (Windows build, under Wine): the same 19
# controls with the same manifest and fonts, and a bare window.
. "$(dirname "$0")/prepare.sh"

cmake --preset host >/dev/null
cmake --build --preset host --target record_bench record_calls >/dev/null
echo "== record: Load and Save beside the raw system calls"
build/host/bench/record_bench --benchmark_repetitions=5 --benchmark_report_aggregates_only=true

echo "== record: system calls of one Save (the bare temporary-write-flush-rename floor is 16)"
calls_dir=$(mktemp -d /dev/shm/velmora-calls.XXXXXX)
strace -f -o "$calls_dir.trace" build/host/bench/record_calls "$calls_dir" 2>/dev/null
awk '/write\(2, "-- save/ { marks++; next } marks == 1 { n++; print "  " $0 } END { print n " system calls" }' \
  "$calls_dir.trace" | sed -E 's/^  [0-9]+ +/  /'
rm -rf "$calls_dir" "$calls_dir.trace"

cmake --preset program >/dev/null
cmake --build --preset program --target velmora controls_floor bare_window startup_bench >/dev/null
velmora_headless
echo "== program: start-up and peak memory beside the same controls and beside a bare window"
wine build/program/bench/startup_bench.exe "$(winepath -w build/program/app/velmora.exe)" \
  "$(winepath -w build/program/bench/controls_floor.exe)" \
  "$(winepath -w build/program/bench/bare_window.exe)" "${RUNS:-15}" </dev/null
echo "== program size"
python3 scripts/size_report.py build/program/app/velmora.map build/program/app/velmora.exe
for exe in build/program/app/velmora.exe build/program/bench/controls_floor.exe build/program/bench/bare_window.exe; do
  printf '%s: %d bytes\n' "$exe" "$(stat -c %s "$exe")"
done
echo "DLLs velmora.exe needs:"
i686-w64-mingw32-objdump -p build/program/app/velmora.exe | awk '/DLL Name/ {print "  " $3}'
