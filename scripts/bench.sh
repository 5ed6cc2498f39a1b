#!/usr/bin/env bash
# Builds and runs the solver benchmark (Release, in build-bench/): the standard case against a
# dense LAPACK loop, the growth with the sublayers, 1 and 2 threads. Extra arguments go to the
# benchmark (the number of repeats, default 3); a first argument "broadband" runs bench_broadband,
# "work" bench_work (the work estimate against measured processor time), "atlas" bench_atlas (the
# point source's mode atlas against full solves), "near" bench_near (the near field's in-disc sums
# with their low modes deflated against the whole spectrum's).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build-bench"
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DPEMBLAR_BENCHMARKS=ON "${launcher[@]}" >/dev/null
cmake --build "$build" --target bench_solvers bench_broadband bench_work bench_atlas bench_near -j "$(nproc)" >/dev/null
# The dense reference loop must not spread over threads either.
export OPENBLAS_NUM_THREADS=1
# "broadband [repeats]": the default projects under a step against --order 2 and the table of
# accuracy against cost (bench_broadband).
if [ "${1:-}" = broadband ]; then
  shift
  exec "$build/solvers/bench/bench_broadband" "$@"
fi
if [ "${1:-}" = atlas ]; then
  shift
  exec "$build/solvers/bench/bench_atlas" "$@"
fi
if [ "${1:-}" = near ]; then
  shift
  exec "$build/solvers/bench/bench_near" "$@"
fi
if [ "${1:-}" = work ]; then
  shift
  exec "$build/solvers/bench/bench_work" "$@"
fi
"$build/solvers/bench/bench_solvers" "$@"
