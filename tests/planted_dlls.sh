#!/usr/bin/env bash
# Plants a DLL under each name below beside a copy of the program, one at a time, with Wine told
# to prefer a DLL found there, as Windows does for these names; starts the program, uses its open
# dialog and closes it. Fails if any planted DLL was loaded.
#   planted_dlls.sh velmora.exe planted_dll.dll planted_dll_driver.exe work-folder
set -u
. "$(dirname "$0")/../scripts/env.sh"
loaded=0 failed=0
for name in uxtheme dwmapi version winmm msimg32 cryptbase propsys textshaping windowscodecs comctl32 \
  comdlg32 oleacc; do
  dir=$4/$name
  rm -rf "$dir" && mkdir -p "$dir" && cp "$1" "$dir/velmora.exe" && cp "$2" "$dir/$name.dll"
  WINEDLLOVERRIDES="$WINEDLLOVERRIDES;$name=n,b" wine "$3" "Z:${dir//\//\\}\\velmora.exe" </dev/null \
    >"$dir/wine.log" 2>&1 || failed=$((failed + 1))
  # Found in whatever letter case the loader asked for it.
  ran=$(find "$dir" -iname '*.ran')
  [ -z "$ran" ] || loaded=$((loaded + 1))
  echo "$name.dll: $(grep '^window ' "$dir/wine.log")${ran:+; LOADED}"
done
echo "$loaded of 12 planted DLLs were loaded; $failed runs failed (Wine's messages in $4/*/wine.log)"
[ "$loaded" -eq 0 ] && [ "$failed" -eq 0 ]
