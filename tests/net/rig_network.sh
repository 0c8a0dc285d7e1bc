#!/bin/sh
# Runs a test program in a network of its own, so that the rig link's multicast can only ever
# reach the test's own hosts and never leaves through the machine's interfaces.
#   rig_network.sh [--loopback-only] [--wine-prefix PREFIX] EMULATOR|none WORKDIR PROGRAM [ARGS...]
#
# Two network namespaces joined by a veth pair: the program's ("host", 192.0.2.1/24 on rig0)
# and a rig controller's ("board", 192.0.2.2/24 on board0), each with multicast routed over the
# veth and no other way out. The native rig controller emulator, unless "none", runs on the
# board's side with its control connection on 192.0.2.2; the program learns the addresses and
# the control port from TARVELIN_HOST_ADDRESS, TARVELIN_BOARD_ADDRESS,
# TARVELIN_RIG_EMULATOR_HOST and TARVELIN_RIG_EMULATOR_PORT. With --loopback-only the program's
# namespace has a loopback interface and nothing else. With --wine-prefix the prefix's Wine
# server is ended first, so that the one the program starts (which makes its sockets) runs in
# the program's namespace.
#
# The namespaces are named after this process and registered in a mount namespace of this run
# alone, so parallel runs never meet. Where they cannot be made (not root, no iproute2 or
# unshare), the script says why and exits 77, which ctest counts as a skipped test.
set -eu

skip() {
  echo "SKIPPED: $* (the rig link's network tests need network namespaces of their own)"
  exit 77
}

if [ -z "${TARVELIN_NETNS_MOUNT:-}" ]; then
  [ "$(id -u)" = 0 ] || skip "making network namespaces needs root"
  command -v ip >/dev/null 2>&1 || skip "iproute2's ip is not installed"
  command -v unshare >/dev/null 2>&1 || skip "unshare is not installed"
  unshare --mount --propagation private true 2>/dev/null || skip "cannot make a mount namespace"
  TARVELIN_NETNS_MOUNT=1 exec unshare --mount --propagation private sh "$0" "$@"
fi

loopback_only=0
wine_prefix=""
while [ $# -gt 0 ]; do
  case $1 in
    --loopback-only) loopback_only=1; shift ;;
    --wine-prefix) wine_prefix=$2; shift 2 ;;
    *) break ;;
  esac
done
emulator=$1
work=$2
shift 2

made_run_netns=0
[ -d /run/netns ] || { mkdir -p /run/netns && made_run_netns=1; }
mount -t tmpfs tarvelin-netns /run/netns 2>/dev/null || skip "cannot mount a private /run/netns"
host=tarvelin-host-$$
board=tarvelin-board-$$
emulator_pid=""
cleanup() {
  [ -n "$emulator_pid" ] && kill "$emulator_pid" 2>/dev/null && wait "$emulator_pid" 2>/dev/null
  ip netns del "$host" 2>/dev/null || true
  ip netns del "$board" 2>/dev/null || true
  # The folder was made on the machine's own /run; leave it as it was.
  if [ "$made_run_netns" = 1 ]; then umount /run/netns 2>/dev/null && rmdir /run/netns 2>/dev/null; fi
  true
}
trap cleanup EXIT INT TERM

rm -rf "$work"
mkdir -p "$work"
ip netns add "$host" 2>"$work/netns.err" || skip "cannot make a network namespace: $(cat "$work/netns.err")"
ip -n "$host" link set lo up
if [ "$loopback_only" = 0 ]; then
  ip netns add "$board"
  ip -n "$board" link set lo up
  ip -n "$host" link add rig0 type veth peer name board0 netns "$board"
  ip -n "$host" addr add 192.0.2.1/24 dev rig0
  ip -n "$board" addr add 192.0.2.2/24 dev board0
  ip -n "$host" link set rig0 up
  ip -n "$board" link set board0 up
  ip -n "$host" route add 224.0.0.0/4 dev rig0
  ip -n "$board" route add 224.0.0.0/4 dev board0

  if [ "$emulator" != none ]; then
    mkdir -p "$work/boards"
    ip netns exec "$board" "$emulator" --folder "$work/boards" --port-file "$work/port" \
      --control-address 192.0.2.2 >"$work/emulator.log" 2>&1 &
    emulator_pid=$!
    tries=0
    while [ ! -f "$work/port" ]; do
      tries=$((tries + 1))
      if [ "$tries" -gt 200 ]; then
        echo "the rig emulator did not start:" >&2
        cat "$work/emulator.log" >&2
        exit 1
      fi
      sleep 0.05
    done
    TARVELIN_RIG_EMULATOR_PORT=$(cat "$work/port")
    export TARVELIN_RIG_EMULATOR_PORT
  fi
fi
export TARVELIN_HOST_ADDRESS=192.0.2.1 TARVELIN_BOARD_ADDRESS=192.0.2.2 TARVELIN_RIG_EMULATOR_HOST=192.0.2.2

if [ -n "$wine_prefix" ]; then
  WINEPREFIX="$wine_prefix" wineserver -k 2>/dev/null || true
  WINEPREFIX="$wine_prefix" wineserver -w 2>/dev/null || true
fi
status=0
ip netns exec "$host" "$@" || status=$?
exit "$status"
