#!/usr/bin/env bash
# Installs everything Velmora needs on a fresh Debian 12 machine, from Debian's packages only,
# and cross-builds libjpeg for MinGW. Safe to run again: each step checks what is already there.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
. "$here/scripts/env.sh"

as_root() { if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi; }

packages=(
  cmake make g++ clang clang-format libclang-rt-14-dev googletest libbenchmark-dev
  g++-mingw-w64-i686-posix g++-mingw-w64-i686-win32 python3 wine wine64 wine32:i386
  xvfb xauth xdotool imagemagick fonts-wine fonts-liberation
  dpkg-dev locales util-linux e2fsprogs strace
)

need_update=0
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  as_root dpkg --add-architecture i386
  need_update=1
fi
# apt-get source needs a deb-src entry; mirror the machine's own deb822 sources.
if ! grep -rqs '^Types:.*deb-src' /etc/apt/sources.list.d/ && ! grep -qs '^deb-src' /etc/apt/sources.list; then
  src=/etc/apt/sources.list.d/debian.sources
  if [ -f "$src" ]; then
    sed 's/^Types: deb$/Types: deb-src/' "$src" | as_root tee /etc/apt/sources.list.d/velmora-src.sources >/dev/null
  else
    grep '^deb ' /etc/apt/sources.list | sed 's/^deb /deb-src /' | as_root tee /etc/apt/sources.list.d/velmora-src.list >/dev/null
  fi
  need_update=1
fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  [ "$need_update" = 1 ] || [ ! -f /var/lib/apt/lists/lock ] || true
  as_root apt-get update -qq
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
elif [ "$need_update" = 1 ]; then
  as_root apt-get update -qq
fi

# Locales the clock tests switch between (Wine only sees locales the host has generated).
wanted_locales="en_US.UTF-8 de_DE.UTF-8 ko_KR.UTF-8 ja_JP.UTF-8 ru_RU.UTF-8"
regen=0
for l in $wanted_locales; do
  if ! locale -a 2>/dev/null | grep -qix "${l/UTF-8/utf8}"; then
    as_root sed -i "s/^# *\\($l UTF-8\\)/\\1/" /etc/locale.gen
    grep -q "^$l UTF-8" /etc/locale.gen || echo "$l UTF-8" | as_root tee -a /etc/locale.gen >/dev/null
    regen=1
  fi
done
[ "$regen" = 0 ] || as_root locale-gen >/dev/null

"$here/scripts/build-libjpeg.sh"
