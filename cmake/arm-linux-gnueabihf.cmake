# Cross build of the desktop program for 32-bit ARM Linux handhelds with SDL2,
# hard-float EABI (ARMv7 with VFPv3-D16 and Thumb-2, Debian's armhf baseline;
# see cmake/sdl-handheld.cmake).
set(CMAKE_SYSTEM_PROCESSOR arm)
set(BURROW_TRIPLE arm-linux-gnueabihf)
include(${CMAKE_CURRENT_LIST_DIR}/sdl-handheld.cmake)
# GCC's notes that an ABI detail changed in GCC 7.1 do not concern a program
# that is built whole by one compiler.
string(APPEND CMAKE_CXX_FLAGS_INIT " -Wno-psabi")
