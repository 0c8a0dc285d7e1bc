#!/bin/sh
# Runs a Windows program under Wine in a private prefix.
#   wine-run.sh PREFIX PROGRAM [ARGS...]
# The prefix is created on first use. Several programs may start at once (ctest -j), so the
# creation is serialised with a lock; wineboot alone takes several seconds.
set -eu

prefix=$1
shift

export WINEPREFIX="$prefix"
export WINEDEBUG="${WINEDEBUG:--all}"
# No Mono or Gecko: the tests need neither, and without this wineboot asks to download them.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
unset DISPLAY

wine=/usr/lib/wine/wine64
[ -x "$wine" ] || wine=$(command -v wine64 || command -v wine)
export WINELOADER="$wine"

mkdir -p "$(dirname "$prefix")"
(
  flock 9
  if [ ! -f "$prefix/.tarvelin-ready" ]; then
    rm -rf "$prefix"
    "$wine" wineboot --init >/dev/null 2>&1 || true
    wineserver -w 2>/dev/null || true
    touch "$prefix/.tarvelin-ready"
  fi
) 9>"$prefix.lock"

exec "$wine" "$@"
