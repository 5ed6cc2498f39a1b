#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test through CTest under a virtual X server
# with Mesa's software OpenGL. Exits non-zero on any failure.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
build="$root/build"
"$root/scripts/build.sh" "$build" -DPEMBLAR_TESTS=ON
export QT_QPA_PLATFORM=xcb
export LIBGL_ALWAYS_SOFTWARE=1
export PEMBLAR_SOURCE_DIR="$root"
cd "$build"
xvfb-run -a -s "-screen 0 1280x1024x24" \
  ctest --output-on-failure -j "$(nproc)" --timeout 600
