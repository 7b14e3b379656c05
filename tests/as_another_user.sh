#!/usr/bin/env bash
# Runs the record test of a file the user may not write as another user than the file's owner:
# as root nothing is refused, so only another user proves it. A copy of the Wine prefix is made
# that user's (Wine runs only in a prefix its user owns), beside a folder anyone may write and a
# file of root's that only root may write.
#   as_another_user.sh record_tests.exe work-folder
set -u
[ "$(id -u)" = 0 ] && command -v setpriv >/dev/null || { echo "needs root and setpriv"; exit 77; }
. "$(dirname "$0")/../scripts/env.sh"
work=$2 user=65534
rm -rf "$work" && mkdir -p "$work/files" || exit 1
prefix=$work/prefix
# Linked, but for what Wine writes: the folders, the registry and its server's own file.
cp -al "$WINEPREFIX" "$prefix" && rm -f "$prefix"/*.reg "$prefix/wineserver" && cp "$WINEPREFIX"/*.reg "$prefix/" &&
  find "$prefix" -type d -exec chown "$user:$user" {} + && chown "$user:$user" "$prefix"/*.reg || exit 1
chmod 777 "$work/files" && head -c 5156 /dev/zero | tr '\0' '\003' >"$work/files/audio_cfg.db" &&
  chmod 644 "$work/files/audio_cfg.db" || exit 1
as_user() { setpriv --reuid=$user --regid=$user --clear-groups env HOME="$work" WINEPREFIX="$prefix" DISPLAY= "$@"; }
as_user VELMORA_FOREIGN_FILE="$work/files/audio_cfg.db" wine "$1" \
  --gtest_filter='RecordOsTest.FileTheUserMayNotWrite*' </dev/null 2>&1 | grep -v '^[0-9a-f]*:err:'
status=${PIPESTATUS[0]}
as_user wineserver -k 2>/dev/null
rm -rf "$work"
exit "$status"
