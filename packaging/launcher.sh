#!/bin/sh
# Installed as /usr/bin/sentaro. The program opens its files in the current folder, so from the menu
# it works in ~/Sentaro; the real program and the Access reader stay together in /usr/lib/sentaro.
set -e
here=$(dirname "$(readlink -f "$0")")
folder="${HOME:?}/Sentaro"
mkdir -p "$folder"
# The shipped header picture fills a folder that has none; a user's own picture is never replaced.
if [ ! -e "$folder/intestazione.jpg" ]; then
  cp "$here/../share/sentaro/intestazione.jpg" "$folder/intestazione.jpg" || true
fi
cd "$folder"
exec "$here/../lib/sentaro/sentaro" "$@"
