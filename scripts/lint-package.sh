#!/usr/bin/env bash
# Builds the Debian package and checks it with Debian's own checker: any
# error or warning fails.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/ensure-deps.sh --with lintian
deb=$(scripts/package.sh | tail -n 1)
lintian --fail-on error,warning --tag-display-limit 0 "$deb"
echo "lintian: $deb is clean"
