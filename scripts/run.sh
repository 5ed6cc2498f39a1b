#!/usr/bin/env bash
# Installs what is missing, builds (Release), prepares a working directory for projects
# (default ~/pemblar-work, or the directory given) and starts the program there.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
work=${1:-"$HOME/pemblar-work"}
"$root/scripts/install-deps.sh"
build="$root/build-run"
"$root/scripts/build.sh" "$build" -DPEMBLAR_TESTS=OFF
mkdir -p "$work"
# The bundled solvers are found on the search path, so no copy into bin/ is ever needed.
export PATH="$build/solvers:$PATH"
cd "$work"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display found: starting under a virtual X server." >&2
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "$build/app/pemblar"
fi
exec "$build/app/pemblar"
