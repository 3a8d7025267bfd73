#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs each for a bounded time on its corpus.
# Prints one RELIABILITY line a target; exits non-zero when a target finds a fault.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
seconds="${1:-20}"
build="$here/../../build/fuzz"
CXX=clang++-14 cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" >"$build.log" 2>&1 || { cat "$build.log"; exit 1; }
status=0
for target in dates numbers taxcode delimited jetlines; do
  work="$(mktemp -d)"
  # New inputs go to a scratch folder; the corpus in the project is only read.
  if "$build/fuzz_$target" -max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="$work/" \
       "$work" "$here/corpus/$target" >"$work/log" 2>&1; then
    runs=$(grep -o 'Done [0-9]* runs' "$work/log" | grep -o '[0-9]*' || echo 0)
    echo "RELIABILITY fuzz $target: $runs runs in ${seconds}s, 0 faults"
  else
    echo "RELIABILITY fuzz $target: FAULT found"
    tail -40 "$work/log"
    status=1
  fi
  rm -rf "$work"
done
exit $status
