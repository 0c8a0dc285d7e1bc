#!/bin/sh
# Stands in for cmake/wine-run.sh in tests/serial/wine_rig_link.sh: the registry import runs as
# it is, the program under test through estop_on_pty.sh on a pseudo-terminal of its own. So the
# keys typed there (Ctrl-C among them) reach the console alone, not the rig emulator that
# wine_rig_link.sh runs beside it.
#   wine_run_on_pty.sh PREFIX PROGRAM [ARGS...]
# with TARVELIN_ESTOP="STOP WORKDIR" (see estop_on_pty.sh) in the environment.
set -eu
here=$(dirname "$0")
prefix=$1
shift
if [ "$1" = reg ]; then
  exec sh "$here/../../cmake/wine-run.sh" "$prefix" "$@"
fi
# The Wine server starts here, outside the terminal's session, so that the end of that session
# does not reach it.
WINEPREFIX="$prefix" wineserver 2>/dev/null || true
# shellcheck disable=SC2086
exec sh "$here/estop_on_pty.sh" $TARVELIN_ESTOP sh "$here/../../cmake/wine-run.sh" "$prefix" "$@"
