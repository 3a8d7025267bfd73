# Shared by the Windows scripts: where the cross-built toolchain lives and how its folder is named.
# Sourced, not run.
SENTARO_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
WINDOWS_CACHE="${SENTARO_WINDOWS_CACHE:-/var/cache/sentaro-windows}"
MINGW=x86_64-w64-mingw32

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

# Installs the Debian packages named that are missing; quick when all are there.
need_packages() {
  local missing=() package
  for package in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
      missing+=("$package")
    fi
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installo / installing: ${missing[*]}"
  as_root env DEBIAN_FRONTEND=noninteractive apt-get update -qq
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

debian_version() {
  dpkg-query -W -f='${Version}' "$1"
}

# The toolchain is rebuilt whenever one of the Debian packages it is made from changes version.
toolchain_dir() {
  local key
  key="$(debian_version qt6-base-dev)_$(debian_version g++-mingw-w64-x86-64-posix)_$(debian_version libsqlite3-dev)"
  echo "$WINDOWS_CACHE/qt-${key//[^A-Za-z0-9.+-]/_}"
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
