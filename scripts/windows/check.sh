#!/usr/bin/env bash
# Installs build/windows/Sentaro-<version>-setup.exe silently into a fresh Wine prefix and checks the
# installed program: its files, a first start in an empty folder, a start from the Start-menu launcher
# in Documenti\Sentaro, the Access reader on a Jet file, and the uninstaller; then the test programs, and on
# Linux the register PDF and the spreadsheet export they made. The program runs offscreen: Wine has no
# display here.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

need_packages "${WINDOWS_PACKAGES[@]}"
setup="$SENTARO_ROOT/build/windows/Sentaro-$(project_version)-setup.exe"
if [ ! -f "$setup" ]; then
  echo "Manca / missing: $setup (bash scripts/windows/build.sh)" >&2
  exit 1
fi

scratch="$(mktemp -d)"
export WINEPREFIX="$scratch/prefix" WINEARCH=win64 WINEDEBUG=-all HOME="$scratch/home"
# No Mono or Gecko prompts, no desktop menus written to the real user's.
export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe=d"
# Wine hands a program only the WINE-prefixed form of Qt's variables.
export WINEQT_QPA_PLATFORM=offscreen WINEQT_QPA_FONTDIR='Z:\usr\share\fonts\truetype\liberation2'
mkdir -p "$HOME"
# The server of the server-archive checks, where the Windows test programs look for it.
tests="$SENTARO_ROOT/build/windows/cmake"
server="$tests/pgserver"
finish() {
  wineserver -k 2>/dev/null || true
  bash "$SENTARO_ROOT/scripts/pgserver.sh" stop "$server" >/dev/null 2>&1 || true
  rm -rf "$scratch"
}
trap finish EXIT

failures=0
check() { # description, command...
  local what="$1"
  shift
  if "$@"; then
    echo "ok   $what"
  else
    echo "FAIL $what"
    failures=$((failures + 1))
  fi
}

timeout 300 wineboot --init
# A crash must end the program, not wait in Wine's debugger.
wine reg delete 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /f >/dev/null 2>&1 || true
wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null
wineserver -w

timeout 300 wine "$setup" /S
wineserver -w
installed="$WINEPREFIX/drive_c/Program Files/Sentaro"
menu="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Sentaro"
for file in sentaro.exe sentaro-avvio.exe sentaro-jetreader.exe libmdb-3.dll disinstalla.exe qt.conf LICENZE.txt \
    intestazione.jpg sqlite3.dll moduli/sentaro-grafico.dll Qt6Charts.dll libpq.dll libssl-3-x64.dll libcrypto-3-x64.dll \
    platforms/qwindows.dll platforms/qoffscreen.dll sqldrivers/qsqlite.dll sqldrivers/qsqlpsql.dll \
    imageformats/qjpeg.dll \
    translations/qtbase_it.qm; do
  check "installed $file" test -f "$installed/$file"
done
check "Start-menu entry" test -f "$menu/Sentaro.lnk"

all_there() { # files...
  local file
  for file in "$@"; do
    [ -f "$file" ] || return 1
  done
}

# Starts a program of the installation in `folder`, waits until the command given holds (the files it
# makes are there), then checks the program is still running (it waits for the user) before ending it.
start_until() { # folder program command...
  local folder="$1" program="$2" waited
  shift 2
  (cd "$folder" && exec wine "C:\\Program Files\\Sentaro\\$program") >"$scratch/$program.log" 2>&1 &
  for waited in $(seq 120); do
    sleep 1
    "$@" || continue
    sleep 3
    local running=0 pid
    for pid in $(pgrep -f 'sentaro\.exe'); do
      grep -qzx "WINEPREFIX=$WINEPREFIX" "/proc/$pid/environ" 2>/dev/null && running=1
    done
    wineserver -k 2>/dev/null || true
    wineserver -w
    [ "$running" -eq 1 ]
    return
  done
  wineserver -k 2>/dev/null || true
  return 1
}

first="$scratch/first"
mkdir -p "$first"
check "first start creates the archives and keeps running" \
  start_until "$first" sentaro.exe all_there "$first/attivita.mdb" "$first/comuni.mdb" "$first/specializzazioni.dat"
check "the register made on Windows reads on Linux" \
  test "$(sqlite3 "$first/attivita.mdb" 'select count(*) from VOLO' 2>&1)" = 0
check "the municipalities are filled in" \
  test "$(sqlite3 "$first/comuni.mdb" 'select count(*) > 7000 from COMUNI' 2>&1)" = 1

# The launcher makes Documenti\Sentaro with the header picture and starts the program there.
documents="$(wine cmd /c 'echo %USERPROFILE%\Documents' 2>/dev/null | tr -d '\r')"
documents="$(winepath -u "$documents" 2>/dev/null)"
check "the launcher starts the program in Documents\\Sentaro" \
  start_until "$scratch" sentaro-avvio.exe all_there "$documents/Sentaro/intestazione.jpg" "$documents/Sentaro/attivita.mdb"

# The installed program on a server archive: its tables made on an empty database at the first start,
# over a line whose certificate is checked against sentaro-ca.crt beside sentaro.ini, the password taken
# from libpq's password file in the user's Application Data.
bash "$SENTARO_ROOT/scripts/pgserver.sh" start "$server" >/dev/null
port="$(cat "$server/port")"
admin() { # database statement
  psql -X -q -At -v ON_ERROR_STOP=1 -h 127.0.0.1 -p "$port" -U sentaro_admin -d "$1" -c "$2"
}
admin postgres "CREATE DATABASE primo OWNER segreteria TEMPLATE template0 ENCODING 'UTF8' LC_COLLATE 'C.UTF-8' \
LC_CTYPE 'C.UTF-8'"
appdata="$(winepath -u "$(wine cmd /c 'echo %APPDATA%' 2>/dev/null | tr -d '\r')" 2>/dev/null)"
mkdir -p "$appdata/postgresql"
printf '127.0.0.1:%s:*:segreteria:segreteria-prova\r\n' "$port" > "$appdata/postgresql/pgpass.conf"
onserver="$scratch/onserver"
mkdir -p "$onserver"
printf '[archivio]\r\nserver=127.0.0.1\r\nporta=%s\r\ndatabase=primo\r\nutente=segreteria\r\nssl=verificato\r\n' \
  "$port" > "$onserver/sentaro.ini"
cp "$server/server.crt" "$onserver/sentaro-ca.crt"
server_has_register() {
  [ "$(admin primo "select count(*) from information_schema.tables where table_name in ('attivita', 'attivdett', 'volo')" \
    2>/dev/null)" = 3 ]
}
check "first start on an empty server makes the register there" \
  start_until "$onserver" sentaro.exe server_has_register
check "no local register beside sentaro.ini" test ! -e "$onserver/attivita.mdb"

# The installed reader on an Access file, as the program runs it: every row, accented letters whole.
jet="$SENTARO_ROOT/../shared/data/jet/made/attivita.mdb"
read_jet() {
  local rows
  rows="$(timeout 120 wine "C:\\Program Files\\Sentaro\\sentaro-jetreader.exe" dump "$(winepath -w "$jet")" VOLO 2>/dev/null)"
  grep -q 'CANTÙ' <<<"$rows" && [ "$(tail -n1 <<<"$rows")" = "$(printf 'OK\t40\t40')" ]
}
check "the installed Access reader reads $(basename "$jet")" read_jet

timeout 300 wine "C:\\Program Files\\Sentaro\\disinstalla.exe" /S
wineserver -w
sleep 2
check "the uninstaller removes the program" test ! -e "$installed"
check "the uninstaller removes the Start-menu entry" test ! -e "$menu"
check "the uninstaller leaves the user's data" test -f "$documents/Sentaro/attivita.mdb"

# The test programs, when build.sh made them (SENTARO_WINDOWS_TESTS=ON), under Wine through ctest; the
# *_server ones on the server above.
if grep -qs 'add_test' "$tests/tests/CTestTestfile.cmake"; then
  path=""
  while read -r dir; do path="$path${path:+;}$(winepath -w "$dir")"; done < <(dll_dirs "$(toolchain_dir)")
  rm -f "$tests"/tests/*.log
  # Wine's server and services up before ctest starts two programs at once: two first programs racing to
  # start them have been seen to wait minutes.
  wineserver -k 2>/dev/null || true
  wineserver -w
  wineserver -p
  wine cmd /c exit >/dev/null 2>&1 || true
  before=$failures
  # The register printed and the spreadsheet exported there come out for the checks below.
  output="$scratch/output"
  mkdir -p "$output"
  check "the tests under Wine" env WINEPATH="$path" SENTARO_TEST_OUTPUT="$(winepath -w "$output")" \
    ctest --test-dir "$tests" -j2
  [ "$failures" -eq "$before" ] || grep -h -A1 '^FAIL!' "$tests"/tests/*.log || true
  # One from the file and one from the server: each must read.
  register_reads() {
    local text pdf
    for pdf in "$output"/registro-attivita-*.pdf; do
      text="$(pdftotext -layout "$pdf" -)" &&
        grep -qF "ELENCO DELLE ATTIVITA' CON DETTAGLIO PER VOLONTARIO" <<<"$text" && grep -qF 'BIANCHI ANNA' <<<"$text" ||
        return 1
    done
  }
  check "the register printed on Windows reads with pdftotext" register_reads
  # Debian's own python3, which has Debian's xlrd: texts as texts, numbers as numbers, accents kept.
  export_reads() {
    local xls
    for xls in "$output"/dbattivitaesp*.xls; do
      /usr/bin/python3 "$SENTARO_ROOT/tests/formats/xlsread.py" "$xls" 1 | /usr/bin/python3 -c '
import json, sys
sheet = json.load(sys.stdin)["sheets"][0]
row = sheet["rows"]["1"]
sys.exit(not (sheet["name"] == "Foglio1" and ["text", "CANTÙ"] in row and ["text", "ROSSI MARIO"] in row
              and ["number", 7.5] in row))' || return 1
    done
  }
  check "the spreadsheet exported on Windows reads with xlrd" export_reads

  # A Windows PC and Linux PCs on one activity of the server at the same moment, pressing on it through
  # the store and through the windows, renaming it, emptying the activities: the Linux test of those
  # moments, run by ctest on its own server, with the Windows build of its writer under Wine as the second PC.
  # The Linux build is the test command's, brought up to date here.
  linux="$SENTARO_ROOT/build/test"
  [ -f "$linux/build.ninja" ] || cmake -S "$SENTARO_ROOT" -B "$linux" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
    -DSENTARO_SANITIZE=ON -DSENTARO_TESTS=ON -DSENTARO_BENCH=OFF >/dev/null
  cmake --build "$linux" --target tst_kills sentaro-writer >/dev/null
  check "a Windows PC and Linux PCs on one activity at once" env WINEPATH="$path" \
    SENTARO_TEST_WINDOWS_WRITER="$tests/app/sentaro-writer.exe" \
    ctest --test-dir "$linux" --output-on-failure -R '^tst_kills_(shared|windows)_server$'
fi

if [ "$failures" -gt 0 ]; then
  echo "$failures controlli falliti / checks failed"
  exit 1
fi
echo "Tutti i controlli superati / all checks passed"
