#!/usr/bin/env bash
# install-deps.sh: installs what building and testing need on Debian 12, as
# root. Safe to run again: when everything is there it only checks and exits.
#
#   native build and tests   cmake g++ zlib1g-dev libgtest-dev googletest python3
#   32-bit native build      g++-multilib, zlib1g-dev:i386, qemu-user (runs its
#                            tests where the kernel runs no 32-bit code)
#   signing                  osslsigncode, openssl (a throwaway certificate)
#   Windows cross build      MinGW (i686 for what we ship, x86_64 for machines
#                            whose kernel runs no 32-bit code), zlib for MinGW
#   running under Wine       wine wine64 wine32:i386, the ja_JP.UTF-8 locale
#                            (code page 932), IPA fonts
#   GUI tests and demo       xvfb xdotool x11-utils imagemagick
#   benchmarks               libbenchmark-dev, libphysfs-dev (the comparison
#                            only), valgrind (profiling a missed goal)
set -euo pipefail

packages=(
    cmake g++ make zlib1g-dev libgtest-dev googletest python3
    g++-multilib zlib1g-dev:i386 qemu-user osslsigncode openssl
    gcc-mingw-w64-i686-posix g++-mingw-w64-i686-posix
    gcc-mingw-w64-x86-64-posix g++-mingw-w64-x86-64-posix
    binutils-mingw-w64-i686 binutils-mingw-w64-x86-64 libz-mingw-w64-dev
    wine wine64 wine32:i386
    locales fonts-ipafont-gothic
    xvfb xdotool x11-utils imagemagick
    libbenchmark-dev libphysfs-dev valgrind
)

# One dpkg-query for the lot: prints each package that is not fully installed.
missing_packages() {
    local -A installed=()
    local name arch status p
    while read -r name arch status; do
        [ "${status:0:2}" = ii ] || continue
        installed[$name]=1
        installed[$name:$arch]=1
    done < <(dpkg-query -W -f='${Package} ${Architecture} ${db:Status-Abbrev}\n' "${packages[@]}" 2>/dev/null || true)
    for p in "${packages[@]}"; do
        [ -n "${installed[$p]:-}" ] || echo "$p"
    done
}

has_locale() {
    locale -a 2>/dev/null | grep -qix 'ja_JP\.utf-\?8'
}

mapfile -t missing < <(missing_packages)

if [ "${#missing[@]}" -eq 0 ] && has_locale; then
    exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
    echo "install-deps.sh: something is missing (${missing[*]:-the ja_JP.UTF-8 locale}); run me as root" >&2
    exit 1
fi

export DEBIAN_FRONTEND=noninteractive
# Another apt run (for instance one started by hand) holds the lock; wait for it.
apt_opts=(-y -q -o DPkg::Lock::Timeout=600)

if [ "${#missing[@]}" -gt 0 ]; then
    echo "install-deps.sh: installing ${missing[*]}"
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        dpkg --add-architecture i386
    fi
    apt-get "${apt_opts[@]}" update
    apt-get "${apt_opts[@]}" install "${missing[@]}"
fi

if ! has_locale; then
    echo "install-deps.sh: generating the ja_JP.UTF-8 locale"
    if grep -q '^[# ]*ja_JP.UTF-8 UTF-8' /etc/locale.gen; then
        sed -i 's/^[# ]*\(ja_JP.UTF-8 UTF-8\)/\1/' /etc/locale.gen
    else
        echo 'ja_JP.UTF-8 UTF-8' >> /etc/locale.gen
    fi
    locale-gen
fi

left=$(missing_packages)
if [ -n "$left" ] || ! has_locale; then
    echo "install-deps.sh: still missing: ${left:-ja_JP.UTF-8 locale}" >&2
    exit 1
fi
echo "install-deps.sh: done"
