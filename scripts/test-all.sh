#!/bin/sh
# Builds and tests every configuration: native, Windows (under Wine), AddressSanitizer with
# UndefinedBehaviorSanitizer, ThreadSanitizer, and the fuzz targets with libFuzzer.
#   scripts/test-all.sh [PRESET...]     (default: native windows asan tsan fuzz)
set -eu

cd "$(dirname "$0")/.."
started=$(date +%s)
elapsed() { echo "$(($(date +%s) - started)) s"; }
# Every stage's header says how much disk is left: a full disk fails a build or a test in ways
# that name anything but the disk.
free_disk() { df -Pk . | awk 'NR == 2 { printf "%.1f GB free", $4 / 1048576 }'; }
scripts/install-deps.sh

presets=${*:-native windows asan tsan fuzz}
jobs=$(nproc 2>/dev/null || echo 2)
failed=""
for preset in $presets; do
  echo "==> $preset: configure and build (at $(elapsed), $(free_disk))"
  if ! cmake --preset "$preset" >/dev/null || ! cmake --build --preset "$preset" -j "$jobs" >"build/$preset.build.log" 2>&1; then
    tail -n 60 "build/$preset.build.log" 2>/dev/null || true
    failed="$failed $preset"
    continue
  fi
  echo "==> $preset: test (at $(elapsed), $(free_disk))"
  ctest --preset "$preset" -j "$jobs" || failed="$failed $preset"
  if [ "$preset" = windows ]; then
    WINEPREFIX="$PWD/build/windows/wineprefix" wineserver -k 2>/dev/null || true
  fi
done

echo "==> done after $(elapsed), $(free_disk)"
if [ -n "$failed" ]; then
  echo "FAILED:$failed"
  exit 1
fi
echo "all configurations passed: $presets"
