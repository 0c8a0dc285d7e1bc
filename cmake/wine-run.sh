#!/bin/sh
# Runs a Windows program under Wine in a private prefix.
#   wine-run.sh PREFIX PROGRAM [ARGS...]
# The prefix is created on first use, as a copy of a template prefix beside it: wineboot takes
# 15 to 20 s on a loaded 2-core machine and copying a finished prefix about 5, and the tests use
# eight prefixes. Several programs may start at once (ctest -j), so each creation is serialised
# with a lock.
# Nine tenths of a prefix (630 MB of 700) is system32, which wineboot fills with Wine's own DLLs
# and nothing writes to afterwards, so the copies share those files through hard links. Everything
# else, the registry above all, which Wine rewrites, is a copy of the prefix's own.
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

template="$(dirname "$prefix")/wineprefix-template"
mkdir -p "$(dirname "$prefix")"
(
  flock 9
  if [ ! -f "$template/.tarvelin-ready" ]; then
    rm -rf "$template"
    WINEPREFIX="$template" "$wine" wineboot --init >/dev/null 2>&1 || true
    WINEPREFIX="$template" wineserver -w 2>/dev/null || true
    touch "$template/.tarvelin-ready"
  fi
) 9>"$template.lock"
(
  flock 9
  if [ ! -f "$prefix/.tarvelin-ready" ]; then
    rm -rf "$prefix" "$prefix.copying"
    mkdir -p "$prefix.copying"
    tar -C "$template" --exclude=./drive_c/windows/system32 -cf - . | tar -C "$prefix.copying" -xf -
    cp -al "$template/drive_c/windows/system32" "$prefix.copying/drive_c/windows/system32"
    mv "$prefix.copying" "$prefix"
  fi
) 9>"$prefix.lock"

exec "$wine" "$@"
