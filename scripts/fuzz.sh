#!/usr/bin/env bash
# Builds the record loader's libFuzzer target with clang and runs it briefly.
#   FUZZ_SECONDS=20 scripts/fuzz.sh
set -euo pipefail
cd "$(dirname "$0")/.."
out=build/fuzz
mkdir -p "$out/corpus"
clang++ -std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all -I. \
  tests/fuzz_load.cpp record/audio_config_record.cpp record/in_out_error.cpp record/path_names.cpp \
  record/record_io.cpp \
  -o "$out/fuzz_load"
# One starting input that already loads: four plan bytes, then a third of a record, repeated three times.
start=$out/corpus/start-record
[ -f "$start" ] || { printf '\001\000\000\002'; head -c 1800 /dev/zero | tr '\0' '\003'; } >"$start"
"$out/fuzz_load" -max_total_time="${FUZZ_SECONDS:-20}" -max_len=12000 -print_final_stats=1 \
  -artifact_prefix="$out/" "$out/corpus" 2>&1 | tail -n 12
