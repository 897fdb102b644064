# Toolchain for a 64-bit Windows build of the same sources. It exists for
# testing: on a kernel without 32-bit x86 support, 64-bit Wine still runs
# these programs natively, with the same ANSI code page behaviour.
set(MINGW_TRIPLET x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
