#!/usr/bin/env bash
# Builds the programs and shows the shipped sample parameter file with the
# command line.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/ensure-deps.sh
scripts/build.sh
build_dir=${BUILD_DIR:-build}
"$build_dir/src/cli/rkt410-cli" show resources/samples/sample.RKT
