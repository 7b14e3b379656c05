#!/usr/bin/env bash
# Fetches Debian's libjpeg-turbo source package and cross-builds a lean, decompression-only static
# libjpeg for MinGW under build/deps/libjpeg: only what a baseline logo needs (no progressive,
# multi-scan or arithmetic decoding, no IDCT scaling, colour quantising or merged upsampling, one
# integer IDCT), no environment look-ups (scanf), and no C unwind tables. The program supplies
# its own error manager, so libjpeg's message formatting (printf) is never linked.
# Skips the work when it is already there.
set -euo pipefail
. "$(dirname "$0")/env.sh"
prefix=$VELMORA_DEPS/libjpeg
stamp=$prefix/.built-lean-decoder-1
[ -f "$stamp" ] && [ -f "$prefix/lib/libjpeg.a" ] && [ -f "$prefix/include/jpeglib.h" ] && exit 0

work=$VELMORA_DEPS/src
mkdir -p "$work"
cd "$work"
if ! ls -d libjpeg-turbo-*/ >/dev/null 2>&1; then
  apt-get source -qq libjpeg-turbo >/dev/null 2>&1 || apt-get source libjpeg-turbo
fi
srcdir=$(ls -d "$work"/libjpeg-turbo-*/ | head -n 1)

# The library's own configuration step writes jconfig.h, jconfigint.h and jversion.h.
bld=$work/libjpeg-build
rm -rf "$bld"  # a fresh configuration, so changed options take effect
cmake -S "$srcdir" -B "$bld" -DCMAKE_TOOLCHAIN_FILE="$VELMORA_ROOT/cmake/mingw-i686.cmake" \
  -DCMAKE_BUILD_TYPE=MinSizeRel -DWITH_ARITH_DEC=OFF -DWITH_ARITH_ENC=OFF -DENABLE_SHARED=OFF \
  -DENABLE_STATIC=ON -DWITH_TURBOJPEG=OFF -DWITH_SIMD=OFF -DCMAKE_INSTALL_PREFIX="$prefix" \
  -DCMAKE_CROSSCOMPILING_EMULATOR= >/dev/null

# jmorecfg.h is libjpeg's documented place to leave out decoder features; a copy of the sources
# gets the trimmed one, so the unpacked package stays as Debian ships it.
lean=$work/libjpeg-lean
rm -rf "$lean"
mkdir -p "$lean/obj"
cp "$srcdir"/*.c "$srcdir"/*.h "$bld"/jconfig.h "$bld"/jconfigint.h "$bld"/jversion.h "$lean/"
for feature in DCT_IFAST DCT_FLOAT D_MULTISCAN_FILES D_PROGRESSIVE SAVE_MARKERS BLOCK_SMOOTHING \
  IDCT_SCALING UPSAMPLE_MERGING QUANT_1PASS QUANT_2PASS; do
  sed -i "s/^#define \(${feature}_SUPPORTED\)\b/#undef \1/" "$lean/jmorecfg.h"
  grep -q "^#undef ${feature}_SUPPORTED" "$lean/jmorecfg.h" || { echo "jmorecfg.h: no $feature" >&2; exit 1; }
done

# The decompressor's sources; none of the compressor's.
sources="jcomapi jdapimin jdapistd jdatasrc jdcoefct jdcolor jddctmgr jdhuff jdinput jdmainct
  jdmarker jdmaster jdpostct jdsample jerror jidctint jmemmgr jmemnobs jsimd_none jutils"
cc=i686-w64-mingw32-gcc-posix
flags=(-Os -DNO_GETENV -ffunction-sections -fdata-sections -fno-asynchronous-unwind-tables
  -fno-unwind-tables -Wno-unused-parameter -I"$lean")
for s in $sources; do
  "$cc" "${flags[@]}" -c "$lean/$s.c" -o "$lean/obj/$s.o" &
  [ "$(jobs -r | wc -l)" -lt 2 ] || wait -n
done
wait
mkdir -p "$prefix/lib" "$prefix/include"
rm -f "$prefix/lib/libjpeg.a"
i686-w64-mingw32-ar rcsD "$prefix/lib/libjpeg.a" "$lean"/obj/*.o
cp "$lean/jconfig.h" "$lean/jpeglib.h" "$lean/jmorecfg.h" "$lean/jerror.h" "$prefix/include/"
touch "$stamp"
