#!/usr/bin/env bash
# Runs the reliability tests (kills, refused writes, hostile texts, backups, fuzzing) and
# writes their figures into RELIABILITY.md. The same tests run in CI through scripts/test.sh.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bash "$root/scripts/install-deps.sh"
cmake -S "$root" -B "$root/build/test" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DSENTARO_SANITIZE=ON -DSENTARO_TESTS=ON -DSENTARO_BENCH=OFF >/dev/null
cmake --build "$root/build/test" >/dev/null
figures="$(mktemp)"
log="$(mktemp)"
if ! (cd "$root/build/test" && ctest -V -j2 -R 'tst_kills_|tst_refused|tst_hostile|tst_backup|tst_jet|tst_startup') >"$log" 2>&1; then
  grep -E 'FAIL!|Failed|\*\*\*' "$log" || true
  echo "A reliability test failed: RELIABILITY.md left as it was; the log is $log"
  exit 1
fi
grep -o 'RELIABILITY.*' "$log" | sed 's/^RELIABILITY //' > "$figures"
rm -f "$log"
bash "$root/tests/fuzz/run.sh" "${SENTARO_FUZZ_SECONDS:-20}" | grep -o 'RELIABILITY.*' | sed 's/^RELIABILITY //' >> "$figures"
{
  sed -n '1,/^## Figures of the last run/p' "$root/RELIABILITY.md"
  echo
  echo "Run of $(date -u +%Y-%m-%d) on $(nproc) cores; address and undefined-behaviour sanitizers on."
  echo
  sed 's/^/- /' "$figures"
} > "$root/RELIABILITY.md.new"
mv "$root/RELIABILITY.md.new" "$root/RELIABILITY.md"
rm -f "$figures"
