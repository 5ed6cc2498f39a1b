#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer and UBSan on) and runs each one over
# a working copy of its committed corpus. Prints, per target, the executions done and the
# crashes found; exits non-zero when any target found one (the inputs are kept in the work dir).
#
#   scripts/fuzz.sh [SECONDS]        bounded run, SECONDS per target (default 60)
#   scripts/fuzz.sh --long [SECONDS] long run: SECONDS per target (default 600), all at once
#
# Environment: PEMBLAR_FUZZ_BUILD (build dir, default build-fuzz), PEMBLAR_FUZZ_WORK (corpus
# copies and crash inputs, default $build/fuzz-work), PEMBLAR_FUZZ_TARGETS (names to run).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
mode=bounded
if [ "${1:-}" = "--long" ]; then
  mode=long
  shift
fi
seconds=${1:-$([ "$mode" = long ] && echo 600 || echo 60)}
build=${PEMBLAR_FUZZ_BUILD:-"$root/build-fuzz"}
work=${PEMBLAR_FUZZ_WORK:-"$build/fuzz-work"}
targets=${PEMBLAR_FUZZ_TARGETS:-"com_project fgm_project result_text lumdex_input kavrit_input sampled_load study_file manifest series_csv load_text"}

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DPEMBLAR_GUI=OFF -DPEMBLAR_TESTS=ON -DPEMBLAR_FUZZ=ON -DPEMBLAR_SANITIZE=ON \
  -DCMAKE_C_FLAGS=-fsanitize=fuzzer-no-link -DCMAKE_CXX_FLAGS=-fsanitize=fuzzer-no-link >/dev/null
cmake --build "$build" -j "$(nproc)" --target $(for t in $targets; do printf 'fuzz_%s ' "$t"; done)

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

run_one() {
  local t=$1 dir="$work/$1"
  # Findings of an earlier run are kept aside, so that this run counts only its own.
  if [ -d "$dir/crashes" ] && [ -n "$(ls -A "$dir/crashes")" ]; then
    mkdir -p "$dir/crashes.old"
    mv "$dir/crashes/"* "$dir/crashes.old/"
  fi
  mkdir -p "$dir/corpus" "$dir/crashes"
  cp -n "$root/tests/fuzz/corpus/$t/"* "$dir/corpus/" 2>/dev/null || true
  local rc=0
  (cd "$dir" && "$build/tests/fuzz/fuzz_$t" "$dir/corpus" \
      -max_total_time="$seconds" -max_len=4096 -rss_limit_mb=2048 -timeout=20 \
      -print_final_stats=1 -artifact_prefix="$dir/crashes/" >"$dir/fuzz.log" 2>&1) || rc=$?
  echo "$rc" >"$dir/rc"
}

# The long run keeps every target going at once; the bounded one takes them in turn.
for t in $targets; do
  if [ "$mode" = long ]; then run_one "$t" & else run_one "$t"; fi
done
wait

failed=0
total=0
printf '%-14s %12s %8s %s\n' target executions crashes log
for t in $targets; do
  dir="$work/$t"
  execs=$( (grep -h '^stat::number_of_executed_units' "$dir/fuzz.log" || true) | awk '{s+=$2} END {print s+0}')
  crashes=$(find "$dir/crashes" -type f | wc -l)
  if [ "$(cat "$dir/rc")" -ne 0 ] && [ "$crashes" -eq 0 ]; then crashes=1; fi
  total=$((total + execs))
  printf '%-14s %12s %8s %s\n' "$t" "$execs" "$crashes" "$dir/fuzz.log"
  if [ "$crashes" -ne 0 ]; then failed=1; fi
done
printf '%-14s %12s\n' total "$total"
exit "$failed"
