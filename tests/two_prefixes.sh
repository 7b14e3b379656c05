#!/usr/bin/env bash
# Two programs in two Wine prefixes (two wineservers: two Linux users, or two PCs sharing a
# folder) load and save one file round after round, as fast as they can. Only the file's
# byte-range lock is seen by both. Judged by what happened, never by the clock: the saves told
# good form one chain from the file as it was, each having loaded what the one before it wrote
# (no two from the same record, none lost), and the file ends with the last of them.
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
for side in 1 2; do
  prefix=$WINEPREFIX
  [ "$side" = 1 ] || prefix=$second
  WINEPREFIX=$prefix VELMORA_RACE_FILE=$file VELMORA_RACE_SIDE=$side VELMORA_RACE_ROUNDS=$rounds \
    wine "$1" --gtest_filter='RecordSaveTest.RacesAProgramInAnotherPrefix' >"$work/side$side.log" 2>&1 </dev/null &
done
wait
WINEPREFIX=$second wineserver -k 2>/dev/null
python3 - "$work" "$rounds" <<'PY'
import sys
work, rounds = sys.argv[1], int(sys.argv[2])
saves, bad = [], 0
for side in (1, 2):
    lines = [l.split() for l in open(f"{work}/side{side}.log") if l.startswith("race ")]
    if len(lines) != rounds:
        print(f"side {side} reported {len(lines)} of {rounds} rounds"); bad += 1
    saves += [(loaded, saved) for _, _, code, loaded, saved in lines if code == "0"]
after = {}
for loaded, saved in saves:
    if loaded in after:
        print(f"fork: {after[loaded]} and {saved} were both told saved over {loaded}"); bad += 1
    after[loaded] = saved
state, chain = "3333", 0
while state in after:
    state, chain = after[state], chain + 1
data = open(f"{work}/audio_cfg.db", "rb").read()
held = "".join(str(data[at]) for at in (397, 409, 433, 889))
if chain != len(saves) or held != state:
    print(f"{len(saves) - chain} saves told good are not in the chain; the file holds {held}, the chain ends at {state}")
    bad += 1
print(f"{2 * rounds} rounds: {len(saves)} saves told good, {chain} in one chain from the file as it was")
sys.exit(1 if bad or not saves else 0)
PY
status=$?
rm -rf "$work"
exit $status
