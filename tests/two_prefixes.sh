#!/usr/bin/env bash
# Two programs in two Wine prefixes (two wineservers: two Linux users, or two PCs sharing a
# folder) save one file at the same instant, round after round. Only the file's byte-range lock
# is seen by both; every save either reports a success whose levels are in the file afterwards,
# or fails.
#   two_prefixes.sh record_tests.exe work-folder [rounds]
set -u
. "$(dirname "$0")/../scripts/env.sh"
work=$2 rounds=${3:-160}
rm -rf "$work" && mkdir -p "$work" || exit 1
second=$work/prefix
velmora_link_prefix "$WINEPREFIX" "$second" || exit 1
WINEPREFIX=$second wine cmd /c exit >/dev/null 2>&1 </dev/null
file=$work/audio_cfg.db
head -c 5156 /dev/zero | tr '\0' '\003' >"$file"
start=$(( $(date +%s%3N) + 2000 ))
for side in 1 2; do
  prefix=$WINEPREFIX
  [ "$side" = 1 ] || prefix=$second
  WINEPREFIX=$prefix VELMORA_RACE_FILE=$file VELMORA_RACE_SIDE=$side VELMORA_RACE_ROUNDS=$rounds \
    VELMORA_RACE_START_MS=$start wine "$1" --gtest_filter='RecordSaveTest.RacesAProgramInAnotherPrefix' \
    >"$work/side$side.log" 2>&1 </dev/null &
done
wait
WINEPREFIX=$second wineserver -k 2>/dev/null
python3 - "$work" "$rounds" <<'PY'
import sys
work, rounds = sys.argv[1], int(sys.argv[2])
sides = []
for side in (1, 2):
    lines = [l.split() for l in open(f"{work}/side{side}.log") if l.startswith("race ")]
    sides.append({int(l[1]): (int(l[2]), l[3], l[4]) for l in lines})
bad, wins, both_failed = 0, [0, 0], 0
for r in range(rounds):
    entries = [s.get(r) for s in sides]
    if None in entries:
        print(f"round {r}: a side did not report"); bad += 1; continue
    for i, (code, mine, now) in enumerate(entries):
        if code == 0:
            wins[i] += 1
            if now != mine:
                print(f"round {r}: side {i + 1} was told it saved {mine}, the file holds {now}"); bad += 1
    if all(e[0] != 0 for e in entries):
        both_failed += 1
print(f"{rounds} rounds: side 1 saved {wins[0]}, side 2 saved {wins[1]}, both refused {both_failed}, "
      f"successes not in the file {bad}")
sys.exit(1 if bad or wins[0] + wins[1] < rounds // 2 else 0)
PY
status=$?
rm -rf "$work"
exit $status
