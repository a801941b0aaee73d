#!/usr/bin/env bash
# Installs what the build needs, builds everything from scratch and runs all the tests.
# Usage: scripts/test.sh [build folder]   (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}

bash scripts/install-deps.sh
bash scripts/fetch-gsoap-runtime.sh "$PWD/.deps/gsoap"

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKORVEX_WERROR=ON
cmake --build "$build" --parallel "$(nproc)"

# The library tests again under AddressSanitizer: memory faults of the SOAP layer (double
# delete, use after free, reads past the end) fail the run.
asan="$build-asan"
cmake -S . -B "$asan" -DCMAKE_BUILD_TYPE=Debug -DKORVEX_ASAN=ON -DKORVEX_BUILD_BENCHMARKS=OFF >/dev/null
mapfile -t memcheck < <(cd "$asan" && ctest -N -L memcheck | sed -n 's/^ *Test *#[0-9]*: //p')
cmake --build "$asan" --parallel "$(nproc)" --target "${memcheck[@]}"
(cd "$asan" && ASAN_OPTIONS=detect_leaks=1 QT_QPA_PLATFORM=offscreen \
   ctest --output-on-failure --parallel "$(nproc)" -L memcheck)

(cd "$build" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure --parallel "$(nproc)" --timeout 600)

# The fuzz targets, each for a bounded time over its seed corpus (a build folder of their own).
bash scripts/fuzz.sh 30 "$build-fuzz"
