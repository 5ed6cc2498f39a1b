#!/usr/bin/env bash
# Builds and runs the solver benchmark (Release, in build-bench/): the standard case against a
# dense LAPACK loop, the growth with the sublayers, 1 and 2 threads. Extra arguments go to the
# benchmark (the number of repeats, default 3).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build-bench"
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DPEMBLAR_BENCHMARKS=ON "${launcher[@]}" >/dev/null
cmake --build "$build" --target bench_solvers -j "$(nproc)" >/dev/null
# The dense reference loop must not spread over threads either.
OPENBLAS_NUM_THREADS=1 "$build/solvers/bench/bench_solvers" "$@"
