#!/usr/bin/env bash
# Configures and builds into the directory given (default build/), Release, with Ninja.
# Extra arguments go to CMake.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-"$root/build"}
shift || true
# A compiler cache, where there is one, makes rebuilds of other checkouts of the tree cheap.
launcher=()
if command -v ccache >/dev/null; then
  export CCACHE_BASEDIR="$root"
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release "${launcher[@]}" "$@" >/dev/null
cmake --build "$build" -j "$(nproc)"
