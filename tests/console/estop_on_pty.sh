#!/bin/sh
# Runs the console's demo on a pseudo-terminal, as a user runs it, and stops it as a user would:
# with an e-stop key or Ctrl-C, once the rig has been moving for a while. Then checks the run
# from what the console printed and recorded: every cycle is a frame the rig received, and the
# last cycles show the park.
#   estop_on_pty.sh STOP WORKDIR COMMAND...
# STOP is space, esc, ctrl-c (each parks the rig, then stops) or ctrl-c-twice (stops at once).
# COMMAND runs the demo on the example profile (a 2 s park) for over a minute; the script adds
# --record WORKDIR/estop.csv.
set -eu

stop=$1
work=$2
shift 2

rm -rf "$work"
mkdir -p "$work"
csv="$work/estop.csv"
transcript="$work/transcript"

case "$stop" in
  space) keys=' ' ;;
  esc) keys=$(printf '\033') ;;
  ctrl-c) keys=$(printf '\003') ;;
  ctrl-c-twice) keys=$(printf '\003') ;;
  *) echo "unknown stop '$stop'" >&2; exit 2 ;;
esac

rows() { [ -f "$csv" ] && wc -l <"$csv" || echo 0; }
# What the console printed, without terminal sequences and spaces: a Windows console host on a
# terminal may move the cursor over blanks instead of writing them.
text() { tr -d '\r ' <"$transcript" | sed 's/\x1b\[[0-9;?]*[A-Za-z]//g'; }
printed() { text | grep -a -q "$1"; }
finished() { printed "summaryafter" 2>/dev/null; }

# The keys go in through script's standard input, which it copies to the terminal. They are
# typed once the engine has run a thousand cycles, and the feeder stays until the console has
# finished (script ends when both its child and its input have).
feed() {
  waited=0
  while [ "$(rows)" -lt 1000 ]; do
    waited=$((waited + 1))
    if [ "$waited" -gt 1200 ] || finished; then return; fi
    sleep 0.05
  done
  : >"$work/stopped"
  printf '%s' "$keys"
  if [ "$stop" = ctrl-c-twice ]; then
    sleep 0.4
    printf '%s' "$keys"
  fi
  waited=0
  while ! finished && [ "$waited" -lt 1200 ]; do
    waited=$((waited + 1))
    sleep 0.05
  done
}

command=""
for argument in "$@"; do
  command="$command '$(printf '%s' "$argument" | sed "s/'/'\\\\''/g")'"
done
status=0
# A terminal of a usual size (script's own has none when its input is not a terminal). The
# shell that script starts replaces itself with the console: a shell left waiting would take the
# Ctrl-C too, and dash (Debian's /bin/sh) dies of it, so the console's own exit status would be
# lost. SHELL is set for the same reason: script runs the command with the user's shell.
feed | SHELL=/bin/sh script -qefc "stty rows 40 cols 120; exec $command --record '$csv'" /dev/null >"$transcript" 2>&1 || status=$?
text | grep -a -A 12 "summaryafter"

fail() {
  echo "FAILED: $*" >&2
  exit 1
}
[ "$status" = 0 ] || fail "the console ended with status $status"
[ -f "$work/stopped" ] || fail "the rig never ran a thousand cycles"
printed "theroadoftheframeiswhole" || fail "not every cycle reached the rig"

# The last recorded cycle: the six axes, the belt and the wind.
last=$(tail -n 1 "$csv" | awk -F, '{ print $2, $3, $4, $5, $6, $7, $12, $23 }')
# The session ended on the key, long before its --seconds.
seconds=$(text | sed -n 's/.*summaryafter\([0-9.]*\)s.*/\1/p' | head -n 1)
awk -v s="$seconds" 'BEGIN { exit !(s > 0 && s < 60) }' || fail "the session ran for $seconds s: the key did not stop it"
if [ "$stop" = ctrl-c-twice ]; then
  printed "stoppedatonce:therigwasleftwhereitstood" || fail "no word of the cut-short park"
  [ "$last" != "0 0 0 0 0 0 0 0" ] || fail "the rig got to neutral although the park was cut short"
else
  printed "parkingtherigover2.0s" || fail "no word of the park"
  if printed "cutshort"; then fail "the park was cut short"; fi
  [ "$last" = "0 0 0 0 0 0 0 0" ] || fail "the last cycle left the rig at $last"
  # Before the end, the rig was away from neutral: the park had something to do.
  awk -F, 'NR > 1 && ($3 != 0 || $12 != 0) { moved = 1 } END { exit !moved }' "$csv" || fail "the rig never moved"
fi
echo "stopped by $stop after $seconds s; last cycle: $last"
