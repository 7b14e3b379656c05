#!/usr/bin/env bash
# Fetches Debian's libjpeg-turbo source package and cross-builds it for MinGW as a static,
# decompression-capable library under build/deps/libjpeg, built small: no arithmetic coding and
# no environment look-ups (which would bring in scanf). Skips the work when it is already there.
set -euo pipefail
. "$(dirname "$0")/env.sh"
prefix=$VELMORA_DEPS/libjpeg
stamp=$prefix/.built-minsize-noarith-nogetenv
[ -f "$stamp" ] && [ -f "$prefix/lib/libjpeg.a" ] && [ -f "$prefix/include/jpeglib.h" ] && exit 0

work=$VELMORA_DEPS/src
mkdir -p "$work"
cd "$work"
if ! ls -d libjpeg-turbo-*/ >/dev/null 2>&1; then
  apt-get source -qq libjpeg-turbo >/dev/null 2>&1 || apt-get source libjpeg-turbo
fi
srcdir=$(ls -d "$work"/libjpeg-turbo-*/ | head -n 1)
bld=$work/libjpeg-build
rm -rf "$bld"  # a fresh configuration, so changed options take effect
cmake -S "$srcdir" -B "$bld" -DCMAKE_TOOLCHAIN_FILE="$VELMORA_ROOT/cmake/mingw-i686.cmake" \
  -DCMAKE_BUILD_TYPE=MinSizeRel -DWITH_ARITH_DEC=OFF -DWITH_ARITH_ENC=OFF -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=OFF \
  -DWITH_SIMD=OFF -DCMAKE_C_FLAGS=-DNO_GETENV -DCMAKE_INSTALL_PREFIX="$prefix" -DCMAKE_CROSSCOMPILING_EMULATOR= >/dev/null
cmake --build "$bld" --target jpeg-static -j2 >/dev/null
mkdir -p "$prefix/lib" "$prefix/include"
cp "$bld/libjpeg.a" "$prefix/lib/"
cp "$bld/jconfig.h" "$srcdir/jpeglib.h" "$srcdir/jmorecfg.h" "$srcdir/jerror.h" "$prefix/include/"
touch "$stamp"
