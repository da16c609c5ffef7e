#!/bin/sh
# Builds the desktop program for an SDL2 handheld: the sysroot from Debian
# bullseye (tools/make-sysroot.sh, kept between runs) and the CMake tree, both
# in DIR.
#
#   tools/cross-build.sh arm64|armhf DIR   writes DIR/ARCH/burrowrotor
#
# Exit status 0 built, 1 failed, 77 cannot build here (no cross compiler, or
# Debian's archive out of reach for the sysroot; any other sysroot failure
# fails).
set -u
arch=${1:?usage: cross-build.sh arm64|armhf DIR}
dir=${2:?usage: cross-build.sh arm64|armhf DIR}
src=$(cd "$(dirname "$0")/.." && pwd)
case "$arch" in
  arm64) triple=aarch64-linux-gnu ;;
  armhf) triple=arm-linux-gnueabihf ;;
  *) echo "cross-build.sh: unknown architecture '$arch' (arm64 or armhf)" >&2; exit 1 ;;
esac
command -v "$triple-g++" >/dev/null || { echo "skipped: $triple-g++ is not installed (make deps)"; exit 77; }
mkdir -p "$dir" && dir=$(cd "$dir" && pwd) || exit 1
"$src/tools/make-sysroot.sh" "$arch" "$dir/sysroot-$arch"
case $? in
  0) ;;
  77) echo "skipped: no $arch sysroot: Debian's archive cannot be reached"; exit 77 ;;
  *) echo "cross-build.sh: making the $arch sysroot failed"; exit 1 ;;
esac

generator=Ninja
command -v ninja >/dev/null || generator="Unix Makefiles"
if [ ! -f "$dir/$arch/CMakeCache.txt" ]; then
  env -u CC -u CXX cmake -S "$src" -B "$dir/$arch" -G "$generator" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_TOOLCHAIN_FILE="$src/cmake/$triple.cmake" -DBURROW_SYSROOT="$dir/sysroot-$arch" \
    -DBURROW_PORT_ONLY=ON >"$dir/$arch.configure.log" 2>&1 ||
    { echo "cross-build.sh: configuring the $arch build failed:"; tail -20 "$dir/$arch.configure.log"; exit 1; }
fi
cmake --build "$dir/$arch" -j 2 --target burrowrotor
