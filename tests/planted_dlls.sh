#!/usr/bin/env bash
# Plants a DLL beside a copy of the program under each name below, one at a time, with Wine told
# to prefer a DLL found there as Windows does for these names, then starts the program, uses its
# open dialog and closes it. Fails if any planted DLL was loaded.
#   planted_dlls.sh velmora.exe planted_dll.dll planted_dll_driver.exe work-folder
set -u
exe=$1 planted=$2 driver=$3 work=$4
. "$(dirname "$0")/../scripts/env.sh"
names="uxtheme dwmapi version winmm msimg32 cryptbase propsys textshaping windowscodecs comctl32 comdlg32 oleacc"
rm -rf "$work"
loaded=0 total=0 broken=0
for name in $names; do
  dir=$work/$name
  mkdir -p "$dir"
  cp "$exe" "$dir/velmora.exe"
  cp "$planted" "$dir/$name.dll"
  total=$((total + 1))
  if ! WINEDLLOVERRIDES="$WINEDLLOVERRIDES;$name=n,b" wine "$driver" "Z:${dir//\//\\}\\velmora.exe" \
    </dev/null 2>"$dir/wine.log"; then
    echo "with $name.dll beside it, the program did not start, open its dialog and close:"
    grep -v '^wine: Read access denied' "$dir/wine.log" | tail -n 20
    broken=$((broken + 1))
  fi
  # The planted DLL leaves <its name>.ran when it runs, in whatever letter case it was loaded by.
  if [ -n "$(find "$dir" -iname '*.ran')" ]; then
    echo "$name.dll beside the program was loaded"
    loaded=$((loaded + 1))
  fi
done
echo "$loaded of $total planted DLLs were loaded; $broken runs failed"
[ "$loaded" -eq 0 ] && [ "$broken" -eq 0 ]
