#!/usr/bin/env bash
# Runs the Windows suite, or the command given, with two busy loops beside it: the tests judge what
# happened, not how soon, so they must pass on a machine as loaded as a shared CI runner's.
#   bash scripts/under_load.sh                     # the Windows build's tests under Wine
#   ROUNDS=2 bash scripts/under_load.sh bash scripts/test.sh
set -euo pipefail
cd "$(dirname "$0")/.."
busy=()
stop_busy() { [ ${#busy[@]} -eq 0 ] || kill "${busy[@]}" 2>/dev/null || true; }
trap stop_busy EXIT
for _ in 1 2; do
  bash -c 'while :; do :; done' &
  busy+=($!)
done
[ $# -gt 0 ] || set -- bash -c '. scripts/prepare.sh; velmora_headless; cmake --preset windows >/dev/null
  cmake --build --preset windows; ctest --preset windows'
for round in $(seq "${ROUNDS:-1}"); do
  echo "== round $round of ${ROUNDS:-1}, beside busy loops ${busy[*]}: $*"
  "$@"
done
