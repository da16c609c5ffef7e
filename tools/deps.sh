#!/usr/bin/env bash
# Installs the Debian packages Burrowrotor needs, asking apt-get only for those
# that dpkg does not already list as installed (with sudo when not root).
#
#   tools/deps.sh play   only what building and playing the desktop game needs
#   tools/deps.sh        everything: the play set and the test set
#
# To add a package, add it to the set that needs it, one word per package.
set -eu

# The desktop game and the headless runner: compiler, build tools, SDL2, libpng,
# and libcurl and nlohmann-json for sending scores to a hall of fame.
play=(
  g++ make cmake ninja-build pkg-config
  libsdl2-dev libpng-dev
  libcurl4-openssl-dev nlohmann-json3-dev
)

# Everything else: tests, benchmarks, asset tools, the handheld and browser
# builds, fuzzing. The clang runtime and libFuzzer are added below, in the
# version that matches the clang installed here.
test=(
  libgtest-dev libgmock-dev libbenchmark-dev
  libfreetype-dev fonts-dejavu-core
  g++-arm-linux-gnueabi qemu-user
  # the SDL2 handheld port and its tests (make port, tests/port): cross
  # compilers, and zip for the port folder's zip
  g++-aarch64-linux-gnu g++-arm-linux-gnueabihf zip
  xvfb xdotool x11-apps x11-utils imagemagick
  clang valgrind file
  # the sound's levels and the recorded samples (tests/e2e/sound_test.sh)
  sox
  emscripten chromium
  python3 util-linux
  # the hall of fame's server (ports/server)
  libboost1.81-dev nlohmann-json3-dev libsqlite3-dev libseccomp-dev
  # its PostgreSQL store, and the PostgreSQL and load balancer its tests start
  libpq-dev postgresql-15 haproxy
  # make install and make package, checked by the tests (install_test.sh)
  desktop-file-utils appstream man-db lintian dpkg-dev fakeroot
)
# The browser tests take playwright-core from npm with the machine's own node
# and npm where it has them (a node build that bundles npm conflicts with
# Debian's npm package), and with Debian's otherwise.
command -v npm >/dev/null 2>&1 || test+=(nodejs npm)

updated=no
install_missing() {
  local missing=() p
  for p in "$@"; do
    dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo=sudo
  if [ $updated = no ]; then
    $sudo apt-get update -q
    updated=yes
  fi
  DEBIAN_FRONTEND=noninteractive $sudo apt-get -o DPkg::Lock::Timeout=600 install -y -q --no-install-recommends "${missing[@]}"
}

# The major version of the compiler that the unversioned clang package brings
# ("clang-14" on bookworm), so the fuzz build gets its matching runtime.
clang_major() {
  dpkg-query -W -f='${Depends}' clang | grep -o 'clang-[0-9][0-9]*' | head -n 1 | cut -d- -f2
}

case "${1:-all}" in
  play) install_missing "${play[@]}" ;;
  all)
    install_missing "${play[@]}" "${test[@]}"
    major=$(clang_major)
    [ -n "$major" ] || { echo "tools/deps.sh: cannot tell which clang the clang package installed" >&2; exit 1; }
    install_missing "libclang-rt-$major-dev" "libfuzzer-$major-dev"
    ;;
  *) echo "usage: tools/deps.sh [play]" >&2; exit 2 ;;
esac
