#!/usr/bin/env bash
# Installs what is missing, builds Sentaro with sanitizers and runs every test.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

bash "$root/scripts/install-deps.sh"
# The layout of the C++ files this change touches; said first, failing the run at its end.
layout=0
bash "$root/scripts/format-check.sh" || layout=$?
cmake -S "$root" -B "$root/build/test" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DSENTARO_SANITIZE=ON -DSENTARO_TESTS=ON -DSENTARO_BENCH=OFF \
  -DCMAKE_UNITY_BUILD=ON >/dev/null
cmake --build "$root/build/test"

# The pure functions under libFuzzer, for a bounded time.
bash "$root/tests/fuzz/run.sh" "${SENTARO_FUZZ_SECONDS:-20}"

cd "$root/build/test"
ctest --output-on-failure -j2
exit "$layout"
