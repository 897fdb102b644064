# Toolchain for the 32-bit Windows build (what we ship):
#   cmake -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake ...
# Test programs built with it run under Wine through cmake/wine-run.sh; that
# needs a kernel that runs 32-bit x86 code (see wine-run.sh).
set(MINGW_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
set(CMAKE_SYSTEM_PROCESSOR x86)
