#!/usr/bin/env bash
# Builds the programs without tests into ./build-package and makes the Debian
# package there; prints its path. Install it with
#   sudo apt-get install ./build-package/rkt410_<version>_amd64.deb
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/ensure-deps.sh --with dpkg-dev file
build_dir=${PACKAGE_BUILD_DIR:-build-package}
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DRKT_BUILD_TESTS=OFF -DRKT_BUILD_BENCH=OFF -DRKT_SANITIZE=OFF -DRKT_FUZZ=OFF >/dev/null
cmake --build "$build_dir" --parallel
(cd "$build_dir" && rm -f ./*.deb && cpack -G DEB >/dev/null)
ls "$build_dir"/*.deb
