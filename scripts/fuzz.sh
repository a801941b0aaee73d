#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, address and undefined-behaviour sanitizers) in a
# build folder of their own and runs each over its seed corpus for a bounded time; any
# crash, leak, time-out or failed round trip fails the run.
# Usage: scripts/fuzz.sh [seconds per target, default 30] [build folder, default build-fuzz]
# A target's new inputs go to <build folder>/corpus/<target>; the committed seeds in
# fuzz/corpus/<target> are only read. A failing input is left as
# <build folder>/artifacts/<target>/crash-* (or leak-*, timeout-*).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
build=${2:-build-fuzz}

CC=clang CXX=clang++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKORVEX_FUZZ=ON >/dev/null
cmake --build "$build" --parallel "$(nproc)"

failed=()
for target in orderfile account ordini prodotti korvex2; do
  mkdir -p "$build/corpus/$target" "$build/artifacts/$target"
  dict=()
  if [ -f "fuzz/$target.dict" ]; then dict=(-dict="fuzz/$target.dict"); fi
  echo "== fuzz_$target: $seconds s"
  if ! UBSAN_OPTIONS=print_stacktrace=1 "$build/bin/fuzz_$target" \
       -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=16384 \
       -print_final_stats=1 -artifact_prefix="$build/artifacts/$target/" "${dict[@]}" \
       "$build/corpus/$target" "fuzz/corpus/$target" 2>"$build/artifacts/$target/log"; then
    failed+=("$target")
    tail -n 60 "$build/artifacts/$target/log"
  fi
  grep -E '^(stat::number_of_executed_units|stat::average_exec_per_sec)|^#[0-9]+[[:space:]]+DONE' \
    "$build/artifacts/$target/log" || true
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz targets failed: ${failed[*]}" >&2
  exit 1
fi
