#!/usr/bin/env bash
# bench-delivery.sh: times, under Wine, the comparison the updater makes
# after the shell's copy (every delivered byte read again and compared with
# the update's), for 1 GiB in 1 000 files and for one file of 1 GiB: from a
# warm page cache, and from a cold one when this user may drop it (root
# writing /proc/sys/vm/drop_caches). Also the whole delivery, copy included.
# The comparison's window is shown as in a run (at once for 64 MiB or more),
# so the figures are what a user waits for, window included.
#
# Needs 3 GiB free below build/bench/delivery; takes a few minutes. The
# 64-bit build runs under 64-bit Wine in the prefix build/bench/wine64.
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD

if [ -z "${BENCH_HAS_DISPLAY:-}" ]; then
  BENCH_HAS_DISPLAY=1 exec bash scripts/with-display.sh bash "$0" "$@"
fi

cmake --preset bench-windows64 >/dev/null
cmake --build build/bench-windows64 -j2 --target delivery_timing >/dev/null

work=$repo/build/bench/delivery
mkdir -p "$work"
root="Z:${work//\//\\}"
# In a Wine virtual desktop, as the end-to-end tests run: without a window
# manager Wine waits 2 s for each closed top-level window to be withdrawn,
# which no user's screen does.
run() {
  WINE_DESKTOP=bench,800x600 WINEPREFIX=$repo/build/bench/wine64 bash cmake/wine-run.sh \
      build/bench-windows64/bin/delivery_timing.exe "$@" | tr -d '\r'
}
drop() { sync && { echo 3 > /proc/sys/vm/drop_caches; } 2>/dev/null; }

for shape in "1000 1073742" "1 1073741824"; do
  set -- $shape
  echo "== $1 file(s), $(( $1 * $2 )) bytes"
  run prep "$root" "$1" "$2"
  run compare "$root" >/dev/null  # the first run reads the files into the cache
  for i in 1 2 3; do echo -n "warm: "; run compare "$root"; done
  if drop; then
    for i in 1 2; do drop; echo -n "cold: "; run compare "$root"; done
  else
    echo "cold: not measured (this user cannot drop the page cache)"
  fi
  echo -n "warm: "; run deliver "$root"
  run clear "$root"
done
rmdir "$work" 2>/dev/null || true
