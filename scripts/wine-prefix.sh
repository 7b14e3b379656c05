#!/usr/bin/env bash
# Makes the project's own Wine prefix (32-bit), quiet and headless-safe. Idempotent.
set -euo pipefail
. "$(dirname "$0")/env.sh"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$WINEPREFIX"
  wineboot -i >/dev/null 2>&1 </dev/null || true
fi
reg_marker=$WINEPREFIX/.velmora-configured
if [ ! -f "$reg_marker" ]; then
  # Debian's Wine does not load its own fonts by itself; Courier New must stay monospaced.
  fonts=$WINEPREFIX/drive_c/windows/Fonts
  mkdir -p "$fonts"
  for f in /usr/share/wine/fonts/*; do ln -sf "$f" "$fonts/"; done
  regfile=$(mktemp --suffix=.reg)
  cat >"$regfile" <<'REG'
REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\WineDbg]
"ShowCrashDialog"=dword:00000000

[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]
"Courier New"="Liberation Mono"
REG
  wine regedit /S "$(winepath -w "$regfile")" >/dev/null 2>&1 </dev/null
  rm -f "$regfile"
  touch "$reg_marker"
fi
