#!/usr/bin/env bash
# The Debian package: built, installed, started as the menu starts it in a fresh home (where it must
# create its working folder and files, and convert an Access register with the installed reader),
# then removed. Needs root or sudo without a password; skips otherwise.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
source "$root/scripts/packages.sh"

if [ "$(id -u)" -ne 0 ] && ! sudo -n true 2>/dev/null; then
  echo "SKIP: installing the package needs root or sudo without a password"
  exit 77
fi
if dpkg-query -W -f='${Status}' sentaro 2>/dev/null | grep -q 'install ok installed'; then
  echo "SKIP: sentaro is already installed on this machine; the test would replace and remove it"
  exit 77
fi

bash "$root/scripts/package.sh"
version=$(sed -nE 's/^project\(Sentaro VERSION ([0-9.]+).*/\1/p' "$root/CMakeLists.txt")
deb="$root/build/package/sentaro_${version}_amd64.deb"

work=$(mktemp -d)
pid=
cleanup() {
  [ -z "$pid" ] || kill -KILL "$pid" 2>/dev/null || true
  apt_get remove -y -qq sentaro >/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
apt_get install -y -qq "$deb" >/dev/null

fail() {
  echo "FAIL: $*" >&2
  [ ! -f "$work/output" ] || cat "$work/output" >&2
  exit 1
}
dpkg-query -W -f='${Depends}' sentaro | grep -q 'libqt6sql6-sqlite' || fail "Depends lacks the SQLite driver"
dpkg-query -W -f='${Depends}' sentaro | grep -q 'libqt6charts6' || fail "Depends lacks Qt Charts, which the chart's library links"
[ "$(command -v sentaro)" = /usr/bin/sentaro ] || fail "/usr/bin/sentaro is not on the PATH"

# The Access register of the earlier program, converted at the start, proves the reader is found.
jet="${SENTARO_SHARED_DATA:-$root/../shared/data}/jet/made/attivita.mdb"
home="$work/home"
mkdir -p "$home/Sentaro"
if [ -f "$jet" ]; then
  cp "$jet" "$home/Sentaro/attivita.mdb"
  chmod u+w "$home/Sentaro/attivita.mdb"
elif [ "${CI:-}" = true ]; then
  fail "missing $jet"
else
  echo "the shared Access files are missing: the reader is only started, nothing is converted"
  /usr/lib/sentaro/sentaro-jetreader 2>&1 | grep -q '^E.usage: sentaro-jetreader' || fail "the installed reader does not answer"
  rmdir "$home/Sentaro"
fi

HOME="$home" QT_QPA_PLATFORM=offscreen /usr/bin/sentaro >"$work/output" 2>&1 &
pid=$!
folder="$home/Sentaro"
ready() {
  for file in comuni.mdb specializzazioni.dat intestazione.jpg; do
    [ -s "$folder/$file" ] || return 1
  done
  [ "$(head -c 15 "$folder/attivita.mdb" 2>/dev/null)" = "SQLite format 3" ]
}
for _ in $(seq 600); do
  ready && break
  kill -0 "$pid" 2>/dev/null || fail "the installed program stopped before creating its files"
  sleep 0.1
done
ready || fail "the installed program did not create its files in $folder: $(ls "$folder" 2>&1 | tr '\n' ' ')"
cmp -s "$folder/intestazione.jpg" /usr/share/sentaro/intestazione.jpg || fail "the header picture is not the shipped one"
if [ -f "$jet" ]; then
  ls "$folder"/attivita-access-*.mdb >/dev/null 2>&1 || fail "the Access register was not kept after conversion"
fi
kill -TERM "$pid"
wait "$pid" 2>/dev/null || true
pid=
echo "installed, started in $folder, removed"
