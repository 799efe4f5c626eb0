#!/usr/bin/env bash
# make check: every test. Installs what is missing, builds natively (plain and with
# AddressSanitizer/UBSan), for Windows x86_64 (tests under Wine) and for i686 (compile
# only), and runs each suite with ctest.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
jobs=${JOBS:-2}

bash scripts/deps.sh

step() { printf '\n=== %s\n' "$*"; }

configure() {  # configure DIR [cmake args...]
  local dir=$1; shift
  cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
}

step "native build and unit tests"
configure build/native
cmake --build build/native -j "$jobs"
ctest --test-dir build/native --output-on-failure -j "$jobs"

step "native unit tests under AddressSanitizer and UndefinedBehaviorSanitizer"
configure build/asan -DVELMORA_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug
cmake --build build/asan -j "$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build/asan --output-on-failure -j "$jobs"

step "fuzz targets, 30 s each on their seed corpus"
bash scripts/fuzz.sh 30

step "i686 Windows build (compiled only: 32-bit programs cannot run here)"
configure build/win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DVELMORA_TESTS=OFF
cmake --build build/win32 -j "$jobs"

step "x86_64 Windows build, tests under Wine"
configure build/win64 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake
cmake --build build/win64 -j "$jobs"

# One Xvfb display and one wineserver for the whole Wine run; stopped at the end.
export WINEPREFIX=$root/build/wine
export VELMORA_WINE_KEEP=1
xvfb_pid=
finish() {
  WINEPREFIX=$root/build/wine wineserver -k >/dev/null 2>&1 || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
}
trap finish EXIT
if [ -z "${DISPLAY:-}" ]; then
  . scripts/xvfb.sh
  start_xvfb
  xvfb_pid=$XVFB_PID
fi
step "benchmarks: a smoke run (make bench takes the figures)"
BENCH_NATIVE_BUILD=build/native BENCH_WIN_BUILD=build/win64 bash scripts/bench.sh --smoke

step "Windows tests under Wine"
ctest --test-dir build/win64 --output-on-failure
