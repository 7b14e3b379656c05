#!/usr/bin/env bash
# Makes the download: builds velmora.exe with the program preset in a fresh build folder, runs
# the import audit and the size budget on it, and writes dist/velmora-<version>-win32.zip (the
# program, its guides, licences and changes) with dist/velmora-<version>-win32.zip.sha256. The zip's times
# are the commit's, so two runs from the same commit give the same zip, byte for byte.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
. scripts/env.sh

build=build/release
rm -rf "$build"
cmake --preset program -B "$build" >/dev/null
cmake --build "$build" --target velmora -j2 >/dev/null
ctest --test-dir "$build" -R '^program\.(imports|size)$' --output-on-failure >/dev/null
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
libjpeg=$(ls -d "$VELMORA_DEPS"/src/libjpeg-turbo-*/ | head -n 1)

export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null || echo 315532800)}
python3 scripts/package_release.py "$version" "$build/app/velmora.exe" "$libjpeg" dist
(cd dist && sha256sum -c "velmora-$version-win32.zip.sha256")
python3 scripts/release_check.py dist "$build/app/velmora.exe"
