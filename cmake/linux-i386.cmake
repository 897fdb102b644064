# Toolchain for a 32-bit x86 Linux build of the portable core (GCC -m32), the
# data model of the program we ship: size_t, long and pointers of 32 bits.
# Its test programs run under user-mode QEMU (qemu-i386), so they run also
# where the kernel runs no 32-bit code. Needs g++-multilib, qemu-user and
# zlib1g-dev:i386; GoogleTest is built from /usr/src/googletest.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_LIBRARY_ARCHITECTURE i386-linux-gnu)

find_program(CMAKE_C_COMPILER NAMES gcc REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES g++ REQUIRED)
set(CMAKE_C_FLAGS_INIT -m32)
set(CMAKE_CXX_FLAGS_INIT -m32)
set(CMAKE_EXE_LINKER_FLAGS_INIT -m32)
set(CMAKE_SHARED_LINKER_FLAGS_INIT -m32)
set(CMAKE_MODULE_LINKER_FLAGS_INIT -m32)

# Only the i386 libraries: the x86_64 ones in /usr/lib/x86_64-linux-gnu
# cannot link.
set(CMAKE_IGNORE_PATH /usr/lib/x86_64-linux-gnu /lib/x86_64-linux-gnu)

find_program(KV_QEMU_I386 qemu-i386 REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${KV_QEMU_I386})
