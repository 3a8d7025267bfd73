#!/usr/bin/env bash
# Builds Sentaro in release and writes its Debian package to build/package/sentaro_<version>_amd64.deb,
# after checking the desktop entry, the AppStream data and the package itself (lintian: no errors).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build/package-build"
out="$root/build/package"

bash "$root/scripts/install-deps.sh" dpkg-dev lintian desktop-file-utils appstream librsvg2-bin

# Debian's hardening flags, as a package built by Debian's own tools would have them; they map the
# current folder out of the binaries, so it is the project's, wherever the script is called from.
cd "$root"
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cxxflags="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
ldflags=$(dpkg-buildflags --get LDFLAGS)
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DSENTARO_TESTS=OFF -DSENTARO_BENCH=OFF \
  -DSENTARO_PACKAGE=ON -DCMAKE_UNITY_BUILD=ON -DCMAKE_INSTALL_PREFIX=/usr "-DCMAKE_CXX_FLAGS=$cxxflags" \
  "-DCMAKE_EXE_LINKER_FLAGS=$ldflags" "${launcher[@]}" >/dev/null
cmake --build "$build"

desktop-file-validate "$root/packaging/sentaro.desktop"
appstreamcli validate --no-net "$root/packaging/sentaro.metainfo.xml"

rm -rf "$out"
(cd "$build" && cpack -B "$out" >/dev/null)
rm -rf "$out/_CPack_Packages"
deb=$(ls "$out"/sentaro_*_amd64.deb)
# Lintian says nothing above its informational notes (the compilers' .comment section kept by the
# strip, an Italian word it takes for an English misspelling): a new warning stops here, to be fixed
# or overridden with its reason.
lintian --fail-on error,warning "$deb"
echo "$deb ($(du -h "$deb" | cut -f1))"
