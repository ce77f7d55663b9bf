#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer + UBSan) into
# ./build-fuzz and runs each for SECONDS (default 60), starting from the seed
# corpus in fuzz/corpus/<target>. Fails on the first crash, hang, leak or
# broken check; the input that did it is left in build-fuzz/findings/.
#   scripts/fuzz.sh          # CI smoke: a minute each
#   scripts/fuzz.sh 3600     # an hour each
# Inputs that reach new code collect in build-fuzz/corpus/<target>; copy the
# interesting ones into fuzz/corpus/<target> to keep them.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
case "$seconds" in '' | *[!0-9]*) echo "usage: scripts/fuzz.sh [SECONDS]" >&2; exit 2 ;; esac

scripts/ensure-deps.sh --with clang libclang-rt-14-dev
build_dir=${FUZZ_BUILD_DIR:-build-fuzz}
CC=clang CXX=clang++ cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DRKT_FUZZ=ON -DRKT_BUILD_TESTS=OFF -DRKT_BUILD_BENCH=OFF >/dev/null
targets=(parameter_file data_code language_file sensor_receive)
cmake --build "$build_dir" --parallel --target "${targets[@]/%/_fuzz}"

mkdir -p "$build_dir/findings"
status=0
for t in "${targets[@]}"; do
  corpus="$build_dir/corpus/$t"
  mkdir -p "$corpus"
  echo "== $t: ${seconds}s"
  # -timeout: one input taking longer than this counts as a hang.
  if ! "$build_dir/fuzz/${t}_fuzz" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
      -print_final_stats=1 -artifact_prefix="$build_dir/findings/${t}-" \
      "$corpus" "fuzz/corpus/$t" >"$build_dir/findings/$t.log" 2>&1; then
    tail -n 60 "$build_dir/findings/$t.log"
    echo "FAIL: $t found a fault; input in $build_dir/findings/" >&2
    status=1
  else
    grep -E '^stat::number_of_executed_units|^Done' "$build_dir/findings/$t.log" | tail -n 1 || true
  fi
done
exit $status
