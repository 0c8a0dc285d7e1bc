#!/bin/sh
# Builds the Linux library and the host console, then runs the console's demo.
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset native >/dev/null
cmake --build --preset native -j "$(nproc 2>/dev/null || echo 2)" --target tarvelin_console >build/native.demo-build.log 2>&1 ||
  { tail -n 40 build/native.demo-build.log; exit 1; }
exec build/native/bin/tarvelin_console demo "$@"
