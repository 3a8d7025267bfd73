#!/usr/bin/env bash
# Cross-builds Sentaro for 64-bit Windows and writes build/windows/Sentaro-<version>-setup.exe.
# The first run builds Qt for Windows into the cache folder (about 30 minutes); later runs reuse it.
# SENTARO_WINDOWS_TESTS=ON also builds the test programs, for check.sh to run under Wine.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

need_packages "${WINDOWS_PACKAGES[@]}"
prefix="$(bash "$SENTARO_ROOT/scripts/windows/toolchain.sh")"
out="$SENTARO_ROOT/build/windows"
version="$(project_version)"

cmake -S "$SENTARO_ROOT" -B "$out/cmake" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$SENTARO_ROOT/cmake/mingw-w64.cmake" -DSENTARO_WINDOWS_PREFIX="$prefix" \
  -DCMAKE_PREFIX_PATH="$prefix" -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
  -DSENTARO_SANITIZE=OFF -DSENTARO_BENCH=OFF -DSENTARO_TESTS="${SENTARO_WINDOWS_TESTS:-OFF}" -DCMAKE_UNITY_BUILD=ON \
  -DCMAKE_CROSSCOMPILING_EMULATOR=wine >/dev/null
cmake --build "$out/cmake"

stage="$out/stage"
rm -rf "$stage"
mkdir -p "$stage"
cp "$out/cmake/app/sentaro.exe" "$stage/"
[ -f "$out/cmake/app/sentaro-jetreader.exe" ] && cp "$out/cmake/app/sentaro-jetreader.exe" "$stage/"
# The chart's library, loaded by the program when the health surveillance window first needs it.
mkdir -p "$stage/moduli"
cp "$out/cmake/app/moduli/sentaro-grafico.dll" "$stage/moduli/"

# Plugins go where Qt looks beside the program; qt.conf points it at the translations.
copy_plugin() {
  mkdir -p "$stage/$1"
  cp "$prefix/plugins/$1/$2" "$stage/$1/"
}
copy_plugin platforms qwindows.dll
copy_plugin platforms qoffscreen.dll
copy_plugin sqldrivers qsqlite.dll
copy_plugin sqldrivers qsqlpsql.dll
copy_plugin imageformats qjpeg.dll
for folder in styles printsupport; do
  for plugin in "$prefix/plugins/$folder"/*.dll; do
    [ -e "$plugin" ] && copy_plugin "$folder" "$(basename "$plugin")"
  done
done
mkdir -p "$stage/translations"
cp /usr/share/qt6/translations/qtbase_it.qm "$stage/translations/"
printf '[Paths]\r\nPrefix = .\r\nPlugins = .\r\nTranslations = translations\r\n' > "$stage/qt.conf"

# Every DLL the programs and plugins load that is not part of Windows, found by what they import.
mapfile -t search < <(dll_dirs "$prefix")
pending=("$stage"/*.exe "$stage"/*/*.dll)
while [ ${#pending[@]} -gt 0 ]; do
  file="${pending[0]}"
  pending=("${pending[@]:1}")
  for dll in $($MINGW-objdump -p "$file" | sed -n 's/^\s*DLL Name: //p'); do
    # Windows ignores the case of the names: Qt's driver imports LIBPQ.dll, which is libpq.dll.
    [ -n "$(find "$stage" -maxdepth 1 -iname "$dll")" ] && continue
    for dir in "${search[@]}"; do
      found="$(find "$dir" -maxdepth 1 -type f -iname "$dll" | head -n 1)"
      if [ -n "$found" ]; then
        cp "$found" "$stage/"
        pending+=("$stage/$(basename "$found")")
        break
      fi
    done
  done
done
find "$stage" -name '*.exe' -o -name '*.dll' | xargs $MINGW-strip --strip-unneeded

cp "$SENTARO_ROOT/data/intestazione.jpg" "$stage/"
# The notes, then the full texts of the licences they name; \r\n for Windows' Notepad of old.
{
  cat "$SENTARO_ROOT/packaging/windows/LICENZE.txt"
  for text in /usr/share/common-licenses/LGPL-3 /usr/share/common-licenses/GPL-3 /usr/share/common-licenses/LGPL-2.1 \
      /usr/share/common-licenses/LGPL-2 /usr/share/doc/gcc-mingw-w64-x86-64-posix-runtime/copyright \
      /usr/share/doc/mingw-w64-x86-64-dev/copyright "$prefix/share/doc/postgresql/COPYRIGHT" \
      "$prefix/share/doc/openssl/LICENSE.txt"; do
    printf '\n\n==== %s ====\n\n' "$(basename "$(dirname "$text")")/$(basename "$text")"
    cat "$text"
  done
} | sed 's/$/\r/; 1s/^/\xef\xbb\xbf/' > "$stage/LICENZE.txt"

# The launcher, then the list of installed files the uninstaller removes (and nothing else).
makensis -V2 -INPUTCHARSET UTF8 -DOUTFILE="$stage/sentaro-avvio.exe" "$SENTARO_ROOT/packaging/windows/launcher.nsi"
{
  (cd "$stage" && find . -type f | sort) | sed 's|^\./||; s|/|\\|g; s|.*|  Delete "$INSTDIR\\&"|'
  (cd "$stage" && find . -mindepth 1 -type d | sort -r) | sed 's|^\./||; s|/|\\|g; s|.*|  RMDir "$INSTDIR\\&"|'
} > "$out/uninstall-files.nsh"
setup="$out/Sentaro-$version-setup.exe"
makensis -V2 -INPUTCHARSET UTF8 -DVERSION="$version" -DSTAGE="$stage" -DUNINSTALL_LIST="$out/uninstall-files.nsh" \
  -DOUTFILE="$setup" "$SENTARO_ROOT/packaging/windows/sentaro.nsi"
echo "$setup"
