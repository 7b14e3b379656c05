# Shared settings for the scripts: where things are built and where Wine keeps its prefix.
VELMORA_ROOT=${VELMORA_ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}
VELMORA_DEPS=${VELMORA_DEPS:-$VELMORA_ROOT/build/deps}
export WINEPREFIX=${WINEPREFIX:-$VELMORA_ROOT/build/wineprefix}
export WINEARCH=win32
export WINEDEBUG=${WINEDEBUG:-fixme-all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
export GTEST_COLOR=no

# A second prefix of hard links to the first, but for what Wine writes: the registry and its
# server's own file. Other tests make and remove temporary files in the first meanwhile: one
# gone before it was linked is no loss.
velmora_link_prefix() {  # from to
  local errors
  errors=$(cp -al "$1" "$2" 2>&1 | grep -v ': No such file or directory$')
  [ -z "$errors" ] || { echo "$errors" >&2; return 1; }
  rm -f "$2"/*.reg "$2/wineserver" && cp "$1"/*.reg "$2/"
}
