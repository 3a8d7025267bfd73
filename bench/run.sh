#!/usr/bin/env bash
# Installs what is missing, builds the program and its benchmarks in release, generates the
# working folders when missing (build/bench/data) and runs every benchmark, writing
# bench/RESULTS.md. Options go to the runner, e.g. --repetitions 9 or --scale small.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

bash "$root/scripts/install-deps.sh"
cmake -S "$root" -B "$root/build/bench" -G Ninja -DCMAKE_BUILD_TYPE=Release -DSENTARO_SANITIZE=OFF \
  -DSENTARO_TESTS=OFF -DSENTARO_BENCH=ON >/dev/null
cmake --build "$root/build/bench"

# What the build wrote goes to the disk now, not during the first measurements.
sync
export QT_QPA_PLATFORM=offscreen
cd "$root/build/bench"
# The runner stops its PostgreSQL server itself; this is for a run cut short.
trap 'bash "$root/scripts/pgserver.sh" stop "$root/build/bench/pgserver" >/dev/null 2>&1 || true' EXIT
# Qt's notes about the offscreen platform are not results.
./bench/sentaro-bench run --work "$root/build/bench/data" "$@" \
  2> >(grep -v -e 'propagateSizeHints' -e 'does not support raise' -e 'XDG_RUNTIME_DIR' >&2)
