#!/usr/bin/env bash
# wine-run.sh PROGRAM.exe [ARGS...]
#
# Runs a Windows program under Wine the way our tests expect it: Japanese
# locale (so the ANSI code page is 932), a prefix of our own with Japanese font
# replacements, no Wine debug noise. The program's stdout and stderr go to ours
# and its exit code becomes ours. CMake uses this file as the crosscompiling
# emulator, so ctest runs every test .exe through it.
#
# Environment:
#   WINEPREFIX      prefix to use; default <repo>/build/wine for 32-bit programs
#                   and <repo>/build/wine64 for 64-bit ones
#   WINEDEBUG       passed on; default -all
#   WINE_PERSIST    seconds the wineserver stays up after the last program
#                   exits (default 300), so that the next start is fast
#   WINE_DESKTOP    NAME,WIDTHxHEIGHT (e.g. shell,800x600): run the program in
#                   a Wine virtual desktop, which draws window frames and
#                   captions (Xvfb has no window manager). Its child processes
#                   inherit the desktop. Windows on another desktop are not
#                   visible to FindWindow, so start the UI driver this way and
#                   let it start the program under test.
#
# The first use of a prefix creates it (about 10-30 s); a lock keeps parallel
# callers from doing it twice. Delete the prefix directory to start afresh.
set -u

die() { echo "wine-run.sh: $*" >&2; exit 126; }

[ $# -ge 1 ] || die "usage: wine-run.sh PROGRAM.exe [ARGS...]"
prog=$1
shift
[ -f "$prog" ] || die "no such program: $prog"

# Every test program starts through here, so the script avoids needless
# subprocesses: on a busy machine each one costs tens of milliseconds.
here=${BASH_SOURCE[0]%/*}
[ "$here" != "${BASH_SOURCE[0]}" ] || here=.
case "$here" in
    /*) ;;
    *) here=$PWD/$here ;;
esac
repo=${here%/*}

# Machine field of the PE header: 332 (0x14c) for i386, 34404 (0x8664) for
# x86-64.
pe_machine() {
    local -a b
    local off
    read -r -a b <<< "$(od -An -tu1 -v -w4096 -N4096 "$1" 2>/dev/null)"
    [ "${#b[@]}" -ge 64 ] && [ "${b[0]}" = 77 ] && [ "${b[1]}" = 90 ] || return 1
    off=$(( b[60] | b[61] << 8 | b[62] << 16 | b[63] << 24 ))
    [ $((off + 6)) -le "${#b[@]}" ] || return 1
    [ "${b[off]}${b[off + 1]}${b[off + 2]}${b[off + 3]}" = 806900 ] || return 1
    echo $(( b[off + 4] | b[off + 5] << 8 ))
}

first_exe() {
    local f
    for f in "$@"; do
        if [ -n "$f" ] && [ -x "$f" ]; then echo "$f"; return 0; fi
    done
    return 1
}

# Debian installs the real loaders under /usr/lib/wine; /usr/bin/wine is a
# wrapper that always prefers the 32-bit one, and /usr/bin/wineserver one that
# adds -p0 to every call.
wine32=/usr/lib/wine/wine
[ -x "$wine32" ] || wine32=$(first_exe "$(command -v wine)") || wine32=
wine64=/usr/lib/wine/wine64
[ -x "$wine64" ] || wine64=$(first_exe "$(command -v wine64)") || wine64=
wineserver=/usr/lib/wine/wineserver64
[ -x "$wineserver" ] || wineserver=$(first_exe /usr/lib/wine/wineserver32 "$(command -v wineserver)") ||
    die "wineserver not found; run scripts/install-deps.sh"

# A kernel booted with its 32-bit emulation off (ia32_emulation=off) cannot
# run the 32-bit Wine loader, nor the 32-bit code of a 64-bit Wine's WoW64.
# Where a user-mode emulator is registered for 32-bit ELF files, every such
# exec turns into a minute of emulation that ends in failure anyway; the
# unknown CPU model below makes the emulator give up at once. Native 32-bit
# loaders ignore the variable.
export QEMU_CPU=kv-no-cpu
can_run_32bit() {
    [ -n "$wine32" ] && "$wine32" --version >/dev/null 2>&1
}

machine=$(pe_machine "$prog") || die "$prog is not a Windows program"
case "$machine" in
    332) arch=win32 ;;
    34404) arch=win64 ;;
    *) die "$prog: unsupported machine type $machine" ;;
esac

if [ -n "${WINEPREFIX:-}" ]; then
    # An existing prefix keeps the architecture it was made with.
    if [ -f "$WINEPREFIX/system.reg" ]; then
        prefix_arch=$(sed -n 's/^#arch=//p' "$WINEPREFIX/system.reg" | head -n1)
        case "$prefix_arch" in
            win32|win64) ;;
            *) prefix_arch=$arch ;;
        esac
        if [ "$prefix_arch" = win32 ] && [ "$arch" = win64 ]; then
            die "$WINEPREFIX is a 32-bit prefix; it cannot run the 64-bit $prog"
        fi
        arch=$prefix_arch
    fi
elif [ "$arch" = win32 ]; then
    WINEPREFIX=$repo/build/wine
else
    WINEPREFIX=$repo/build/wine64
fi
case "$WINEPREFIX" in
    /*) ;;
    *) WINEPREFIX=$PWD/$WINEPREFIX ;;
esac

if [ "$arch" = win32 ]; then
    wine=$wine32
else
    wine=$wine64
    [ -n "$wine" ] || die "64-bit Wine not found; run scripts/install-deps.sh"
fi

export WINEPREFIX WINEARCH=$arch
export WINEDEBUG=${WINEDEBUG:--all}
export LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8
unset LANGUAGE
# No desktop menu entries, and no offer to install Mono or Gecko (it would
# open a window and wait when a display is there).
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d${WINEDLLOVERRIDES:+;$WINEDLLOVERRIDES}"
# ntdll passes these on to every process it starts.
export WINESERVER=$wineserver WINELOADER=$wine

ready=$WINEPREFIX/.wine-run-ready

# Font names that Japanese Windows programs and dialogs ask for, mapped onto
# the IPA fonts; and no crash dialog, which would wait for a click forever.
write_settings() {
    printf '%s\r\n' \
        'Windows Registry Editor Version 5.00' \
        '' \
        '[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]' \
        '"MS UI Gothic"="IPAPGothic"' \
        '"MS Shell Dlg"="IPAPGothic"' \
        '"MS Shell Dlg 2"="IPAPGothic"' \
        '"Tahoma"="IPAPGothic"' \
        '"ＭＳ Ｐゴシック"="IPAPGothic"' \
        '"MS PGothic"="IPAPGothic"' \
        '"ＭＳ ゴシック"="IPAGothic"' \
        '"MS Gothic"="IPAGothic"' \
        '' \
        '[HKEY_CURRENT_USER\Software\Wine\WineDbg]' \
        '"ShowCrashDialog"=dword:00000000' \
        '' |
        { printf '\xff\xfe'; iconv -f UTF-8 -t UTF-16LE; } > "$1"
}

init_prefix() {
    local log=$WINEPREFIX.log reg
    echo "wine-run.sh: preparing $WINEPREFIX ($WINEARCH), log in $log" >&2
    {
        # No display for the set-up: nothing in it should open a window.
        env -u DISPLAY "$wine" wineboot -i || return 1
        reg=$WINEPREFIX/wine-run-settings.reg
        write_settings "$reg" || return 1
        env -u DISPLAY "$wine" regedit /S "$(basename "$reg")" || return 1
        # Let the server write the registry to disk before we call it done.
        timeout 60 "$wineserver" -w
        :
    } > "$log" 2>&1 || return 1
    grep -q '"MS Shell Dlg 2"="IPAPGothic"' "$WINEPREFIX/user.reg" || return 1
    touch "$ready"
}

check_machine() {
    if [ "$machine" = 332 ] && ! can_run_32bit; then
        die "this machine cannot run 32-bit x86 code (no 32-bit Wine, or a kernel with its 32-bit emulation off: see dmesg); build the test programs with cmake/mingw-x86_64.cmake instead"
    fi
    if ! locale -a 2>/dev/null | grep -qix 'ja_JP\.utf-\?8'; then
        die "locale ja_JP.UTF-8 is missing (Wine would report code page 1252); run scripts/install-deps.sh"
    fi
}

if [ ! -e "$ready" ]; then
    check_machine
    mkdir -p "$(dirname "$WINEPREFIX")" || die "cannot create $(dirname "$WINEPREFIX")"
    exec 9> "$WINEPREFIX.lock" || die "cannot create $WINEPREFIX.lock"
    flock 9
    if [ ! -e "$ready" ]; then
        mkdir -p "$WINEPREFIX" || die "cannot create $WINEPREFIX"
        # regedit finds the settings file in the working directory.
        (cd "$WINEPREFIX" && init_prefix) ||
            die "could not prepare the Wine prefix $WINEPREFIX (see $WINEPREFIX.log)"
    fi
    flock -u 9
    exec 9>&-
fi

# Keep one server for the prefix so that later programs start in a fraction of
# a second instead of booting Wine again. If it is running already this call
# just returns.
"$wineserver" -p"${WINE_PERSIST:-300}" >/dev/null 2>&1

# The desktop is chosen per program name (AppDefaults), which keeps the exit
# code, unlike "wine explorer /desktop=... PROGRAM". What was set last for a
# name is remembered beside the prefix so the registry is only touched when
# the wish changes.
set_desktop() {
    local exe=${prog##*/} want=${WINE_DESKTOP:-} mark had='' name size reg
    mark=$WINEPREFIX/.wine-run-desktop.$exe
    [ -f "$mark" ] && had=$(<"$mark")
    [ "$want" = "$had" ] && return 0
    if [ -n "$want" ]; then
        name=${want%%,*}
        size=${want#*,}
        [ -n "$name" ] && [ "$size" != "$want" ] && [[ "$size" =~ ^[0-9]+x[0-9]+$ ]] ||
            die "WINE_DESKTOP must look like NAME,WIDTHxHEIGHT, not '$want'"
        set -- "[HKEY_CURRENT_USER\\Software\\Wine\\AppDefaults\\$exe\\Explorer]" \
               "\"Desktop\"=\"$name\"" '' \
               '[HKEY_CURRENT_USER\Software\Wine\Explorer\Desktops]' \
               "\"$name\"=\"$size\""
    else
        set -- "[-HKEY_CURRENT_USER\\Software\\Wine\\AppDefaults\\$exe\\Explorer]"
    fi
    reg=$WINEPREFIX/wine-run-desktop.$$.reg
    printf '%s\r\n' 'Windows Registry Editor Version 5.00' '' "$@" '' |
        { printf '\xff\xfe'; iconv -f UTF-8 -t UTF-16LE; } > "$reg" &&
        (cd "$WINEPREFIX" && "$wine" regedit /S "${reg##*/}") >/dev/null 2>&1 ||
        die "could not set the desktop for $exe"
    rm -f "$reg"
    if [ -n "$want" ]; then echo "$want" > "$mark"; else rm -f "$mark"; fi
}
if [ -n "${WINE_DESKTOP:-}" ] || [ -e "$WINEPREFIX/.wine-run-desktop.${prog##*/}" ]; then
    exec 9> "$WINEPREFIX.lock" || die "cannot open $WINEPREFIX.lock"
    flock 9
    set_desktop
    flock -u 9
    exec 9>&-
fi

if [ "$machine" = 332 ] && ! can_run_32bit; then
    check_machine
fi
# Wine starts its services (and, for windows, the desktop process) with the
# first program after the server comes up; they inherit that program's
# standard handles and live on for as long as the server persists. A caller
# that reads our output through a pipe, as ctest does, would wait for them
# for minutes. So the program writes to files that only this script holds,
# and their contents are passed on when it ends.
out=$(mktemp "${TMPDIR:-/tmp}/wine-run.out.XXXXXX") || die "cannot make a temporary file"
err=$(mktemp "${TMPDIR:-/tmp}/wine-run.err.XXXXXX") || die "cannot make a temporary file"
"$wine" "$prog" "$@" > "$out" 2> "$err"
rc=$?
cat "$out"
cat "$err" >&2
rm -f "$out" "$err"
exit $rc
