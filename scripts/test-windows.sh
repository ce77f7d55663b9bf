#!/usr/bin/env bash
# Cross-builds the plain C++ model library and its tests for 64-bit Windows
# with mingw-w64 and runs them under wine64: the Windows paths of the file
# layer (atomic replace, drive letters, backslashes, the Windows code page).
# The Qt parts are not covered by this.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/ensure-deps.sh --with windows
build_dir=${WINDOWS_BUILD_DIR:-build-windows}
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DRKT_MODEL_ONLY=ON \
  -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64.cmake" >/dev/null
cmake --build "$build_dir" --parallel
# A private wine prefix, made quietly on first use.
export WINEPREFIX=${WINEPREFIX:-$PWD/$build_dir/wineprefix} WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
ctest --test-dir "$build_dir" --output-on-failure --timeout 600
