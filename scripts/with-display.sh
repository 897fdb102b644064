#!/usr/bin/env bash
# with-display.sh COMMAND [ARGS...]
#
# Runs COMMAND with an X display. A usable $DISPLAY is taken as it is;
# otherwise a virtual one (Xvfb, 1024x768, 24 bits) is started on the first
# free number from :91 up, exported as DISPLAY for COMMAND and stopped after
# it. The exit code is COMMAND's.
#
#   XVFB_SCREEN   screen geometry, default 1024x768x24
set -u

[ $# -ge 1 ] || { echo "usage: with-display.sh COMMAND [ARGS...]" >&2; exit 2; }

display_works() {
    if command -v xdpyinfo >/dev/null 2>&1; then
        DISPLAY=$1 xdpyinfo >/dev/null 2>&1
    else
        DISPLAY=$1 xdotool getdisplaygeometry >/dev/null 2>&1
    fi
}

if [ -n "${DISPLAY:-}" ] && display_works "$DISPLAY"; then
    exec "$@"
fi

command -v Xvfb >/dev/null 2>&1 || { echo "with-display.sh: Xvfb not found; run scripts/install-deps.sh" >&2; exit 2; }

xvfb_pid=
stop_xvfb() {
    if [ -n "$xvfb_pid" ]; then
        kill "$xvfb_pid" 2>/dev/null
        wait "$xvfb_pid" 2>/dev/null
        xvfb_pid=
    fi
}
trap stop_xvfb EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# Two callers may pick the same number at once; the loser's Xvfb fails on the
# display lock and it moves on to the next number.
started=
for n in $(seq 91 140); do
    [ -e "/tmp/.X$n-lock" ] && continue
    [ -e "/tmp/.X11-unix/X$n" ] && continue
    Xvfb ":$n" -screen 0 "${XVFB_SCREEN:-1024x768x24}" -nolisten tcp -noreset \
        > "/tmp/with-display.$n.log" 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 1 100); do
        if ! kill -0 "$xvfb_pid" 2>/dev/null; then
            wait "$xvfb_pid" 2>/dev/null
            xvfb_pid=
            break
        fi
        if display_works ":$n"; then
            started=:$n
            break
        fi
        sleep 0.1
    done
    [ -n "$started" ] && break
    stop_xvfb
done
[ -n "$started" ] || { echo "with-display.sh: could not start Xvfb" >&2; exit 2; }

export DISPLAY=$started
"$@"
rc=$?
stop_xvfb
rm -f "/tmp/with-display.${started#:}.log"
exit $rc
