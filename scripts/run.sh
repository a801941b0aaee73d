#!/usr/bin/env bash
# Installs what the build needs, builds the program, starts the laboratory simulator and runs
# the program against it with a profile of its own ("Demo": data folder ~/.Korvex2Demo,
# settings of their own), so that the login dialog offers the simulator as server and the
# demo account (user demo, password demo; labsim/README.md) logs in. Sign-up works too.
# The simulator keeps its state in <build>/labsim-data and stops when the program ends.
# Usage: scripts/run.sh [build folder]   (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
profile=Demo

bash scripts/install-deps.sh
bash scripts/fetch-gsoap-runtime.sh "$PWD/.deps/gsoap"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build" --parallel "$(nproc)" --target Korvex2Client korvex_app_data

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No graphical display: run this from a desktop session (or under xvfb-run)." >&2
  exit 1
fi

# The simulator, on free loopback ports; it prints its address once it serves.
data="$PWD/$build/labsim-data"
mkdir -p "$data"
ready="$data/ready.txt"
rm -f "$ready"
/usr/bin/python3 labsim/labsim.py --data "$data" >"$ready" &
labsim=$!
trap 'kill "$labsim" 2>/dev/null; wait "$labsim" 2>/dev/null || true' EXIT
for _ in $(seq 100); do
  grep -q '^labsim ready' "$ready" 2>/dev/null && break
  kill -0 "$labsim" 2>/dev/null || { echo "The laboratory simulator did not start." >&2; exit 1; }
  sleep 0.1
done
endpoint=$(sed -n 's/^labsim ready endpoint=\([^ ]*\).*/\1/p' "$ready")
[ -n "$endpoint" ] || { echo "The laboratory simulator did not start." >&2; exit 1; }
echo "Laboratory simulator at $endpoint (demo account: demo / demo)"

# The profile's local database: the seed catalogue, pointed at the simulator.
profile_dir="$HOME/.Korvex2$profile"
mkdir -p "$profile_dir"
[ -f "$profile_dir/korvex.s3db" ] || cp "$build/bin/korvex.s3db" "$profile_dir/korvex.s3db"
/usr/bin/python3 - "$profile_dir/korvex.s3db" "$endpoint" <<'PY'
import sqlite3, sys
db = sqlite3.connect(sys.argv[1])
db.execute("UPDATE config SET valore = ? WHERE chiave = 'wsendpoint'", (sys.argv[2],))
db.commit()
PY

"$build/bin/Korvex2Client" "$profile"
