#!/usr/bin/env bash
# Installs what the build needs, builds both presets and runs every test:
# the native unit tests (with AddressSanitizer and UBSan), then the Windows
# build's unit tests and end-to-end tests under Wine on a virtual display.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

cmake --preset native
cmake --build --preset native
ctest --preset native

cmake --preset windows
cmake --build --preset windows
bash scripts/with-display.sh ctest --preset windows
bash tests/fuzz/ci.sh
