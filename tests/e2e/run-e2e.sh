#!/usr/bin/env bash
# Runs updater.exe's end-to-end scenarios under Wine:
#
#   run-e2e.sh UIDRIVER_EXE UPDATER_EXE [SCENARIO...]
#
# uidriver.exe runs inside a Wine virtual desktop (which draws window frames
# and captions, there being no window manager) on the current X display, or
# on a virtual one when there is none. Scenarios that fail leave a screenshot
# under build/e2e-shots/; the driver's log is build/e2e-shots/e2e.log.
# The Wine environment (prefix, locale, fonts, persistent wineserver) is
# cmake/wine-run.sh's. E2E_TIMEOUT: seconds each wait may take (default 20).
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
repo="$(cd "$here/../.." && pwd)"
driver="$(realpath "$1")"
updater="$(realpath "$2")"
shift 2

if [ -z "${E2E_HAS_DISPLAY:-}" ]; then
  E2E_HAS_DISPLAY=1 exec bash "$repo/scripts/with-display.sh" bash "$0" "$driver" "$updater" "$@"
fi

shots="$repo/build/e2e-shots"
mkdir -p "$shots"
rm -f "$shots"/*.png "$shots"/*.request "$shots/e2e.log"

# A Unix path as Wine's drive Z: shows it.
winpath() { printf 'Z:%s' "${1//\//\\}"; }

# Screenshots of a failing scenario, taken while its windows are still up.
bash "$repo/tests/e2e/watch-shots.sh" "$shots" &
watcher=$!
trap 'kill $watcher 2>/dev/null || true' EXIT

status=0
WINE_DESKTOP=e2e,800x600 timeout "${E2E_RUN_LIMIT:-1500}" \
  bash "$repo/cmake/wine-run.sh" "$driver" \
  --updater "$(winpath "$updater")" \
  --timeout "${E2E_TIMEOUT:-20}" \
  --log "$(winpath "$shots/e2e.log")" \
  --shot "$(winpath "$shots")" \
  "$@" > "$shots/wine-output.txt" 2>&1 || status=$?

if [ ! -s "$shots/e2e.log" ]; then
  echo "uidriver.exe wrote no log (wine exit status $status)" >&2
  exit 1
fi
cat "$shots/e2e.log"
# The driver's exit code is the number of scenarios that failed.
exit "$status"
