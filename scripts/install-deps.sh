#!/usr/bin/env bash
# Installs the Debian packages Sentaro needs to build, run and test, and any named as arguments
# (the packaging tools, the Windows build's). Quick when all are there.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/packages.sh"

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
need_packages "${packages[@]}"
