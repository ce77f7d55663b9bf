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
# Leak checking is off: Qt, fontconfig and the platform plugins keep
# process-lifetime allocations that LeakSanitizer reports as leaks. Memory
# errors and undefined behaviour still stop the test at once.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
ctest --test-dir "$build_dir" --output-on-failure --timeout 600 -j"$(nproc)"
