#!/usr/bin/env bash
# demo.sh: builds updater.exe, prepares a sample update under build/demo/ and
# runs the updater on it under Wine.
#
# With a usable X display the real windows are shown and you answer them.
# Without one the run happens on a virtual display: uidriver.exe answers the
# windows (OK to each), a screenshot of every window is kept as
# build/demo/NN-window.png, and the files delivered are listed.
#
# The sample: update.ini inside a version-3 pak made with the pak tool, a few
# files and a folder with Japanese names, and the product registered in the
# Wine prefix as installed under C:\Program Files\表計算ソフト.
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD

bash scripts/install-deps.sh

# What we ship is the 32-bit build. A kernel that runs no 32-bit code (see
# cmake/wine-run.sh) gets the 64-bit build of the same sources to run.
cmake --preset windows >/dev/null
cmake --build --preset windows --target updater pak uidriver
preset=windows
if ! QEMU_CPU=kv-no-cpu /usr/lib/wine/wine --version >/dev/null 2>&1; then
  echo "demo: this machine runs no 32-bit code; running the 64-bit build of the same sources"
  cmake --preset windows64 >/dev/null
  cmake --build --preset windows64 --target updater pak uidriver
  preset=windows64
fi
bin=$repo/build/$preset/bin
prefix=$repo/build/wine
[ "$preset" = windows64 ] && prefix=$repo/build/wine64
export WINEPREFIX=$prefix
run() { bash "$repo/cmake/wine-run.sh" "$@"; }
winpath() { printf 'Z:%s' "${1//\//\\}"; }

demo=$repo/build/demo
update=$demo/update
rm -rf "$demo"
mkdir -p "$update/ソフト/画像" "$demo/staging"

# The profile is code page 932, as the publisher's editor would save it.
printf '%s\r\n' \
  '[update]' \
  'GUID={4D2E5F00-DEMO-0001}' \
  'Title=表計算ソフト' \
  'Version=2.5' \
  'file=お知らせ.txt;表示設定.dat;ソフト' |
  iconv -f UTF-8 -t CP932 > "$demo/staging/update.ini"
printf 'アップデートのお知らせ\r\n' | iconv -f UTF-8 -t CP932 > "$update/お知らせ.txt"
printf 'settings 2.5\r\n' > "$update/表示設定.dat"
printf 'data\r\n' > "$update/ソフト/データ.bin"
printf 'picture\r\n' > "$update/ソフト/画像/絵.txt"
(cd "$demo" && run "$bin/pak.exe" create --version 3 --compress update/update.pak staging/update.ini)
rm -r "$demo/staging"

installed='C:\Program Files\表計算ソフト'
installed_unix="$prefix/drive_c/Program Files/表計算ソフト"
rm -rf "$installed_unix"
mkdir -p "$installed_unix"
run "$prefix/drive_c/windows/system32/reg.exe" add \
  'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\{4D2E5F00-DEMO-0001}' \
  /v InstallLocation /d "$installed" /f >/dev/null

echo "demo: sample update in $update:"
(cd "$update" && find . -type f | sort | sed 's/^\./    /')

display_works() {
  [ -n "${DISPLAY:-}" ] && { xdpyinfo >/dev/null 2>&1 || xdotool getdisplaygeometry >/dev/null 2>&1; }
}

if display_works; then
  echo "demo: starting updater.exe on $DISPLAY; answer its windows"
  (cd "$update" && run "$bin/updater.exe")
else
  echo "demo: no display; running on a virtual one, uidriver.exe answers the windows"
  export DEMO_DIR=$demo DEMO_BIN=$bin DEMO_UPDATE=$update
  XVFB_SCREEN=800x600x24 bash scripts/with-display.sh bash -c '
    set -u
    # A screenshot of each window the driver answers.
    bash tests/e2e/watch-shots.sh "$DEMO_DIR" &
    watcher=$!
    winpath() { printf "Z:%s" "${1//\//\\}"; }
    WINE_DESKTOP=demo,800x600 bash cmake/wine-run.sh "$DEMO_BIN/uidriver.exe" \
      --updater "$(winpath "$DEMO_BIN/updater.exe")" --demo "$(winpath "$DEMO_UPDATE")" \
      --log "$(winpath "$DEMO_DIR/windows.txt")" --shot "$(winpath "$DEMO_DIR")" >/dev/null 2>&1
    rc=$?
    kill $watcher
    exit $rc
  ' || echo "demo: the driver reported a problem (see $demo/windows.txt)"
  echo "demo: windows shown (texts in $demo/windows.txt):"
  sed 's/^/    /' "$demo/windows.txt"
  ls "$demo"/*.png 2>/dev/null | sed 's/^/    screenshot: /'
fi

echo "demo: delivered to $installed ($installed_unix):"
(cd "$installed_unix" && find . -type f | sort | sed 's/^\./    /')
