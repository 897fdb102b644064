#!/usr/bin/env bash
# watch-shots.sh DIR: takes the UI driver's screenshots. The driver writes
# NAME.request into DIR while its windows are up and waits until the request
# is gone; this takes the screen as NAME.png and removes the request. Runs
# until it is killed.
set -u
dir=${1:?usage: watch-shots.sh DIR}
while :; do
  for request in "$dir"/*.request; do
    [ -e "$request" ] || continue
    import -window root "${request%.request}.png" 2>/dev/null || true
    rm -f "$request"
  done
  sleep 0.2
done
