#!/usr/bin/env bash
# Installs the Debian packages Sentaro needs to build, run and test, and any named as arguments
# (the packaging tools). Quick when all are there.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools libqt6sql6-sqlite libgl-dev libsqlite3-dev
  # Qt Charts' CMake package needs Qt OpenGL's, which Debian's qt6-charts-dev does not bring along.
  qt6-charts-dev libqt6opengl6-dev
  qt6-translations-l10n
  fonts-liberation2 poppler-utils sqlite3
  xvfb xauth openbox imagemagick xdotool x11-utils
  python3-xlrd libfreexl-dev
  mdbtools-dev
  clang-14 libclang-rt-14-dev clang-format
  python3-xlwt time
  postgresql libqt6sql6-psql libpq-dev openssl
  "$@"
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$package")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installo i pacchetti mancanti / installing missing packages: ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  sudo_cmd=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
