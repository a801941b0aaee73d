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
cd "$build"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure --parallel "$(nproc)" --timeout 600
