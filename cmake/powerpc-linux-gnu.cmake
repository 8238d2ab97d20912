# The box's processor: 32-bit big-endian PowerPC Linux, through Debian's cross compiler.
# Programs built here run under qemu-ppc with the cross compiler's own C and C++ libraries.
#
# OXLE_PPC_PREFIX (a cache variable or the environment) is the folder that holds the
# target's third-party libraries: GoogleTest, expat, the JSON headers and the libsigc++
# headers. `./oxle test` fills it once from Debian's source packages.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR powerpc)

set(OXLE_PPC_TRIPLE powerpc-linux-gnu)
set(OXLE_PPC_SYSROOT /usr/${OXLE_PPC_TRIPLE})
set(CMAKE_C_COMPILER ${OXLE_PPC_TRIPLE}-gcc)
set(CMAKE_CXX_COMPILER ${OXLE_PPC_TRIPLE}-g++)

if(NOT OXLE_PPC_PREFIX AND DEFINED ENV{OXLE_PPC_PREFIX})
  set(OXLE_PPC_PREFIX "$ENV{OXLE_PPC_PREFIX}")
endif()
set(OXLE_PPC_PREFIX "${OXLE_PPC_PREFIX}" CACHE PATH "the target's third-party libraries")
# The checks CMake compiles on the way read this file again and need the prefix too.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES OXLE_PPC_PREFIX)

# Headers, libraries and package files come from the target's folders only; the build
# machine's /usr/include would hand x86-64 headers to the cross compiler.
set(CMAKE_FIND_ROOT_PATH ${OXLE_PPC_SYSROOT} ${OXLE_PPC_PREFIX})
set(CMAKE_PREFIX_PATH ${OXLE_PPC_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(ENV{PKG_CONFIG_LIBDIR} "${OXLE_PPC_PREFIX}/lib/pkgconfig:${OXLE_PPC_PREFIX}/share/pkgconfig")
set(ENV{PKG_CONFIG_PATH} "")

# 64-bit file offsets, as a 32-bit program wants for files past 2 GiB and for directory
# positions: qemu-ppc hands the build machine's 64-bit ones through, on which a 32-bit
# readdir stops at once with EOVERFLOW. No type in host/ depends on the choice.
set(CMAKE_C_FLAGS_INIT "-D_FILE_OFFSET_BITS=64")
set(CMAKE_CXX_FLAGS_INIT "-D_FILE_OFFSET_BITS=64")

# binfmt_misc is not relied on: ctest and test discovery start the emulator themselves.
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-ppc -L ${OXLE_PPC_SYSROOT})

# A release build for the box is optimised as the box's own software is, at -O2 (CMake's
# default release level is -O3).
set(CMAKE_C_FLAGS_RELEASE "-O2 -DNDEBUG" CACHE STRING "")
set(CMAKE_CXX_FLAGS_RELEASE "-O2 -DNDEBUG" CACHE STRING "")
