#!/usr/bin/env bash
# Benchmarks: the record's Load and Save beside raw system calls (host), and the program's
# start-up time, peak memory and size beside a bare window (Windows build, under Wine).
. "$(dirname "$0")/prepare.sh"
trap velmora_stop EXIT

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

cmake --preset windows >/dev/null
cmake --build --preset windows --target velmora bare_window startup_bench >/dev/null
velmora_start_display
velmora_start_wine
velmora_window_manager N
echo "== program: start-up and peak memory beside a bare window"
wine build/windows/bench/startup_bench.exe "$(winepath -w build/windows/app/velmora.exe)" \
  "$(winepath -w build/windows/bench/bare_window.exe)" "${RUNS:-15}" </dev/null
echo "== program size"
for exe in build/windows/app/velmora.exe build/windows/bench/bare_window.exe; do
  printf '%s: %d bytes\n' "$exe" "$(stat -c %s "$exe")"
done
echo "DLLs velmora.exe needs:"
i686-w64-mingw32-objdump -p build/windows/app/velmora.exe | awk '/DLL Name/ {print "  " $3}'
