#!/usr/bin/env bash
# Installs what is missing, builds Sentaro and starts it in a working folder
# (by default ~/Sentaro; another folder may be named as the first argument).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
folder="${1:-$HOME/Sentaro}"

bash "$root/scripts/install-deps.sh"
cmake -S "$root" -B "$root/build/release" -G Ninja -DCMAKE_BUILD_TYPE=Release -DSENTARO_TESTS=OFF -DSENTARO_BENCH=OFF >/dev/null
cmake --build "$root/build/release"

mkdir -p "$folder"
# The header picture is ours to ship; a user's own picture is never replaced.
[ -e "$folder/intestazione.jpg" ] || cp "$root/data/intestazione.jpg" "$folder/intestazione.jpg"
cd "$folder"
exec "$root/build/release/app/sentaro"
