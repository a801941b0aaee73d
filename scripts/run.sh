#!/usr/bin/env bash
# Installs what the build needs, builds the program and runs it.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}

bash scripts/install-deps.sh
bash scripts/fetch-gsoap-runtime.sh "$PWD/.deps/gsoap"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build" --parallel "$(nproc)"
echo "The libraries are built in $build/lib. The program itself comes with later work."
