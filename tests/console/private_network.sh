#!/bin/sh
# Runs a command in a network namespace of its own with only a loopback interface, where the
# system allows it, so that the fixed ports a test uses (a game's telemetry port) cannot clash
# with another test run on the same machine. Elsewhere the command runs as it is.
#   private_network.sh COMMAND [ARGS...]
set -eu
if [ "$(id -u)" = 0 ]; then
  isolate="unshare --net"
else
  isolate="unshare --net --map-root-user"
fi
if command -v ip >/dev/null 2>&1 && $isolate true 2>/dev/null; then
  exec $isolate sh -c 'ip link set lo up && exec "$@"' private_network "$@"
fi
exec "$@"
