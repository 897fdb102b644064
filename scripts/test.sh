#!/usr/bin/env bash
# Installs what the build needs, builds and runs every test: the native unit
# tests (with AddressSanitizer and UBSan), the same built for 32-bit x86 and
# run under qemu-i386, the Windows build's unit tests and
# end-to-end tests under Wine on a virtual display, then the fuzz targets and
# a short run of the benchmarks.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

cmake --preset native
cmake --build --preset native
ctest --preset native

# The 32-bit data model of the program we ship, on the portable core: GCC
# -m32 with UBSan, each test program under qemu-i386.
start32=$(date +%s)
cmake --preset native32
cmake --build --preset native32
ctest --preset native32
echo "test.sh: native32 took $(( $(date +%s) - start32 )) s"

# The 32-bit build is what we ship; it is always built.
cmake --preset windows
cmake --build --preset windows
bash tests/pe_check.sh build/windows/bin
# A publisher's branded and signed build of the same programs.
bash tests/brand_sign_check.sh

# Its tests run under 32-bit Wine where the kernel runs 32-bit x86 code. On a
# kernel with that switched off, the same sources built for 64-bit Windows
# run the same tests under 64-bit Wine. (An emulator registered for 32-bit
# programs gives up at once on the unknown CPU model.)
if QEMU_CPU=kv-no-cpu /usr/lib/wine/wine --version >/dev/null 2>&1; then
    tests=windows
else
    echo "test.sh: this kernel runs no 32-bit x86 code; the Windows tests run on the 64-bit build"
    tests=windows64
    cmake --preset windows64
    cmake --build --preset windows64
fi
bash scripts/with-display.sh ctest --preset "$tests"

bash tests/fuzz/ci.sh

# The benchmarks on small archives, once: that they still build and run (the
# figures are scripts/bench.sh's, on a quiet machine).
bash scripts/bench.sh --smoke
