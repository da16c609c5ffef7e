# Cross build of the desktop program for 64-bit ARM Linux handhelds with SDL2
# (see cmake/sdl-handheld.cmake).
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(BURROW_TRIPLE aarch64-linux-gnu)
include(${CMAKE_CURRENT_LIST_DIR}/sdl-handheld.cmake)
