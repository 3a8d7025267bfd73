#!/usr/bin/env bash
# A throwaway PostgreSQL server for the tests' "server archive" mode.
#   pgserver.sh start DIR   fresh cluster in DIR/data on a free port of 127.0.0.1, TLS on; the port goes
#                           to DIR/port once the server accepts connections, the certificate is DIR/server.crt,
#                           and DIR/altro.crt one of no server, a root the test server does not answer to
#   pgserver.sh stop DIR    stops it and removes DIR; does nothing when nothing runs
# Roles: sentaro_admin (superuser, trusted from 127.0.0.1), segreteria and consultazione (passwords
# segreteria-prova and consultazione-prova), and inchiaro (inchiaro-prova), whose password the server
# asks for in clear.
set -euo pipefail

usage() {
  echo "uso / usage: $0 start|stop DIR" >&2
  exit 2
}
[ $# -eq 2 ] || usage
action=$1
dir=$(realpath -m "$2")

bin=$(find /usr/lib/postgresql -mindepth 2 -maxdepth 2 -name bin -type d 2>/dev/null | sort -V | tail -n 1)
if [ -z "$bin" ] || [ ! -x "$bin/initdb" ]; then
  echo "PostgreSQL non installato / not installed: run scripts/install-deps.sh" >&2
  exit 1
fi

# The server refuses to run as root: then it runs as the system user the Debian package creates.
server_user=$(id -un)
if [ "$(id -u)" -eq 0 ]; then
  server_user=postgres
fi
as_server() {
  if [ "$server_user" = "$(id -un)" ]; then
    "$@"
  else
    runuser -u "$server_user" -- "$@"
  fi
}

# Where the server's own files live: DIR when the server user can reach it, otherwise (a checkout
# inside a private home) a folder of its own under the temporary folder, linked from DIR/data.
server_home() {
  local data="$dir/data"
  if [ -L "$data" ]; then
    dirname "$(readlink "$data")"
  else
    echo "$dir"
  fi
}

stop_server() {
  local home data
  home=$(server_home)
  data="$home/data"
  if [ -f "$data/postmaster.pid" ]; then
    as_server "$bin/pg_ctl" -D "$data" -m immediate -w -t 30 stop >/dev/null 2>&1 ||
      as_server "$bin/pg_ctl" -D "$data" -m fast -w -t 30 stop >/dev/null 2>&1 || true
    local pid
    pid=$(head -n 1 "$data/postmaster.pid" 2>/dev/null || true)
    if [[ "$pid" =~ ^[0-9]+$ ]] && kill -0 "$pid" 2>/dev/null; then
      kill -KILL "$pid" 2>/dev/null || true
    fi
  fi
  if [ "$home" != "$dir" ]; then
    rm -rf "$home"
  fi
  rm -rf "$dir"
}

fail() {
  echo "pgserver: $*" >&2
  local log
  log="$(server_home)/server.log"
  if [ -f "$log" ]; then
    tail -n 30 "$log" >&2 || true
  fi
  stop_server
  exit 1
}

if [ "$action" = stop ]; then
  stop_server
  exit 0
fi
[ "$action" = start ] || usage

stop_server
mkdir -p "$dir"
home=$dir
if [ "$server_user" != "$(id -un)" ]; then
  chown "$server_user:" "$dir"
  if ! as_server test -w "$dir" 2>/dev/null; then
    home=$(mktemp -d "${TMPDIR:-/tmp}/sentaro-pgserver.XXXXXX")
    chown "$server_user:" "$home"
    ln -s "$home/data" "$dir/data"
  fi
fi
# The server's tools want a current folder they can read.
cd "$home"
data="$home/data"

as_server "$bin/initdb" -D "$data" -U sentaro_admin -E UTF8 --locale=C.UTF-8 \
  --auth-local=trust --auth-host=scram-sha-256 --no-sync >"$home/initdb.log" 2>&1 ||
  { cat "$home/initdb.log" >&2; fail "initdb non riuscito / failed"; }

# Self-signed, so the certificate is its own root for clients that verify it.
openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 3650 \
  -subj /CN=127.0.0.1 -addext subjectAltName=IP:127.0.0.1 \
  -keyout "$home/server.key" -out "$home/server.crt" >/dev/null 2>&1 || fail "openssl non riuscito / failed"
chown "$server_user:" "$home/server.key" "$home/server.crt"
chmod 0600 "$home/server.key"
chmod 0644 "$home/server.crt"
if [ "$home" != "$dir" ]; then
  cp "$home/server.crt" "$dir/server.crt"
fi
# Made here rather than by the tests, which run on Windows too and start no openssl there.
openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 3650 -subj /CN=127.0.0.1 \
  -keyout /dev/null -out "$dir/altro.crt" >/dev/null 2>&1 || fail "openssl non riuscito / failed"

port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1]); s.close()')

cat >>"$data/postgresql.conf" <<EOF

# Throwaway test server: reachable from this machine only, fast rather than durable.
listen_addresses = '127.0.0.1'
port = $port
unix_socket_directories = ''
max_connections = 60
fsync = off
synchronous_commit = off
full_page_writes = off
password_encryption = 'scram-sha-256'
ssl = on
ssl_cert_file = '$home/server.crt'
ssl_key_file = '$home/server.key'
EOF

cat >"$data/pg_hba.conf" <<EOF
host all sentaro_admin 127.0.0.1/32 trust
host all inchiaro 127.0.0.1/32 password
host all all 127.0.0.1/32 scram-sha-256
EOF

as_server "$bin/pg_ctl" -D "$data" -l "$home/server.log" -w -t 60 start >/dev/null ||
  fail "il server non parte / the server did not start"
if [ "$home" != "$dir" ]; then
  ln -sf "$home/server.log" "$dir/server.log"
fi

admin() {
  "$bin/psql" -X -q -v ON_ERROR_STOP=1 -h 127.0.0.1 -p "$port" -U sentaro_admin -d postgres -At "$@"
}
admin -c "create role segreteria login password 'segreteria-prova'" \
  -c "create role consultazione login password 'consultazione-prova'" \
  -c "create role inchiaro login password 'inchiaro-prova'" ||
  fail "ruoli non creati / roles not created"
icu=$(admin -c "select count(*) from pg_collation where collprovider = 'i'") || fail "nessuna risposta / no answer"
if [ "${icu:-0}" -le 0 ]; then
  fail "ICU non disponibile nel server / ICU not available in the server"
fi

echo "$port" >"$dir/port.tmp"
mv "$dir/port.tmp" "$dir/port"
echo "PostgreSQL su / on 127.0.0.1:$port ($dir)"
