#!/usr/bin/env bash
# Runs the record tests that only another user than the file's owner proves, as root refuses
# nothing: a file of root's that only root may write is refused; one the user may write through
# its group, and one of the user's own with mode 600, are saved in place, keeping their owner,
# group, mode, inode, hard links and extended attributes. A copy of the Wine prefix is made that
# user's (Wine runs only in a prefix its user owns), beside a folder anyone may write.
#   as_another_user.sh record_tests.exe work-folder
set -u
[ "$(id -u)" = 0 ] && command -v setpriv >/dev/null || { echo "needs root and setpriv"; exit 77; }
. "$(dirname "$0")/../scripts/env.sh"
work=$2 user=65534
rm -rf "$work" && mkdir -p "$work/files" || exit 1
prefix=$work/prefix
# Its folders made the user's too, as Wine writes in them.
velmora_link_prefix "$WINEPREFIX" "$prefix" &&
  find "$prefix" -type d -exec chown "$user:$user" {} + && chown "$user:$user" "$prefix"/*.reg || exit 1
chmod 777 "$work/files" && head -c 5156 /dev/zero | tr '\0' '\003' >"$work/files/audio_cfg.db" &&
  chmod 644 "$work/files/audio_cfg.db" || exit 1
as_user() { setpriv --reuid=$user --regid=$user --clear-groups env HOME="$work" WINEPREFIX="$prefix" DISPLAY= "$@"; }
as_user VELMORA_FOREIGN_FILE="$work/files/audio_cfg.db" wine "$1" \
  --gtest_filter='RecordOsTest.FileTheUserMayNotWrite*' </dev/null 2>&1 | grep -v '^[0-9a-f]*:err:'
status=${PIPESTATUS[0]}
look() { stat -c '%i %u %g %a %h' "$1" && python3 -c 'import os,sys; print(os.getxattr(sys.argv[1], "user.velmora"))' "$1"; }
for kept in group:0:$user:660 own:$user:$user:600; do
  IFS=: read -r name owner group mode <<<"$kept"
  # A sticky folder, as /tmp is: only its owner could rename over the file.
  dir=$work/files/$name && mkdir -p "$dir" && chmod 1777 "$dir"
  file=$dir/audio_cfg.db
  head -c 5156 /dev/zero | tr '\0' '\004' >"$file" && chown "$owner:$group" "$file" && chmod "$mode" "$file" &&
    ln "$file" "$dir/second name" || exit 1
  python3 -c 'import os,sys; os.setxattr(sys.argv[1], "user.velmora", b"kept")' "$file" 2>/dev/null ||
    { echo "this file system keeps no extended attributes"; continue; }
  before=$(look "$file")
  as_user VELMORA_KEPT_FILE="$file" wine "$1" --gtest_filter='RecordOsTest.FileOfAnotherOwner*' </dev/null 2>&1 |
    grep -v '^[0-9a-f]*:err:'
  [ "${PIPESTATUS[0]}" = 0 ] || status=1
  after=$(look "$file")
  [ "$before" = "$after" ] || { echo "$name: the save changed the file: $before -> $after"; status=1; }
  cmp -s "$file" "$dir/second name" || { echo "$name: the second name no longer holds the file"; status=1; }
  # The backup is no easier to reach than the file: neither its group nor others get a right more.
  backup_mode=$(stat -c %a "$dir/audio_cfg.db.bak")
  echo "$name: a file of mode $mode got a backup of mode $backup_mode"
  [ $((0$backup_mode & 077 & ~0$mode)) = 0 ] || { echo "$name: the backup is open to more"; status=1; }
  [ $((0$backup_mode & 0111)) = 0 ] || { echo "$name: the backup may be run"; status=1; }
done
as_user wineserver -k 2>/dev/null
rm -rf "$work"
exit "$status"
