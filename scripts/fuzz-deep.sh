#!/usr/bin/env bash
# Fuzzes every target of the fuzz preset at depth: ten million executions each by default, in
# chunks, so that a run that is stopped (Ctrl-C, a reboot, the end of a working day) goes on
# where it left off when started again. Runs at the lowest priority, so that the machine stays
# usable. Each target grows its own corpus in the state folder, seeded from fuzz/corpus/NAME;
# whatever crashes, hangs or leaks is kept there as findings/NAME/... for fuzz/corpus/NAME
# (where ctest replays it from then on) once the fault is mended.
#
#   scripts/fuzz-deep.sh [--runs N] [--chunk N] [--jobs J] [--state DIR] [--no-build] [TARGET...]
#   scripts/fuzz-deep.sh --summary [--state DIR]
#
# --runs    executions per target (default 10000000)
# --chunk   executions per libFuzzer process (default 1000000); a stop loses at most one chunk
# --jobs    targets fuzzed at the same time (default 1)
# --state   where corpora, findings and progress are kept (default build/fuzz-deep)
# Exit status: 0 when every target reached its runs without a finding, 1 otherwise.
set -euo pipefail
cd "$(dirname "$0")/.."

runs=10000000
chunk=1000000
jobs=1
state=build/fuzz-deep
build=yes
summary_only=no
targets=""
while [ $# -gt 0 ]; do
  case "$1" in
    --runs) runs=$2; shift 2 ;;
    --chunk) chunk=$2; shift 2 ;;
    --jobs) jobs=$2; shift 2 ;;
    --state) state=$2; shift 2 ;;
    --no-build) build=no; shift ;;
    --summary) summary_only=yes; shift ;;
    -h|--help) sed -n '2,17p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    -*) echo "fuzz-deep: unknown option $1 (see --help)" >&2; exit 2 ;;
    *) targets="$targets $1"; shift ;;
  esac
done
bin=build/fuzz/bin
mkdir -p "$state"
state=$(cd "$state" && pwd)

# Each fuzz target is one line of fuzz/CMakeLists.txt.
all_targets=$(sed -n 's/^tarvelin_add_fuzzer(\([a-z0-9_]*\) .*/\1/p' fuzz/CMakeLists.txt)
[ -n "$targets" ] || targets=$all_targets

# The progress file of a target holds one line per finished chunk:
#   chunk NUMBER executions N seconds S status ok|finding
progress() { echo "$state/$1/progress"; }
executed() { [ -f "$(progress "$1")" ] || { echo 0; return; }; awk '{ n += $4 } END { print n + 0 }' "$(progress "$1")" 2>/dev/null || echo 0; }

print_summary() {
  printf '%-30s %12s %10s %9s  %s\n' target executions seconds exec/s findings
  total_fail=0
  for target in $targets; do
    file=$(progress "$target")
    if [ -f "$file" ]; then
      awk -v t="$target" -v goal="$runs" '
        { n += $4; s += $6; if ($8 != "ok") f++ }
        END {
          rate = s > 0 ? n / s : 0
          note = n >= goal ? "" : sprintf("  (%.1f%% of %d)", 100 * n / goal, goal)
          printf "%-30s %12d %10d %9d  %d%s\n", t, n, s, rate, f, note
        }' "$file"
    else
      printf '%-30s %12d %10d %9d  %d  (not started)\n' "$target" 0 0 0 0
    fi
  done
}

if [ "$summary_only" = yes ]; then
  print_summary
  exit 0
fi

if [ "$build" = yes ]; then
  echo "fuzz-deep: building the fuzz preset (log: $state/build.log)"
  { cmake --preset fuzz && nice -n 19 cmake --build --preset fuzz -j 2; } >"$state/build.log" 2>&1 ||
    { tail -n 40 "$state/build.log"; exit 1; }
fi

# Runs the next chunk of one target; false when the target has nothing left to do.
needs_chunk() {
  file=$(progress "$1")
  ! grep -q ' status finding' "$file" 2>/dev/null && [ "$(executed "$1")" -lt "$runs" ]
}

run_chunk() {
  target=$1
  mkdir -p "$state/$target/corpus" "$state/$target/findings" "$state/$target/logs"
  file=$(progress "$target")
  touch "$file"
  done_runs=$(executed "$target")
  number=$(($(wc -l <"$file") + 1))
  left=$((runs - done_runs))
  this=$((left < chunk ? left : chunk))
  log="$state/$target/logs/chunk-$number.log"
  start=$(date +%s)
  status=ok
  # The seed differs per chunk, so that a resumed run does not walk the same path again.
  nice -n 19 env ASAN_OPTIONS=detect_leaks=1 "$bin/$target" -runs="$this" -seed="$number" -timeout=5 \
    -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$state/$target/findings/" \
    "$state/$target/corpus" "fuzz/corpus/$target" >"$log" 2>&1 || status=finding
  seconds=$(($(date +%s) - start))
  executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  # A process that died without its final statistics (a crash in the target) ran the units up
  # to the crash; libFuzzer's last status line tells how many.
  [ -n "$executions" ] || executions=$(sed -n 's/^#\([0-9]*\).*/\1/p' "$log" | tail -n 1)
  [ -n "$executions" ] || executions=0
  echo "chunk $number executions $executions seconds $seconds status $status" >>"$file"
  echo "fuzz-deep: $target: chunk $number, $executions executions in ${seconds}s, $status"
  [ "$status" = ok ] || echo "fuzz-deep: $target: FINDING, see $log and $state/$target/findings"
}

for target in $targets; do
  if [ ! -x "$bin/$target" ]; then
    echo "fuzz-deep: no $bin/$target; build the fuzz preset first" >&2
    exit 1
  fi
done

# Round by round, one chunk of every target that still needs one, so that every target gets
# deeper at the same pace; `jobs` chunks at a time.
while :; do
  pending=""
  for target in $targets; do
    if needs_chunk "$target"; then pending="$pending $target"; fi
  done
  [ -n "$pending" ] || break
  running=0
  for target in $pending; do
    run_chunk "$target" &
    running=$((running + 1))
    if [ "$running" -ge "$jobs" ]; then
      wait -n
      running=$((running - 1))
    fi
  done
  wait
done

print_summary | tee "$state/summary.txt"
if grep -q ' status finding' "$state"/*/progress 2>/dev/null; then exit 1; fi
awk -v goal="$runs" '{ n[FILENAME] += $4 } END { for (f in n) if (n[f] < goal) exit 1 }' "$state"/*/progress
