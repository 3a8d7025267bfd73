# Debian packages for the project's scripts: apt-get that waits while another package manager holds
# apt's locks (a new machine's unattended upgrades hold them for minutes after boot), and the
# installation of what is missing. Sourced, not run.

# Seconds to wait for apt's locks before giving up.
APT_LOCK_WAIT="${SENTARO_APT_LOCK_WAIT:-600}"

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

# apt-get as root, tried again every few seconds while the locks are held by another process; any other
# failure is returned at once. apt's own DPkg::Lock::Timeout covers only dpkg's lock, not the package
# lists' lock that `apt-get update` takes, and waits without a word under -qq.
apt_get() { # apt-get arguments...
  local log status started waited=0
  log="$(mktemp)"
  started="$(date +%s)"
  while true; do
    status=0
    as_root env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=0 "$@" 2>"$log" || status=$?
    if [ "$status" -eq 0 ] || ! grep -qE 'Could not get lock|Unable to lock|Unable to acquire the dpkg frontend lock' "$log"; then
      cat "$log" >&2
      rm -f "$log"
      return "$status"
    fi
    if [ $(($(date +%s) - started)) -ge "$APT_LOCK_WAIT" ]; then
      cat "$log" >&2
      echo "Un altro programma tiene occupato apt da più di $APT_LOCK_WAIT secondi: installazione non riuscita." \
        "/ Another package manager has held apt's lock for over $APT_LOCK_WAIT seconds: giving up." >&2
      rm -f "$log"
      return "$status"
    fi
    if [ "$waited" -eq 0 ]; then
      echo "Attendo che un altro programma liberi apt / waiting for another package manager to release apt:" \
        "$(grep -m1 -oE '(Could not get lock|Unable to).*' "$log")" >&2
      waited=1
    fi
    sleep 5
  done
}

# Installs the Debian packages named that are missing; quick when all are there.
need_packages() { # package...
  local missing=() package
  for package in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
      missing+=("$package")
    fi
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installo i pacchetti mancanti / installing missing packages: ${missing[*]}" >&2
  apt_get update -qq
  apt_get install -y -qq --no-install-recommends "${missing[@]}"
}
