# What the two SDL2 handheld builds share (cmake/aarch64-linux-gnu.cmake and
# cmake/arm-linux-gnueabihf.cmake set BURROW_TRIPLE and include this).
#
# The desktop program is compiled against the root file system that
# tools/make-sysroot.sh unpacks from Debian bullseye (glibc 2.31, SDL 2.0.14),
# named by -DBURROW_SYSROOT=DIR. The device's own SDL2 is linked as a shared
# library; the C++ runtime is bullseye's GCC 10 libstdc++ and libgcc, linked
# statically, because the runtime of a newer GCC is built against a newer
# glibc and asks for its symbols (__libc_single_threaded, _dl_find_object,
# arc4random).
# libpng and zlib are linked statically too: a firmware need not have them.
#
# tools/cross-build.sh does it all; by hand:
#   tools/make-sysroot.sh arm64 build/cross/sysroot-arm64
#   cmake -S . -B build/cross/arm64 -DCMAKE_TOOLCHAIN_FILE=$PWD/cmake/aarch64-linux-gnu.cmake \
#         -DBURROW_SYSROOT=$PWD/build/cross/sysroot-arm64 -DBURROW_PORT_ONLY=ON
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_C_COMPILER ${BURROW_TRIPLE}-gcc)
set(CMAKE_CXX_COMPILER ${BURROW_TRIPLE}-g++)

# Checks of the compiler run as small projects of their own that read this
# file again: hand the sysroot on to them.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES BURROW_SYSROOT)
if(NOT BURROW_SYSROOT OR NOT EXISTS "${BURROW_SYSROOT}/usr/include/SDL2/SDL.h")
  message(FATAL_ERROR "BURROW_SYSROOT='${BURROW_SYSROOT}' is not a sysroot made by tools/make-sysroot.sh")
endif()
set(CMAKE_SYSROOT ${BURROW_SYSROOT})
set(CMAKE_FIND_ROOT_PATH ${BURROW_SYSROOT})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The cross compiler also searches its own copy of bookworm's glibc headers
# and libraries (in /usr/${BURROW_TRIPLE}), ahead of the sysroot: name every
# folder ourselves instead. The compiler keeps only its own built-in headers.
execute_process(COMMAND ${CMAKE_C_COMPILER} -print-file-name=include OUTPUT_VARIABLE _gcc_include
                OUTPUT_STRIP_TRAILING_WHITESPACE)
set(_inc ${BURROW_SYSROOT}/usr/include)
set(_c_includes "-nostdinc -isystem ${_gcc_include} -isystem ${_inc}/${BURROW_TRIPLE} -isystem ${_inc}")
set(CMAKE_C_FLAGS_INIT "${_c_includes}")
# GCC 10's C++ headers, to match the GCC 10 C++ library linked below.
set(CMAKE_CXX_FLAGS_INIT "-nostdinc++ -isystem ${_inc}/c++/10 -isystem ${_inc}/${BURROW_TRIPLE}/c++/10 \
-isystem ${_inc}/c++/10/backward ${_c_includes}")
# The start files and libraries of the sysroot first; GCC 10's folder holds
# its libstdc++.a, libgcc.a and libgcc_eh.a.
set(_lib ${BURROW_SYSROOT}/usr/lib/${BURROW_TRIPLE})
set(CMAKE_EXE_LINKER_FLAGS_INIT "-B${_lib}/ -L${BURROW_SYSROOT}/lib/${BURROW_TRIPLE} -L${_lib} \
-L${BURROW_SYSROOT}/usr/lib/gcc/${BURROW_TRIPLE}/10 -static-libstdc++ -static-libgcc -Wl,--as-needed")

set(PNG_LIBRARY_RELEASE ${_lib}/libpng16.a CACHE FILEPATH "libpng, linked statically")
set(ZLIB_LIBRARY_RELEASE ${_lib}/libz.a CACHE FILEPATH "zlib, linked statically")
