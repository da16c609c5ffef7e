#!/bin/sh
# Builds the root file system the SDL2 handheld builds are compiled, linked
# and emulated against: Debian bullseye's packages for one architecture,
# unpacked into a folder. Bullseye has glibc 2.31 and SDL 2.0.14, the age of
# the oldest firmware we run on, so a binary linked here asks for nothing
# newer. It holds the C library and its headers, the C++ runtime of bullseye's
# own GCC 10 (linked statically into our binaries, so its libstdc++ brings no
# symbol newer than that glibc), libpng and zlib (also linked statically),
# SDL 2.0.14's headers, and SDL's shared library with everything it loads, so
# that qemu can run the binaries in an X window.
#
#   tools/make-sysroot.sh ARCH DIR     ARCH is arm64 or armhf
#
# The packages are fetched with apt-get from a private state folder (DIR.apt),
# never touching the machine's own package lists. A finished DIR is kept and
# reused while the package list below is unchanged; the downloads stay in
# DIR.apt so a rebuild after a change fetches only what is new.
# Exit status 0 made (or already there), 77 Debian's archive cannot be reached
# (no network, no name service), 1 any other failure.
set -eu
arch=${1:?usage: make-sysroot.sh arm64|armhf DIR}
root=${2:?usage: make-sysroot.sh arm64|armhf DIR}
case "$arch" in
  arm64|armhf) ;;
  *) echo "make-sysroot.sh: unknown architecture '$arch' (arm64 or armhf)" >&2; exit 2 ;;
esac
suite="bullseye"
mirror="http://deb.debian.org/debian"
# With their dependencies: what the binaries link and what SDL needs to run
# (libudev, which SDL opens by itself to find game controllers, too).
with_deps="libc6-dev linux-libc-dev libstdc++-10-dev libgcc-10-dev libsdl2-2.0-0 libudev1"
# Alone: headers and static libraries whose own dependencies we do not want
# (SDL's development package asks for the headers of every library SDL uses).
alone="libsdl2-dev libpng-dev zlib1g-dev"
mkdir -p "$(dirname "$root")"
root="$(cd "$(dirname "$root")" && pwd)/$(basename "$root")"  # apt reads its folders from /
stamp="$suite $arch | $with_deps | $alone"

if [ -f "$root/.sysroot" ] && [ "$(cat "$root/.sysroot")" = "$stamp" ]; then
  exit 0
fi
if [ -e "$root" ] && [ ! -f "$root/.sysroot" ]; then
  echo "make-sysroot.sh: $root exists and is not a sysroot made here; not replacing it" >&2
  exit 1
fi
for tool in apt-get dpkg-deb; do
  command -v "$tool" >/dev/null || { echo "make-sysroot.sh: $tool is missing" >&2; exit 1; }
done

work="$root.apt"
mkdir -p "$work/etc/sources.list.d" "$work/etc/preferences.d" "$work/state/lists/partial" \
         "$work/cache/archives/partial" "$work/alone"
: >"$work/state/status"  # nothing counts as installed: apt fetches the whole closure
echo "deb [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] $mirror $suite main" >"$work/etc/sources.list"
apt() {
  apt-get -q -o Dir::Etc="$work/etc" -o Dir::Etc::SourceList="$work/etc/sources.list" \
    -o Dir::Etc::SourceParts="$work/etc/sources.list.d" -o Dir::Etc::PreferencesParts="$work/etc/preferences.d" \
    -o Dir::State="$work/state" -o Dir::State::status="$work/state/status" -o Dir::Cache="$work/cache" \
    -o APT::Architecture="$arch" -o APT::Architectures::="$arch" -o APT::Install-Recommends=0 \
    -o APT::Sandbox::User=root -o Acquire::Languages=none -o Debug::NoLocking=1 "$@"
}
fail() { echo "make-sysroot.sh: $*" >&2; exit 1; }
# A step of apt's that failed: apt's own words for an archive out of reach
# make it a skip, anything else (a missing package, a bad signature) a failure.
apt_failed() {  # LOG WHAT
  reach=$(grep -Eo "(Could not resolve|Temporary failure resolving|Could not connect to|Connection timed out|Network is unreachable|No route to host)[^]]*" "$1" | head -1)
  [ -z "$reach" ] || { echo "make-sysroot.sh: cannot reach $mirror: $reach" >&2; exit 77; }
  fail "$2 failed: $(grep '^E:' "$1" | tail -1)"
}

# --error-on=any: an index that cannot be fetched fails here, not later.
apt update --error-on=any >"$work/update.log" 2>&1 || apt_failed "$work/update.log" "apt-get update for $suite/$arch"
# shellcheck disable=SC2086
apt install -y -d $with_deps >"$work/download.log" 2>&1 ||
  apt_failed "$work/download.log" "downloading $with_deps for $arch"
# shellcheck disable=SC2086
(cd "$work/alone" && apt download $alone) >>"$work/download.log" 2>&1 ||
  apt_failed "$work/download.log" "downloading $alone for $arch"

rm -rf "$root.part" && mkdir -p "$root.part"
for deb in "$work"/cache/archives/*.deb "$work"/alone/*.deb; do
  dpkg-deb -x "$deb" "$root.part" || fail "cannot unpack $deb"
done
# Links that point at /lib/... on the device would point at the build
# machine's own files here: make them relative, so they stay inside.
find "$root.part" -type l | while read -r link; do
  target=$(readlink "$link")
  case "$target" in
    /*) ln -sfn "$(realpath -m --relative-to="$(dirname "$link")" "$root.part$target")" "$link" ;;
  esac
done
# SDL's CMake file names its folders from /usr: from its own place instead.
# shellcheck disable=SC2016
sed -i 's|^set(prefix "/usr")|get_filename_component(prefix "${CMAKE_CURRENT_LIST_DIR}/../../../.." ABSOLUTE)|' \
  "$root.part"/usr/lib/*/cmake/SDL2/sdl2-config.cmake
rm -rf "$root"
mv "$root.part" "$root"
echo "$stamp" >"$root/.sysroot"
echo "sysroot for $arch ($suite) in $root"
