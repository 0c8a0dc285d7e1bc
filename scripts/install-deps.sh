#!/bin/sh
# Installs the Debian 12 packages a task needs; does nothing when all of them are there.
#   scripts/install-deps.sh demo   what building the library and the console takes (the demo)
#   scripts/install-deps.sh [all]  that, and what the tests take: GoogleTest and Google
#                                  Benchmark, mingw-w64 and Wine for the Windows build, clang for
#                                  the fuzzers, mold to link the native programs faster, and the
#                                  tools the tests run
set -eu

# The console serves the tuning page with cpp-httplib and nlohmann-json; the page's plotting
# library (and playwright-core, for its browser test) come from the npm registry, installed by the
# build from the lock file. A machine without Node.js gets Debian's.
demo_packages="cmake make g++ pkg-config libcpp-httplib-dev nlohmann-json3-dev"
command -v npm >/dev/null 2>&1 || demo_packages="$demo_packages nodejs npm"
test_packages="binutils googletest libgtest-dev libgmock-dev libbenchmark-dev
  mingw-w64 g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 wine64 wine
  clang libclang-rt-14-dev mold iproute2 util-linux procps chromium"

case "${1:-all}" in
  demo) packages=$demo_packages ;;
  all) packages="$demo_packages $test_packages" ;;
  *) echo "usage: $0 [demo|all]" >&2; exit 2 ;;
esac

missing=""
for package in $packages; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing="$missing $package"
done
[ -z "$missing" ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "missing Debian packages:$missing" >&2
  echo "install them as root (sudo apt-get install$missing), or run this script as root" >&2
  exit 1
fi
echo "installing$missing"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
# shellcheck disable=SC2086
apt-get install -y -qq --no-install-recommends $missing >/dev/null
