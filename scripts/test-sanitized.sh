#!/usr/bin/env bash
# Builds everything with AddressSanitizer + UndefinedBehaviorSanitizer into
# ./build-asan and runs every test there. Any sanitizer report fails the test
# it happens in.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/ensure-deps.sh
build_dir=${ASAN_BUILD_DIR:-build-asan}
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DRKT_SANITIZE=ON -DRKT_BUILD_BENCH=OFF >/dev/null
cmake --build "$build_dir" --parallel
# Leak checking is on; what Qt's plugins and fontconfig keep for the life of
# the process is suppressed in scripts/lsan.supp.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$PWD/scripts/lsan.supp:print_suppressions=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
ctest --test-dir "$build_dir" --output-on-failure --timeout 600 -j"$(nproc)"
