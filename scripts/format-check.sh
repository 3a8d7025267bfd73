#!/usr/bin/env bash
# Fails when a C++ file that this change touches is not laid out as .clang-format says, naming the
# files and lines. The change is what differs from where the branch left main (uncommitted and new
# files included); on main itself, or in a checkout that has no main, it is the last commit.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"

if ! command -v git >/dev/null || ! git rev-parse --verify -q HEAD >/dev/null 2>&1; then
  echo "format-check: no git history here, layout not checked"
  exit 0
fi
formatter="$(command -v clang-format || command -v clang-format-14 || true)"
if [ -z "$formatter" ]; then
  echo "format-check: clang-format is missing (scripts/install-deps.sh installs it)" >&2
  exit 1
fi

head="$(git rev-parse HEAD)"
base=""
for main in main origin/main; do
  if fork="$(git merge-base HEAD "$main" 2>/dev/null)" && [ "$fork" != "$head" ]; then
    base="$fork"
    break
  fi
done
if [ -z "$base" ]; then
  # A first commit has no parent: every file is its change.
  base="$(git rev-parse -q --verify HEAD~1 || git hash-object -t tree /dev/null)"
fi

mapfile -t files < <({
  git diff --name-only --diff-filter=ACMR "$base" -- '*.cpp' '*.h'
  git ls-files --others --exclude-standard -- '*.cpp' '*.h'
} | sort -u)
if [ ${#files[@]} -eq 0 ]; then
  echo "format-check: no C++ file changed"
  exit 0
fi
if ! "$formatter" --dry-run -Werror "${files[@]}"; then
  echo "format-check: run '$formatter -i' on the files above" >&2
  exit 1
fi
echo "format-check: ${#files[@]} changed C++ files laid out as .clang-format says"
