#!/bin/sh
# Installs what building and testing need on Debian 12. Does nothing when all is there already.
set -eu

packages="cmake make g++ binutils googletest libgtest-dev libgmock-dev libbenchmark-dev
  mingw-w64 g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 wine64 wine
  clang libclang-rt-14-dev iproute2 util-linux procps
  pkg-config libcpp-httplib-dev nlohmann-json3-dev chromium"
# The tuning page's npm packages (its plotting library, and playwright-core for its browser test)
# are installed by the build from the lock file with npm; a machine without Node.js gets Debian's.
command -v npm >/dev/null 2>&1 || packages="$packages nodejs npm"

missing=""
for package in $packages; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing="$missing $package"
done
[ -z "$missing" ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "missing packages:$missing (run as root, or install them)" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
# shellcheck disable=SC2086
apt-get install -y -qq --no-install-recommends $missing >/dev/null
