#!/usr/bin/env bash
# Builds, once, what the Windows build of Sentaro links against: Qt, SQLite and libmdb for
# x86_64 Windows, from Debian's own sources, into a cache folder outside the project.
# Prints the folder. A folder already complete is reused as it is.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

need_packages g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 \
  mingw-w64-x86-64-dev dpkg-dev tcl libwine-dev cmake ninja-build make \
  qt6-base-dev qt6-base-dev-tools libsqlite3-dev autoconf automake libtool gettext pkg-config >&2

prefix="$(toolchain_dir)"
if [ -f "$prefix/.complete" ]; then
  echo "$prefix"
  exit 0
fi
work="$prefix.work"
mkdir -p "$work" "$prefix/bin" "$prefix/lib" "$prefix/include"
jobs="$(nproc)"
toolchain_file="$SENTARO_ROOT/cmake/mingw-w64.cmake"

# Debian's source packages are enabled only while fetching: the machine's sources stay as they were.
fetch_sources() {
  local list=/etc/apt/sources.list.d/sentaro-windows-src.sources package version wanted=()
  for package in qt6-base:qt6-base-dev sqlite3:libsqlite3-dev mdbtools:mdbtools-dev; do
    version="$(debian_version "${package#*:}" 2>/dev/null || true)"
    [ -d "$work/src/${package%%:*}" ] && continue
    wanted+=("${package%%:*}${version:+=$version}")
  done
  [ ${#wanted[@]} -eq 0 ] && return 0
  as_root tee "$list" >/dev/null <<'SOURCES'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SOURCES
  trap drop_source_list EXIT
  # Another apt at work must not stop a build that has the sources it needs already.
  as_root apt-get update -qq || echo "apt-get update non riuscito / failed" >&2
  mkdir -p "$work/download"
  local spec
  for spec in "${wanted[@]}"; do
    (cd "$work/download" && apt-get source -qq --download-only "$spec") \
      || echo "Sorgente non scaricabile / source not available: $spec" >&2
  done
  local dsc
  for dsc in "$work"/download/*.dsc; do
    package="$(basename "$dsc")"; package="${package%%_*}"
    [ -d "$work/src/$package" ] && continue
    [ "$(ls "$work/download/${package}"_* | wc -l)" -gt 1 ] || continue
    dpkg-source --no-check -x "$dsc" "$work/src/$package" >/dev/null
  done
  drop_source_list
  trap - EXIT
}

drop_source_list() {
  as_root rm -f /etc/apt/sources.list.d/sentaro-windows-src.sources
  as_root apt-get update -qq || true
}

# One sqlite3.dll for Qt's driver and for the program, which adds its own collation and functions
# to the connections the driver opens: two copies of the library would not see each other's.
build_sqlite() {
  [ -f "$prefix/bin/sqlite3.dll" ] && return 0
  local src="$work/src/sqlite3" flags
  (cd "$src" && { [ -f Makefile ] || ./configure -q; } && make -s sqlite3.c) >&2
  # The options Debian builds its own library with, so both builds behave alike.
  flags="$(sed -n '/^export CFLAGS += /,/[^\\]$/p' "$src/debian/rules" | grep -o -- '-D[A-Z_0-9]*\(=[0-9]*\)\?' | tr '\n' ' ')"
  # shellcheck disable=SC2086
  $MINGW-gcc-posix -O2 -fno-strict-aliasing $flags -shared "$src/sqlite3.c" -o "$prefix/bin/sqlite3.dll" \
    -Wl,--out-implib,"$prefix/lib/libsqlite3.dll.a"
  cp "$src/sqlite3.h" "$src/sqlite3ext.h" "$prefix/include/"
}

# Debian's Qt source leaves out the tablet headers; Wine's stand in, with the two macros they
# expect from Wine's own windows.h and the calling-convention name the original header gives Qt.
add_wintab_headers() {
  local dir="$work/src/qt6-base/src/3rdparty/wintab"
  mkdir -p "$dir"
  cp /usr/include/wine/wine/windows/wintab.h "$dir/wintab_wine.h"
  cp /usr/include/wine/wine/windows/pktdef.h "$dir/pktdef.h"
  cat > "$dir/wintab.h" <<'SHIM'
#ifndef SENTARO_WINTAB_SHIM_H
#define SENTARO_WINTAB_SHIM_H
#include <windows.h>
#ifndef WINELIB_NAME_AW
# ifdef UNICODE
#  define WINELIB_NAME_AW(func) func##W
# else
#  define WINELIB_NAME_AW(func) func##A
# endif
#endif
#ifndef DECL_WINELIB_TYPE_AW
# define DECL_WINELIB_TYPE_AW(type) typedef WINELIB_NAME_AW(type) type;
#endif
#include "wintab_wine.h"
#ifndef API
# define API WINAPI
#endif
#endif
SHIM
}

build_qt() {
  [ -f "$prefix/lib/cmake/Qt6/Qt6Config.cmake" ] && return 0
  add_wintab_headers
  # Only what the program uses; third-party libraries bundled, SQLite the shared one built above.
  cmake -S "$work/src/qt6-base" -B "$work/qt-build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain_file" -DSENTARO_WINDOWS_PREFIX="$prefix" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_SHARED_LIBS=ON \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DQT_QMAKE_TARGET_MKSPEC=win32-g++ -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF \
    -DFEATURE_pkg_config=OFF -DINPUT_opengl=no -DFEATURE_opengl=OFF -DFEATURE_dbus=OFF \
    -DFEATURE_icu=OFF -DFEATURE_zstd=OFF -DFEATURE_vulkan=OFF -DFEATURE_network=OFF -DFEATURE_xml=OFF \
    -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF -DFEATURE_system_freetype=OFF \
    -DFEATURE_system_harfbuzz=OFF -DFEATURE_system_libpng=OFF -DFEATURE_system_jpeg=OFF \
    -DFEATURE_system_doubleconversion=OFF -DFEATURE_system_md4c=OFF \
    -DFEATURE_sql_sqlite=ON -DFEATURE_system_sqlite=ON -DFEATURE_sql_odbc=OFF -DFEATURE_sql_psql=OFF \
    -DFEATURE_sql_mysql=OFF -DFEATURE_sql_oci=OFF -DFEATURE_sql_db2=OFF -DFEATURE_sql_ibase=OFF \
    -DCMAKE_PREFIX_PATH="$prefix" >&2
  cmake --build "$work/qt-build" --parallel "$jobs" >&2
  cmake --install "$work/qt-build" >&2
}

# libmdb without GLib (mdbtools brings a small stand-in for the part it uses), as a DLL: it is LGPL.
# Without Debian's mdbtools source the program is built without its Access reader, and says so.
build_libmdb() {
  [ -f "$prefix/lib/libmdb.dll.a" ] && return 0
  local src="$work/src/mdbtools"
  if [ ! -d "$src" ]; then
    echo "Manca il sorgente di mdbtools: niente lettore Access / no mdbtools source: no Access reader" >&2
    return 1
  fi
  (cd "$src" && { [ -x configure ] || autoreconf -fi; }) >&2
  mkdir -p "$work/mdb-build"
  (cd "$work/mdb-build" &&
    "$src/configure" -q --host=$MINGW CC=$MINGW-gcc-posix CXX=$MINGW-g++-posix --prefix="$prefix" \
      --disable-glib --disable-iconv --disable-man --with-bash-completion-dir=no --enable-shared --disable-static &&
    make -s -C src/libmdb -j"$jobs" && make -s -C src/libmdb install && make -s -C include install) >&2
}

fetch_sources
# Without Qt's or SQLite's source there is nothing to build: said apart (exit 3), since it is the
# archive of sources that failed, not the build.
for needed in qt6-base:lib/cmake/Qt6/Qt6Config.cmake sqlite3:bin/sqlite3.dll; do
  if [ ! -f "$prefix/${needed#*:}" ] && [ ! -d "$work/src/${needed%%:*}" ]; then
    needed="${needed%%:*}"
    echo "Sorgente Debian di $needed non scaricabile: Qt per Windows non si può costruire / the Debian source of $needed could not be fetched" >&2
    exit 3
  fi
done
build_sqlite
build_qt
# A toolchain without libmdb is used as it is, but not marked complete: the next run tries again.
if build_libmdb; then
  touch "$prefix/.complete"
fi
echo "$prefix"
