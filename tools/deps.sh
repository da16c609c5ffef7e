#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the tools need, asking
# apt-get only for those that dpkg does not already list as installed.
set -eu
packages=(
  cmake ninja-build g++ pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  libpng-dev libfreetype-dev fonts-dejavu-core xfonts-base
  libsdl2-dev
  g++-arm-linux-gnueabi qemu-user
  # the SDL2 handheld port and its tests (make port, tests/port): cross
  # compilers, and zip for the port folder's zip
  g++-aarch64-linux-gnu g++-arm-linux-gnueabihf zip
  xvfb xdotool x11-apps imagemagick
  clang libclang-rt-14-dev libfuzzer-14-dev valgrind
  emscripten chromium
  python3 util-linux
  # make install and make package, checked by the tests (install_test.sh)
  desktop-file-utils appstream man-db lintian dpkg-dev fakeroot
)
# The browser tests take playwright-core from npm with the machine's own node
# and npm where it has them (a node build that bundles npm conflicts with
# Debian's npm package), and with Debian's otherwise.
command -v npm >/dev/null 2>&1 || packages+=(nodejs npm)
missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo=sudo
$sudo apt-get update -q
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
