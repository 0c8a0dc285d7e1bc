#!/bin/sh
# Runs the rig link's Windows test program under Wine against the native rig controller
# emulator.
#   wine_rig_link.sh EMULATOR WINE_RUN PREFIX WORKDIR PROGRAM [ARGS...]
#
# The emulator makes the boards com5..com9 behind links in WORKDIR/boards. The prefix's
# registry maps COM5..COM9 to those links and registers USB devices for the chips the tests
# expect (support/rig_environment.h holds the same table); Wine reads both when its wineserver
# starts, so the server is restarted before the test. The prefix is the link tests' own:
# restarting the server of a shared prefix would kill the other tests running in it.
set -eu

emulator=$1
wine_run=$2
prefix=$3
work=$4
shift 4

rm -rf "$work"
mkdir -p "$work/boards"
"$emulator" --folder "$work/boards" --port-file "$work/port" \
  --attach com5 --attach com6 --attach com7 --attach com8 --attach com9 >"$work/emulator.log" 2>&1 &
emulator_pid=$!
cleanup() {
  kill "$emulator_pid" 2>/dev/null || true
  wait "$emulator_pid" 2>/dev/null || true
}
trap cleanup EXIT INT TERM

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

# A string as REG_MULTI_SZ data in hex, without its terminator. The file is written in the
# ANSI form (REGEDIT4), whose multi-strings are single-byte text.
hexbytes() {
  printf '%s' "$1" | od -An -tx1 -v | tr -s ' \n' '  ' | sed 's/^ *//; s/ *$//; s/ /,/g'
}

# usb_device COM VENDOR PRODUCT NAME: a present USB serial device of the Ports class with its
# COM port interface, as Windows' USB stack would register it.
usb_device() {
  instance="7&1f2e3d4c&0&$1"
  ids="VID_$2&PID_$3"
  interface="{86e0d1e0-8089-11d0-9ce4-08003e301f73}"
  cat <<REG
[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Enum\\USB\\$ids\\$instance]
"FriendlyName"="$4 (COM$1)"
"HardwareID"=hex(7):$(hexbytes "USB\\$ids&REV_0254"),00,$(hexbytes "USB\\$ids"),00,00
"ClassGUID"="{4d36e978-e325-11ce-bfc1-08002be10318}"

[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\DeviceClasses\\$interface\\##?#USB#$ids#$instance#$interface]
"DeviceInstance"="USB\\\\$ids\\\\$instance"

[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\DeviceClasses\\$interface\\##?#USB#$ids#$instance#$interface\\#\\Control]
"Linked"=dword:00000001

REG
}

{
  echo "REGEDIT4"
  echo
  echo "[HKEY_LOCAL_MACHINE\\Software\\Wine\\Ports]"
  for n in 5 6 7 8 9; do
    echo "\"COM$n\"=\"$work/boards/com$n\""
  done
  echo
  usb_device 5 1A86 7523 "USB-SERIAL CH340"
  usb_device 6 1A86 7523 "USB-SERIAL CH340"
  usb_device 7 2341 0043 "Arduino Uno"
  usb_device 9 1A86 7523 "USB-SERIAL CH340"
} >"$work/boards.reg"

"$wine_run" "$prefix" reg import "$work/boards.reg" >/dev/null 2>&1
WINEPREFIX="$prefix" wineserver -k 2>/dev/null || true
WINEPREFIX="$prefix" wineserver -w 2>/dev/null || true

TARVELIN_RIG_EMULATOR_PORT=$(cat "$work/port")
export TARVELIN_RIG_EMULATOR_PORT
status=0
"$wine_run" "$prefix" "$@" || status=$?
exit "$status"
