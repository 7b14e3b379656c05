#!/bin/sh
# Prepares, outside the test binaries, what the record tests cannot make from inside Wine:
# a 64 KiB tmpfs (a real full disk), a file that even root cannot replace (chattr +i), Unix
# symbolic links to files in other folders, and links and leftovers at a save's own names.
# Whatever this machine does not allow is left out; the tests then skip with a message.
#   record_fixture.sh setup|cleanup DIR
dir=$2
case $1 in
setup)
  sh "$0" cleanup "$dir"
  mkdir -p "$dir/small" "$dir/immutable"
  if mount -t tmpfs -o size=64k tmpfs "$dir/small" 2>/dev/null; then
    touch "$dir/small.ready"
  fi
  head -c 5156 /dev/zero | tr '\0' '\003' >"$dir/immutable/audio_cfg.db"
  if chattr +i "$dir/immutable/audio_cfg.db" 2>/dev/null; then
    touch "$dir/immutable.ready"
  fi
  mkdir -p "$dir/link" "$dir/linked"
  head -c 5156 /dev/zero | tr '\0' '\004' >"$dir/linked/real.db"
  if ln -s ../linked/real.db "$dir/link/audio_cfg.db"; then
    touch "$dir/link.ready"
  fi
  # Beside a record, at the temporary's and the backup's names: links to files no save may
  # touch, a link that leads nowhere, links to the old backup and a read-only leftover.
  mkdir -p "$dir/victims" "$dir/dangling"
  for a in tmp-symlink tmp-hardlink tmp-to-bak tmp-hardlink-to-bak tmp-readonly bak-symlink bak-dangling; do
    mkdir -p "$dir/attack/$a"
    head -c 5156 /dev/zero | tr '\0' '\005' >"$dir/attack/$a/audio_cfg.db"
    echo "victim of $a" >"$dir/victims/$a.txt"
  done
  t=$dir/attack
  ln -s ../../victims/tmp-symlink.txt "$t/tmp-symlink/audio_cfg.db.~b0"
  ln "$dir/victims/tmp-hardlink.txt" "$t/tmp-hardlink/audio_cfg.db.~b0"
  echo "old backup" >"$t/tmp-to-bak/audio_cfg.db.bak"
  ln -s audio_cfg.db.bak "$t/tmp-to-bak/audio_cfg.db.~b0"
  echo "old backup" >"$t/tmp-hardlink-to-bak/audio_cfg.db.bak"
  ln "$t/tmp-hardlink-to-bak/audio_cfg.db.bak" "$t/tmp-hardlink-to-bak/audio_cfg.db.~b0"
  echo "killed save" >"$t/tmp-readonly/audio_cfg.db.~b0"
  chmod 444 "$t/tmp-readonly/audio_cfg.db.~b0"
  ln -s ../../victims/bak-symlink.txt "$t/bak-symlink/audio_cfg.db.bak"
  ln -s ../../victims/nowhere.txt "$t/bak-dangling/audio_cfg.db.bak"
  touch "$dir/attack.ready"
  head -c 5156 /dev/zero | tr '\0' '\006' >"$dir/victims/dangling.db"
  ln -s ../victims/dangling.db "$dir/dangling/audio_cfg.db" && touch "$dir/dangling.ready"
  # One file by several spellings: a folder link, a file link and a drive letter of Wine's.
  mkdir -p "$dir/alias/dir"
  ln -s dir "$dir/alias/dirlink" && ln -s audio_cfg.db "$dir/alias/dir/filelink.db" && touch "$dir/alias.ready"
  drive=${WINEPREFIX:-$HOME/.wine}/dosdevices/r:
  if [ -d "${drive%/*}" ] && [ ! -e "$drive" ] && [ ! -L "$drive" ]; then
    ln -s "$dir/alias/dir" "$drive" && touch "$dir/drive.ready"
  fi
  # A pipe where the file should be, which Windows cannot make in a folder.
  mkdir -p "$dir/pipe" && mkfifo "$dir/pipe/audio_cfg.db" && touch "$dir/pipe.ready"
  # Names Windows cannot tell apart: case twins, and a name ending in a dot beside the same
  # name without it.
  mkdir -p "$dir/twins" "$dir/odd"
  head -c 5156 /dev/zero | tr '\0' '\007' >"$dir/twins/audio_cfg.db"
  head -c 5156 /dev/zero | tr '\0' '\010' >"$dir/twins/AUDIO_CFG.DB"
  head -c 5156 /dev/zero | tr '\0' '\011' >"$dir/odd/audio_cfg.db."
  head -c 5156 /dev/zero | tr '\0' '\012' >"$dir/odd/audio_cfg.db"
  touch "$dir/twins.ready" "$dir/odd.ready"
  ;;
cleanup)
  drive=${WINEPREFIX:-$HOME/.wine}/dosdevices/r:
  [ "$(readlink "$drive" 2>/dev/null)" != "$dir/alias/dir" ] || rm -f "$drive"
  [ -d "$dir" ] || exit 0
  chattr -i "$dir/immutable/audio_cfg.db" 2>/dev/null
  while mountpoint -q "$dir/small" 2>/dev/null; do umount "$dir/small" || break; done
  rm -rf "$dir"
  ;;
esac
exit 0
