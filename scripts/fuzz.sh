#!/usr/bin/env bash
# make fuzz (and a short run in make check): builds the libFuzzer targets of fuzz/ with
# clang in build/fuzz and runs each, one after the other, for SECONDS (default 30) on a
# scratch copy of its seed corpus under build/fuzz/run, so that the repository is left
# as it is. Prints each target's executions; fails when any target finds a crash, a
# sanitizer report or a failed check (its log and the input that did it are kept in
# build/fuzz/run/TARGET).
#
#   bash scripts/fuzz.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
jobs=${JOBS:-2}
case $seconds in
  ''|*[!0-9]*|0) echo "fuzz: SECONDS must be a positive whole number, not '$seconds'" >&2; exit 2 ;;
esac

bash scripts/deps.sh

build=build/fuzz
cmake -S . -B "$build" -G Ninja -DVELMORA_FUZZ=ON -DVELMORA_TESTS=OFF \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$build" -j "$jobs" --target fuzz_snapshot fuzz_settings fuzz_server fuzz_scenario

# target and its longest input
targets=(snapshot:6400 settings:4096 server:10240 scenario:16384)

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1}
failed=()
summary=()
for entry in "${targets[@]}"; do
  t=${entry%%:*}
  maxlen=${entry#*:}
  work=$build/run/$t
  rm -rf "$work"
  mkdir -p "$work/corpus" "$work/artifacts"
  cp fuzz/corpus/"$t"/* "$work/corpus/"
  seeds=$(ls "$work/corpus" | wc -l)
  options=(-max_total_time="$seconds" -print_final_stats=1 -max_len="$maxlen" -timeout=25
           -rss_limit_mb=2048 -artifact_prefix="$work/artifacts/")
  [ -f fuzz/"$t".dict ] && options+=(-dict=fuzz/"$t".dict)
  printf '\n=== fuzz_%s for %s s on %s seeds\n' "$t" "$seconds" "$seeds"
  status=0
  "$build/fuzz_$t" "${options[@]}" "$work/corpus" >"$work/log" 2>&1 || status=$?
  executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/log" | tail -1)
  corpus=$(ls "$work/corpus" | wc -l)
  if [ "$status" -ne 0 ]; then
    tail -n 60 "$work/log"
    echo "fuzz_$t FAILED (exit $status); input kept in:" $(ls "$work"/artifacts/* 2>/dev/null)
    failed+=("$t")
    summary+=("fuzz_$t: FAILED after ${executions:-?} executions")
  else
    summary+=("fuzz_$t: ${executions:-?} executions in $seconds s, corpus $seeds -> $corpus inputs, nothing found")
  fi
done

printf '\n=== fuzz summary\n'
printf '%s\n' "${summary[@]}"
echo "fuzz: $((${#targets[@]} - ${#failed[@]})) passed, ${#failed[@]} failed"
if [ ${#failed[@]} -ne 0 ]; then
  echo "fuzz: findings in ${failed[*]}" >&2
  exit 1
fi
