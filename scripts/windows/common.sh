# Shared by the Windows scripts: where the cross-built toolchain lives and how its folder is named.
# Sourced, not run.
SENTARO_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
WINDOWS_CACHE="${SENTARO_WINDOWS_CACHE:-/var/cache/sentaro-windows}"
MINGW=x86_64-w64-mingw32

source "$SENTARO_ROOT/scripts/packages.sh"

# Everything the Windows scripts need, in one list: CI installs it with the Linux packages in one go, before
# the toolchain is built beside the Linux tests. The toolchain's compilers and sources' tools, the
# installer's NSIS and Qt's Italian texts, then Wine and what check.sh reads the Windows output with.
WINDOWS_PACKAGES=(
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 mingw-w64-x86-64-dev dpkg-dev
  tcl libwine-dev cmake ninja-build make qt6-base-dev qt6-base-dev-tools qt6-charts-dev libsqlite3-dev mdbtools-dev
  autoconf automake libtool gettext pkg-config curl patch libssl-dev libpq-dev bison flex
  nsis qt6-translations-l10n
  wine wine64 fonts-liberation2 sqlite3 poppler-utils python3-xlrd postgresql openssl
)

debian_version() {
  dpkg-query -W -f='${Version}' "$1"
}

# The toolchain is rebuilt whenever one of the Debian packages it is made from changes version, or Qt's
# configuration in toolchain.sh changes (counted here, to be raised with it).
QT_CONFIGURATION=3
toolchain_dir() {
  local key
  key="$(debian_version qt6-base-dev)_$(debian_version g++-mingw-w64-x86-64-posix)_$(debian_version libsqlite3-dev)"
  echo "$WINDOWS_CACHE/qt$QT_CONFIGURATION-${key//[^A-Za-z0-9.+-]/_}"
}

project_version() {
  sed -n 's/^project(Sentaro VERSION \([0-9.]*\).*/\1/p' "$SENTARO_ROOT/CMakeLists.txt"
}

# Where the DLLs the Windows programs load come from: the toolchain's, then GCC's and mingw-w64's runtime.
dll_dirs() {
  echo "$1/bin"
  dirname "$($MINGW-gcc-posix -print-libgcc-file-name)"
  echo "/usr/$MINGW/lib"
}
