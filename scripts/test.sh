#!/usr/bin/env bash
# Installs what the build needs, builds everything from scratch and runs all the tests.
# Usage: scripts/test.sh [build folder]   (default: build)
#
# A failed installation or build stops the run: there is nothing to test. The test stages
# (the tests, the library and window tests again under AddressSanitizer, the fuzz targets)
# all run even when an earlier one failed; a summary line for each ends the output, and the
# exit status is non-zero when any stage failed.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}

bash scripts/install-deps.sh
bash scripts/fetch-gsoap-runtime.sh "$PWD/.deps/gsoap"

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKORVEX_WERROR=ON
cmake --build "$build" --parallel "$(nproc)"

# The tests labelled memcheck, built again under AddressSanitizer: memory faults of the SOAP
# layer, the upload engine and the windows (double delete, use after free, reads past the
# end, leaks) fail the run.
asan="$build-asan"
cmake -S . -B "$asan" -DCMAKE_BUILD_TYPE=Debug -DKORVEX_ASAN=ON -DKORVEX_BUILD_BENCHMARKS=OFF >/dev/null
mapfile -t memcheck < <(cd "$asan" && ctest -N -L memcheck | sed -n 's/^ *Test *#[0-9]*: //p')
cmake --build "$asan" --parallel "$(nproc)" --target "${memcheck[@]}"

stages=()
results=()
# run_stage <name> <command...>: runs the stage and records how it ended, whatever it did.
run_stage() {
  local name=$1
  shift
  echo "=== $name"
  local status=0
  "$@" || status=$?
  stages+=("$name")
  results+=("$status")
}

run_tests() {
  (cd "$build" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure --parallel "$(nproc)" --timeout 600)
}

run_sanitizer_tests() {
  (cd "$asan" && ASAN_OPTIONS=detect_leaks=1 QT_QPA_PLATFORM=offscreen \
     ctest --output-on-failure --parallel "$(nproc)" -L memcheck)
}

# Each target for a bounded time over its seed corpus (a build folder of their own).
run_fuzz_targets() {
  bash scripts/fuzz.sh 30 "$build-fuzz"
}

run_stage "tests ($build)" run_tests
run_stage "sanitizer tests ($asan)" run_sanitizer_tests
run_stage "fuzz targets ($build-fuzz)" run_fuzz_targets

echo "=== Summary"
failed=0
for i in "${!stages[@]}"; do
  if [ "${results[$i]}" -eq 0 ]; then
    echo "passed: ${stages[$i]}"
  else
    echo "FAILED: ${stages[$i]} (exit status ${results[$i]})"
    failed=1
  fi
done
exit "$failed"
