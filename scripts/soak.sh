#!/usr/bin/env bash
# make soak: the long run. Builds the Windows programs (x86_64), then runs soak.exe under
# Wine: Velmora beside simhost's live traffic, driven through REFRESHES Refresh
# commands (20000 unless given) with switches of view and header clicks mixed in, its
# GDI and USER objects, handles and private bytes sampled after a warm-up and at the
# end. Exit code 0 when they stayed flat, 1 when one grew, 2 when the run failed.
#
#   scripts/soak.sh [REFRESHES] [--seed N] [--rate X]
#
# SOAK_BUILD names the build folder (build/win64, the one make check uses).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=${SOAK_BUILD:-build/win64}
refreshes=${1:-20000}
shift || true

bash scripts/deps.sh
cmake -S . -B "$build" -G Ninja --no-warn-unused-cli \
  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake >/dev/null
cmake --build "$build" -j "${JOBS:-2}" --target velmora simhost soak

# One Xvfb display and one wineserver for the run, both stopped at the end.
export WINEPREFIX=${WINEPREFIX:-$root/build/wine}
export VELMORA_WINE_KEEP=1
xvfb_pid=
finish() {
  wineserver -k >/dev/null 2>&1 || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
}
trap finish EXIT
if [ -z "${DISPLAY:-}" ]; then
  . scripts/xvfb.sh
  start_xvfb
  xvfb_pid=$XVFB_PID
fi
scripts/wine-run "$build/soak.exe" "$refreshes" "$@"
