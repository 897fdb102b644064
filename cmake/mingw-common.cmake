# Shared part of the MinGW cross toolchains. The including file sets
# MINGW_TRIPLET (i686-w64-mingw32 or x86_64-w64-mingw32) first.
#
# The "-posix" compiler variants are used on purpose: the "-win32" ones have no
# std::mutex or std::thread, which GoogleTest needs.

if(NOT MINGW_TRIPLET)
  message(FATAL_ERROR "MINGW_TRIPLET must be set before including mingw-common.cmake")
endif()

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_VERSION 6.1)

find_program(CMAKE_C_COMPILER NAMES ${MINGW_TRIPLET}-gcc-posix REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${MINGW_TRIPLET}-g++-posix REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${MINGW_TRIPLET}-windres REQUIRED)
set(CMAKE_AR ${MINGW_TRIPLET}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${MINGW_TRIPLET}-ranlib CACHE FILEPATH "")

# Look for libraries and headers (zlib, ...) only in the MinGW tree, programs
# only on the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# find_package(ZLIB) would take the import library libz.dll.a, and the .exe
# would then need zlib1.dll, which Wine happens to provide but Windows does
# not. (CMAKE_FIND_LIBRARY_SUFFIXES cannot be set here: the Windows platform
# files overwrite it after the toolchain file.)
set(ZLIB_USE_STATIC_LIBS ON)

# One self-contained .exe: no libgcc, libstdc++ or winpthread DLLs beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++")

# ctest (and anything else that honours the emulator) starts the .exe files
# under Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh)
