#!/usr/bin/env bash
# make bench: Velmora's benchmarks, built and run, as one table.
#  - natively, Google Benchmark over the pure code (build/bench-native/velmora_bench):
#    the row texts, the sort by the comparator, the request block, simhost's walk;
#  - under Wine, the timing harness (build/bench-win64/refresh_bench.exe): the real
#    refresh against simhost in another process, its parts, the first refresh, a
#    ViewMode switch, one exchange with simhost, and velmora.exe left running for 60 s.
#
#   scripts/bench.sh            the full run (about three minutes, most of it the idle
#                               minute); the table goes to standard output
#   scripts/bench.sh --smoke    a few iterations of everything: proves that it all still
#                               builds and runs (make check)
#
# BENCH_NATIVE_BUILD and BENCH_WIN_BUILD name other build folders to use (make check
# passes its own, already built).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
jobs=${JOBS:-2}
smoke=0
case "${1:-}" in
  --smoke) smoke=1 ;;
  "") ;;
  *) echo "usage: scripts/bench.sh [--smoke]" >&2; exit 1 ;;
esac
native=${BENCH_NATIVE_BUILD:-build/bench-native}
win=${BENCH_WIN_BUILD:-build/bench-win64}
out=$root/build/bench-results
mkdir -p "$out"

bash scripts/deps.sh

note() { echo "bench: $*" >&2; }

note "building natively ($native)"
[ -f "$native/build.ninja" ] || cmake -S . -B "$native" -G Ninja >/dev/null
cmake --build "$native" -j "$jobs" --target velmora_bench >/dev/null

note "building for Windows ($win)"
[ -f "$win/build.ninja" ] || cmake -S . -B "$win" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake -DVELMORA_TESTS=OFF >/dev/null
cmake --build "$win" -j "$jobs" --target refresh_bench velmora simhost >/dev/null

if [ "$smoke" = 1 ]; then
  native_args=(--benchmark_min_time=0.001 --benchmark_repetitions=1)
  harness_args=(--smoke)
else
  native_args=(--benchmark_min_time=0.2 --benchmark_repetitions=12)
  harness_args=()
fi

note "native benchmarks"
"$native/velmora_bench" "${native_args[@]}" --benchmark_format=json \
  --benchmark_out="$out/native.json" --benchmark_out_format=json >/dev/null

note "the refresh under Wine (simhost and Velmora side by side)"
export WINEPREFIX=${WINEPREFIX:-$root/build/wine}
scripts/wine-run "$win/refresh_bench.exe" "${harness_args[@]}" > "$out/wine.tsv"

{
  echo "# cpu $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//'), $(nproc) cores"
  echo "# system $(uname -sr), $(wine --version 2>/dev/null | head -1), load $(cut -d' ' -f1-3 /proc/loadavg)"
} > "$out/machine.txt"

table_args=("$out/machine.txt" "$out/native.json" "$out/wine.tsv")
[ "$smoke" = 1 ] && table_args+=(--smoke)
python3 scripts/bench_table.py "${table_args[@]}"
