#!/bin/sh
# Assembles the port folder for SDL2 handhelds from a host build tree whose
# cross builds are done (tools/cross-build.sh arm64|armhf BUILD/cross):
#
#   OUT/Burrowrotor.sh              the launch script
#   OUT/burrowrotor/                the game: both binaries (stripped), port.json,
#                                   README.md, screenshot.png, licences/
#   OUT.zip                         the same, to unzip into a ports folder
#
#   tools/make-port.sh BUILD OUT
# The folder and the zip are written under temporary names and renamed when
# complete.
set -eu
build=${1:?usage: make-port.sh BUILD OUT}
out=${2:?usage: make-port.sh BUILD OUT}
src=$(cd "$(dirname "$0")/.." && pwd)
fail() { echo "make-port.sh: $*" >&2; exit 1; }
for f in "$build/burrowrotor" "$build/burrowrotor-headless" "$build/cross/arm64/burrowrotor" \
         "$build/cross/armhf/burrowrotor"; do
  [ -f "$f" ] || fail "$f is missing (make port builds it)"
done
command -v convert >/dev/null || fail "ImageMagick's convert is missing (make deps)"

# The folder is replaced whole: only one this script wrote before.
if [ -e "$out" ] && [ ! -f "$out/Burrowrotor.sh" ]; then
  fail "$out exists and is not a port folder; not replacing it"
fi
part="$out.part"
rm -rf "$part" && mkdir -p "$part/burrowrotor/licences"
game="$part/burrowrotor"
cp "$src/ports/port-folder/Burrowrotor.sh" "$part/" && chmod 755 "$part/Burrowrotor.sh"
aarch64-linux-gnu-strip -o "$game/burrowrotor.arm64" "$build/cross/arm64/burrowrotor"
arm-linux-gnueabihf-strip -o "$game/burrowrotor.armhf" "$build/cross/armhf/burrowrotor"
chmod 755 "$game"/burrowrotor.*
version=$("$build/burrowrotor" --version | sed 's/^burrowrotor //')
sed "s/@VERSION@/$version/" "$src/ports/port-folder/port.json" >"$game/port.json"
cp "$src/ports/port-folder/README.md" "$game/"

# A moment of a NORMAL game at MEDIUM (chopper, block and score in view),
# doubled with square pixels.
shots="$part.frames"
rm -rf "$shots" && mkdir -p "$shots"
"$build/burrowrotor-headless" --input "$src/tests/data/golden-normal-medium.tape" --frames 600 --from 600 \
  --png "$shots" >/dev/null
convert "$shots/frame-000600.png" -filter point -resize 200% "$game/screenshot.png"
rm -rf "$shots"

# Our own terms (the MIT licence) and those of the fonts the game's font and title picture
# come from (packaging/copyright), and what else the binaries hold: the C++
# runtime (GCC 10, GPL 3 with the runtime library exception), libpng and
# zlib. The device's own SDL2 and C library are not shipped.
cp "$src/LICENSE" "$game/licences/LICENSE.txt"
cp "$src/packaging/copyright" "$game/licences/burrowrotor.txt"
doc="$build/cross/sysroot-arm64/usr/share/doc"
cp "$doc/gcc-10-base/copyright" "$game/licences/gcc-runtime.txt"
cp "$doc/libpng-dev/copyright" "$game/licences/libpng.txt"
cp "$doc/zlib1g/copyright" "$game/licences/zlib.txt"
cat >"$game/licences/README.txt" <<TEXT
Licences of what the Burrowrotor binaries hold:
  LICENSE.txt           the game itself, code and art: the MIT licence
  burrowrotor.txt       the same in Debian's form, with the terms of its font (from the
                        public-domain X11 misc-fixed fonts) and its title picture
                        (rendered from DejaVu Sans Bold)
  gcc-runtime.txt       the GCC 10 C++ runtime, linked statically
                        (GPL 3 with the GCC Runtime Library Exception)
  libpng.txt, zlib.txt  libpng and zlib, linked statically (PNG frame files)
SDL2 and the C library are the device's own and are not shipped.
TEXT

rm -rf "$out" && mv "$part" "$out"
rm -f "$out.zip.part"
(cd "$out" && zip -q -r -X "$(pwd)/../$(basename "$out").zip.part" Burrowrotor.sh burrowrotor)
mv "$out.zip.part" "$out.zip"
echo "port folder: $out ($(du -sh "$out" | cut -f1)), zip: $out.zip ($(du -h "$out.zip" | cut -f1))"
