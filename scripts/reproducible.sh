#!/usr/bin/env bash
# Shows that velmora.exe is reproducible: builds the program twice from scratch, in two fresh
# build folders, and compares the two files byte for byte. (Not part of scripts/test.sh: it
# doubles the build time.)
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
out=build/reproducible
rm -rf "$out"
for n in 1 2; do
  cmake --preset program -B "$out/$n" >/dev/null
  cmake --build "$out/$n" --target velmora -j2 >/dev/null
done
sha256sum "$out"/1/app/velmora.exe "$out"/2/app/velmora.exe
if cmp "$out"/1/app/velmora.exe "$out"/2/app/velmora.exe; then
  echo "reproducible: the two builds are byte-identical ($(stat -c %s "$out"/1/app/velmora.exe) bytes)"
else
  echo "NOT reproducible: the two builds differ"
  exit 1
fi
