#!/usr/bin/env bash
# The long run: the console's demo under AddressSanitizer for a long time with its heap, open
# files, sockets, threads and shared-memory blocks watched, then 1000 start/stop cycles of the
# engine's thread and the rig link through the exports, counted before and after
# (tests/soak/long_run.cpp); then a demo killed mid-run, and another demo that must start and
# end well after it. At the lowest priority, so that the machine stays usable.
#
#   scripts/long-run.sh [--hours H | --minutes M] [--cycles N] [--preset P] [--no-build]
#
# Default: 10 minutes and 1000 cycles with the asan preset. The report and every sample go to
# build/long-run/PRESET.log. Exit status 0 when every check passed.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=600
cycles=1000
preset=asan
build=yes
while [ $# -gt 0 ]; do
  case "$1" in
    --hours) seconds=$(awk -v h="$2" 'BEGIN { printf "%d", h * 3600 }'); shift 2 ;;
    --minutes) seconds=$(awk -v m="$2" 'BEGIN { printf "%d", m * 60 }'); shift 2 ;;
    --cycles) cycles=$2; shift 2 ;;
    --preset) preset=$2; shift 2 ;;
    --no-build) build=no; shift ;;
    -h|--help) sed -n '2,11p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "long-run: unknown option $1 (see --help)" >&2; exit 2 ;;
  esac
done
bin=build/$preset/bin
out=build/long-run
mkdir -p "$out"
log=$out/$preset.log

if [ "$build" = yes ]; then
  echo "long-run: building the $preset preset's long_run and console (log: $out/$preset.build.log)"
  { cmake --preset "$preset" && nice -n 19 cmake --build --preset "$preset" -j 2 --target long_run tarvelin_console; } \
    >"$out/$preset.build.log" 2>&1 || { tail -n 40 "$out/$preset.build.log"; exit 1; }
fi

# A sample a minute over long runs, every 10 s over short ones.
sample=$((seconds >= 1800 ? 60 : 10))
echo "long-run: ${seconds} s of the demo and $cycles start/stop cycles under $preset (log: $log)"
status=0
(cd "$out" && nice -n 19 "$OLDPWD/$bin/long_run" --seconds "$seconds" --sample "$sample" --cycles "$cycles") 2>&1 |
  tee "$log" || status=1

# A demo killed without warning, in the middle of its run, must leave nothing behind that stops
# the next one: no game port or process name held, no shared-memory block in the way.
echo "long-run: a demo killed mid-run, then another" | tee -a "$log"
shm_before=$(ls /dev/shm | sort)
"$bin/tarvelin_console" demo --seconds 60 --http 0 >"$out/killed-demo.txt" 2>&1 &
victim=$!
sleep 10
kill -KILL "$victim"
wait "$victim" 2>/dev/null || true
# What the killed demo left: shared-memory blocks nobody removes, and the stand-in of the game's
# process, which ends itself within two minutes.
left=$(comm -13 <(echo "$shm_before") <(ls /dev/shm | sort) | tr '\n' ' ')
echo "the killed demo left in /dev/shm: ${left:-nothing}" | tee -a "$log"
if "$bin/tarvelin_console" demo --seconds 10 --http 0 >"$out/next-demo.txt" 2>&1 &&
   grep -q "the road of the frame is whole" "$out/next-demo.txt"; then
  echo "PASS: the demo after a killed one ran whole ($out/next-demo.txt)" | tee -a "$log"
else
  echo "FAIL: the demo after a killed one did not run whole ($out/next-demo.txt)" | tee -a "$log"
  status=1
fi
exit $status
