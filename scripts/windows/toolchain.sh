#!/usr/bin/env bash
# Builds, once, what the Windows build of Sentaro links against: Qt, Qt Charts, SQLite, libmdb, and for
# the server archive OpenSSL, libpq and Qt's PostgreSQL driver, for x86_64 Windows, from Debian's own
# sources, into a cache folder outside the project.
# Prints the folder. A folder already complete is reused as it is.
# --fetch only fetches the sources of the parts still to build, so that the build can go on without the
# network (and without apt's lock) beside other work.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

need_packages "${WINDOWS_PACKAGES[@]}" >&2

prefix="$(toolchain_dir)"
libmdb_done="$prefix/.libmdb-$(debian_version mdbtools-dev)"
charts_done="$prefix/.qtcharts-$(debian_version qt6-charts-dev)"
# Each of the three is built on the one before: a new OpenSSL means a new libpq and driver.
openssl_done="$prefix/.openssl-$(debian_version libssl-dev)"
libpq_done="$prefix/.libpq-$(debian_version libpq-dev)"
qsqlpsql_done="$prefix/.qsqlpsql-$(debian_version libpq-dev)"
pq_source="$(dpkg-query -W -f='${source:Package}' libpq-dev)"
if [ -f "$prefix/.complete" ] && [ -f "$charts_done" ] && [ -f "$libmdb_done" ] && [ -f "$openssl_done" ] &&
  [ -f "$libpq_done" ] && [ -f "$qsqlpsql_done" ]; then
  echo "$prefix"
  exit 0
fi
work="$prefix.work"
mkdir -p "$work/src" "$prefix/bin" "$prefix/lib" "$prefix/include"
jobs="$(nproc)"
toolchain_file="$SENTARO_ROOT/cmake/mingw-w64.cmake"

# Debian's source packages are enabled only while fetching: the machine's sources stay as they were.
fetch_sources() { # source-package:installed-package ...
  local list=/etc/apt/sources.list.d/sentaro-windows-src.sources package version wanted=()
  for package in "$@"; do
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
  apt_get update -qq
  mkdir -p "$work/download"
  local spec
  for spec in "${wanted[@]}"; do
    (cd "$work/download" && apt-get source -qq --download-only "$spec" 2>/dev/null) && continue
    # A security update may replace the machine's version in the archive before the machine has it:
    # then the archive's own version, said so.
    if [ "${spec%%=*}" != "$spec" ] && (cd "$work/download" && apt-get source -qq --download-only "${spec%%=*}"); then
      echo "Sorgente ${spec%%=*}: versione $spec non servita, presa la più recente / not served, took the newest" >&2
      continue
    fi
    echo "Sorgente non scaricabile per intero / source not entirely available: $spec" >&2
  done
  local dsc
  for dsc in "$work"/download/*.dsc; do
    package="$(basename "$dsc")"; package="${package%%_*}"
    [ -d "$work/src/$package" ] && continue
    fetch_missing_orig "$dsc"
    if [ -f "$(dsc_file "$dsc" '*.debian.tar.*')" ] && [ -f "$(dsc_file "$dsc" '*.orig.tar.*')" ]; then
      dpkg-source --no-check -x "$dsc" "$work/src/$package" >/dev/null
    elif [ -f "$(dsc_file "$dsc" '*.orig.tar.*')" ]; then
      # Debian's packaging and patches out of reach: the upstream source as it is, unpatched.
      echo "Sorgente $package senza le patch Debian / without Debian's patches" >&2
      mkdir -p "$work/src/$package"
      tar -xf "$(dsc_file "$dsc" '*.orig.tar.*')" -C "$work/src/$package" --strip-components=1
    fi
  done
  drop_source_list
  trap - EXIT
}

# The lines "sha256 size name" of a .dsc's Checksums-Sha256 field.
dsc_sums() { # dsc
  awk '/^Checksums-Sha256:/ { field = 1; next } /^[^ ]/ { field = 0 } field { print $1, $2, $3 }' "$1"
}

# The downloaded file of the .dsc whose name matches the pattern (whether present or not).
dsc_file() { # dsc pattern
  local sum size name
  while read -r sum size name; do
    # shellcheck disable=SC2254
    case "$name" in $2) echo "$(dirname "$1")/$name"; return ;; esac
  done < <(dsc_sums "$1")
}

# A mirror may list a source package yet not serve its upstream tarball. Ubuntu's archive carries the
# same file under the same name; it is taken only if its SHA-256 and size are those Debian's .dsc gives.
fetch_missing_orig() { # dsc
  local file name package sum size pool component
  file="$(dsc_file "$1" '*.orig.tar.*')"
  { [ -z "$file" ] || [ -f "$file" ]; } && return 0
  name="$(basename "$file")"
  package="${name%%_*}"
  read -r sum size < <(dsc_sums "$1" | awk -v name="$name" '$3 == name { print $1, $2 }')
  if [[ "$package" == lib* ]]; then pool="${package:0:4}"; else pool="${package:0:1}"; fi
  for component in main universe; do
    curl -fsSL --retry 2 -o "$file.part" \
      "http://archive.ubuntu.com/ubuntu/pool/$component/$pool/$package/$name" 2>/dev/null || continue
    if [ "$(stat -c %s "$file.part")" = "$size" ] && [ "$(sha256sum < "$file.part" | cut -d' ' -f1)" = "$sum" ]; then
      mv "$file.part" "$file"
      echo "$name preso da / taken from Ubuntu's archive, SHA-256 as in Debian's .dsc" >&2
      return 0
    fi
    echo "$name da Ubuntu non corrisponde al .dsc: scartato / does not match the .dsc: discarded" >&2
  done
  rm -f "$file.part"
}

drop_source_list() {
  as_root rm -f /etc/apt/sources.list.d/sentaro-windows-src.sources
  apt_get update -qq || true
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
  # Only what the program uses; third-party libraries bundled, SQLite the shared one built above. No
  # modules, formats or widgets it never shows. Direct2D stays, named: without it Qt leaves out the
  # DirectWrite font engine that printing links; so does XPM, without which drag and drop goes and
  # qapplication.cpp does not build. Both are named ON for a build folder an earlier configuration left
  # with them off. Direct2D 1.1 only adds a second Windows platform plugin, which is not shipped.
  # A change here raises QT_CONFIGURATION in common.sh.
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
    -DFEATURE_direct2d=ON -DFEATURE_direct2d1_1=OFF -DFEATURE_concurrent=OFF -DFEATURE_sessionmanager=OFF -DFEATURE_gif=OFF -DFEATURE_movie=OFF \
    -DFEATURE_imageformat_ppm=OFF -DFEATURE_imageformat_xbm=OFF -DFEATURE_imageformat_xpm=ON -DFEATURE_draganddrop=ON \
    -DFEATURE_textmarkdownreader=OFF -DFEATURE_textmarkdownwriter=OFF -DFEATURE_textodfwriter=OFF \
    -DFEATURE_syntaxhighlighter=OFF -DFEATURE_undocommand=OFF -DFEATURE_undostack=OFF -DFEATURE_undogroup=OFF \
    -DFEATURE_undoview=OFF -DFEATURE_mdiarea=OFF -DFEATURE_fontcombobox=OFF -DFEATURE_fontdialog=OFF \
    -DFEATURE_colordialog=OFF -DFEATURE_wizard=OFF -DFEATURE_keysequenceedit=OFF -DFEATURE_lcdnumber=OFF \
    -DFEATURE_dial=OFF -DFEATURE_columnview=OFF -DFEATURE_commandlinkbutton=OFF -DFEATURE_toolbox=OFF \
    -DCMAKE_PREFIX_PATH="$prefix" >&2
  cmake --build "$work/qt-build" --parallel "$jobs" >&2
  cmake --install "$work/qt-build" >&2
}

# Qt Charts' widgets on the Qt above, with that Qt's own CMake wrapper; its QML part needs Qt Quick, which
# is not built. The wrapper is told which toolchain file to load: the one it recorded may be gone.
build_qtcharts() {
  rm -rf "$work/qtcharts-build"
  "$prefix/bin/qt-cmake" -S "$work/src/qt6-charts" -B "$work/qtcharts-build" -G Ninja \
    -DQT_CHAINLOAD_TOOLCHAIN_FILE="$toolchain_file" -DSENTARO_WINDOWS_PREFIX="$prefix" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_SHARED_LIBS=ON \
    -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DCMAKE_DISABLE_FIND_PACKAGE_Qt6Quick=ON \
    -DCMAKE_DISABLE_FIND_PACKAGE_Qt6Qml=ON >&2
  cmake --build "$work/qtcharts-build" --parallel "$jobs" >&2
  cmake --install "$work/qtcharts-build" >&2
}

# libmdb without GLib (mdbtools brings a small stand-in for the part it uses), as a DLL: it is LGPL.
build_libmdb() {
  local src="$work/src/mdbtools"
  patch -s -d "$src" -p1 < "$SENTARO_ROOT/scripts/windows/mdbtools-utf8.patch" >&2
  # Built in its source folder: the library's headers are generated beside the others only there.
  # -no-undefined lets libtool make a DLL.
  (cd "$src" && autoreconf -fi &&
    ./configure -q --host=$MINGW CC=$MINGW-gcc-posix CXX=$MINGW-g++-posix --prefix="$prefix" \
      --disable-glib --disable-iconv --disable-man --with-bash-completion-dir=no --enable-shared --disable-static &&
    make -s -C include && make -s -C src/libmdb -j"$jobs" LDFLAGS=-no-undefined &&
    make -s -C src/libmdb install && make -s -C include install) >&2
}

# OpenSSL's two libraries as DLLs, for libpq's encrypted line; no programs, tests or manuals.
build_openssl() {
  local src="$work/src/openssl"
  (cd "$src" && ./Configure mingw64 shared no-tests --cross-compile-prefix=$MINGW- CC=gcc-posix \
    CXX=g++-posix --prefix="$prefix" --libdir=lib &&
    make -s -j"$jobs" build_libs && make -s install_dev) >&2
  mkdir -p "$prefix/share/doc/openssl"
  cp "$src/LICENSE.txt" "$prefix/share/doc/openssl/"
}

# libpq alone from PostgreSQL's source, against that OpenSSL: the headers it needs are generated by
# configure and src/include, the rest of the server is not built.
build_libpq() {
  local src="$work/src/$pq_source" build="$work/libpq-build"
  rm -rf "$build"
  mkdir -p "$build"
  (cd "$build" && "$src/configure" -q --host=$MINGW CC=$MINGW-gcc-posix --prefix="$prefix" \
    --without-readline --without-zlib --without-icu --with-ssl=openssl \
    CPPFLAGS="-I$prefix/include" LDFLAGS="-L$prefix/lib" &&
    make -s -C src/include && make -s -C src/interfaces/libpq -j"$jobs" &&
    make -s -C src/include install && make -s -C src/interfaces/libpq install) >&2
  mkdir -p "$prefix/share/doc/postgresql"
  cp "$src/COPYRIGHT" "$prefix/share/doc/postgresql/"
}

# Qt's PostgreSQL driver from the same Qt source, built on its own against that libpq.
build_qsqlpsql() {
  local library="$prefix/lib/libpq.dll.a" headers
  [ -f "$library" ] || library="$prefix/lib/libpq.a"
  headers="$(dirname "$(find "$prefix/include" -name libpq-fe.h | head -n 1)")"
  rm -rf "$work/qsqlpsql-build"
  "$prefix/bin/qt-cmake" -S "$work/src/qt6-base/src/plugins/sqldrivers" -B "$work/qsqlpsql-build" -G Ninja \
    -DQT_CHAINLOAD_TOOLCHAIN_FILE="$toolchain_file" -DSENTARO_WINDOWS_PREFIX="$prefix" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" -DFEATURE_sql_psql=ON \
    -DFEATURE_sql_sqlite=OFF -DFEATURE_sql_odbc=OFF -DFEATURE_sql_mysql=OFF -DFEATURE_sql_oci=OFF \
    -DFEATURE_sql_db2=OFF -DFEATURE_sql_ibase=OFF \
    -DPostgreSQL_INCLUDE_DIR="$headers" -DPostgreSQL_LIBRARY="$library" >&2
  cmake --build "$work/qsqlpsql-build" --parallel "$jobs" >&2
  cmake --install "$work/qsqlpsql-build" >&2
  [ -f "$prefix/plugins/sqldrivers/qsqlpsql.dll" ]
}

# A part built unless its mark says it was, from the source fetched before.
build_part() { # mark source-package build-function
  [ -f "$1" ] && return 0
  need_source "$2"
  # Built in its folder or patched there: a build that stops half-way leaves it to be fetched again.
  rm -f "$work/src/.fresh-$2"
  "$3"
  touch "$1"
}

# Without a source there is nothing to build: said apart (exit 3), since it is the archive of sources
# that failed, not the build.
need_source() { # source-package
  [ -d "$work/src/$1" ] && return 0
  echo "Sorgente Debian di $1 non scaricabile / the Debian source of $1 could not be fetched" >&2
  exit 3
}

# A part built on another gives way when that one is built again.
[ -f "$openssl_done" ] || rm -f "$libpq_done" "$qsqlpsql_done"
[ -f "$libpq_done" ] || rm -f "$qsqlpsql_done"
# The sources of every part still to build, fetched in one go. Qt's and SQLite's are kept until Qt is
# complete, and Qt's after that for its driver; the others are built in their folder, so each build
# starts from a fresh copy of the version installed.
wanted=()
[ -f "$prefix/.complete" ] || wanted+=(qt6-base:qt6-base-dev sqlite3:libsqlite3-dev)
[ -f "$qsqlpsql_done" ] || wanted+=(qt6-base:qt6-base-dev)
for part in "$charts_done qt6-charts:qt6-charts-dev" "$libmdb_done mdbtools:mdbtools-dev" \
    "$openssl_done openssl:libssl-dev" "$libpq_done $pq_source:libpq-dev"; do
  read -r mark source <<<"$part"
  [ -f "$mark" ] && continue
  [ -f "$work/src/.fresh-${source%%:*}" ] || rm -rf "${work:?}/src/${source%%:*}" "$work/download/${source%%:*}"_*
  wanted+=("$source")
done
if [ ${#wanted[@]} -gt 0 ]; then
  fetch_sources "${wanted[@]}"
  for source in "${wanted[@]}"; do
    [ -d "$work/src/${source%%:*}" ] && touch "$work/src/.fresh-${source%%:*}"
  done
fi
[ "${1:-}" = --fetch ] && exit 0

# Qt and SQLite, then each other part with its own mark of completion: a part added later or of another
# version is built without rebuilding the Qt beside it.
if [ ! -f "$prefix/.complete" ]; then
  [ -f "$prefix/bin/sqlite3.dll" ] || need_source sqlite3
  [ -f "$prefix/lib/cmake/Qt6/Qt6Config.cmake" ] || need_source qt6-base
  build_sqlite
  build_qt
  touch "$prefix/.complete"
fi
build_part "$charts_done" qt6-charts build_qtcharts
build_part "$libmdb_done" mdbtools build_libmdb
build_part "$openssl_done" openssl build_openssl
build_part "$libpq_done" "$pq_source" build_libpq
build_part "$qsqlpsql_done" qt6-base build_qsqlpsql
echo "$prefix"
