#!/bin/sh
# Prepares, outside the test binaries, what the record tests cannot make from inside Wine:
# a 64 KiB tmpfs (a real full disk), a file that even root cannot replace (chattr +i) and a
# Unix symbolic link to a file in another folder.
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
  ;;
cleanup)
  [ -d "$dir" ] || exit 0
  chattr -i "$dir/immutable/audio_cfg.db" 2>/dev/null
  while mountpoint -q "$dir/small" 2>/dev/null; do umount "$dir/small" || break; done
  rm -rf "$dir"
  ;;
esac
exit 0
