#!/usr/bin/env bash
# Builds the Debian package and checks it with Debian's own checker (any
# error or warning fails), and that each manual page names every command and
# option its program's --help does.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/ensure-deps.sh --with lintian
deb=$(scripts/package.sh | tail -n 1)
lintian --fail-on error,warning --tag-display-limit 0 "$deb"
echo "lintian: $deb is clean"
build_dir=${PACKAGE_BUILD_DIR:-build-package}
scripts/check-man-pages.sh resources/man "$build_dir/src/cli/rkt410-cli" "$build_dir/src/sim/rkt410-sim" \
  "$build_dir/src/app/rkt410"
echo "manual pages: every command and option of --help is named"
