#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test through CTest under a virtual X server
# with Mesa's software OpenGL. Exits non-zero on any failure.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
build="$root/build"
repeat=()
# PEMBLAR_SANITIZE=1 builds and tests with AddressSanitizer and UBSan instead (in build-asan):
# any memory error, leak or undefined behaviour a test reaches fails it. CI runs this one.
if [ "${PEMBLAR_SANITIZE:-0}" = 1 ]; then
  build="$root/build-asan"
  "$root/scripts/build.sh" "$build" -DPEMBLAR_TESTS=ON -DPEMBLAR_SANITIZE=ON
  export ASAN_OPTIONS=detect_leaks=1:detect_stack_use_after_return=1:abort_on_error=1
  # Leaks inside third-party libraries only (Qt plugins, fontconfig, Mesa, ODBC): see the file.
  export LSAN_OPTIONS="suppressions=$root/tests/sanitizer/lsan.supp:print_suppressions=0"
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
  # LeakSanitizer stops every thread at exit; Mesa's rasterizer threads winding down at that
  # moment have crashed its tracer ("Tracer caught signal 11") after all test cases passed.
  # Render on the calling thread, and give a test whose process died that way one more run.
  export LP_NUM_THREADS=0
  repeat=(--repeat until-pass:2)
else
  "$root/scripts/build.sh" "$build" -DPEMBLAR_TESTS=ON
fi
export QT_QPA_PLATFORM=xcb
export LIBGL_ALWAYS_SOFTWARE=1
export PEMBLAR_SOURCE_DIR="$root"
cd "$build"
xvfb-run -a -s "-screen 0 1280x1024x24" \
  ctest --output-on-failure -j "$(nproc)" --timeout 600 "${repeat[@]}"
