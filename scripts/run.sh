#!/usr/bin/env bash
# Builds the programs and starts the main job: the program's window on the
# built-in simulated sensor (or with the arguments given, e.g. a parameter
# file and no --simulate to use the serial port set in the options). Without
# a display it reads the simulated sensor with the command line instead.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/ensure-deps.sh
scripts/build.sh
build_dir=${BUILD_DIR:-build}
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  if [ $# -eq 0 ]; then set -- --simulate; fi
  exec "$build_dir/src/app/rkt410" "$@"
fi
echo "No display: reading the built-in simulated sensor with rkt410-cli instead of the window." >&2
"$build_dir/src/cli/rkt410-cli" read --simulate
