#!/bin/sh
# Builds the Linux library and the host console, then runs the console's demo. Installs only the
# compiler, CMake and the tuning page's two libraries (nothing when they are there); the tests'
# packages are scripts/test-all.sh's.
#   scripts/demo.sh [DEMO OPTIONS]     e.g. --seconds 60, --log demo.log
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh demo
build=build/demo
mkdir -p build
# No tests, no benchmarks and no debug information: only what the demo runs.
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DTARVELIN_BUILD_TESTS=OFF >"$build.configure.log" 2>&1 ||
  { tail -n 40 "$build.configure.log"; exit 1; }
echo "building the library and the console (a few minutes the first time; see $build.build.log)"
cmake --build "$build" -j "$(nproc 2>/dev/null || echo 2)" --target tarvelin_console >"$build.build.log" 2>&1 ||
  { tail -n 40 "$build.build.log"; exit 1; }
status=0
"$build/bin/tarvelin_console" demo "$@" || status=$?
cat <<DONE

The console and the library are in $build/bin: tarvelin_console, libtarvelin_motion.so and
example.profile. Next: $build/bin/tarvelin_console check YOUR.profile, then
$build/bin/tarvelin_console run YOUR.profile --port COMn|auto|/dev/ttyACM0 (README: The host console).
DONE
exit $status
