#!/bin/sh
# `make port`'s folder and zip: what a player copies to the device is all there.
#
#   package_test.sh BUILD OUT_DIR    BUILD holds the host and the cross builds
# Exit status 0 passed, 1 failed, 77 skipped (the cross builds were skipped).
set -u
build=$1 out=$2
for arch in arm64 armhf; do
  [ -f "$build/cross/$arch/burrowrotor" ] || { echo "skipped: no $arch build"; exit 77; }
done
here=$(cd "$(dirname "$0")" && pwd)
rm -rf "$out" "$out.zip" && mkdir -p "$(dirname "$out")" || exit 1
"$here/../../tools/make-port.sh" "$build" "$out" || { echo "FAIL: make-port.sh"; exit 1; }
status=0
fail() { echo "FAIL: $*"; status=1; }
for f in Burrowrotor.sh burrowrotor/burrowrotor.arm64 burrowrotor/burrowrotor.armhf burrowrotor/port.json \
         burrowrotor/README.md burrowrotor/screenshot.png burrowrotor/licences/gcc-runtime.txt \
         burrowrotor/licences/burrowrotor.txt; do
  [ -s "$out/$f" ] || fail "$f is missing or empty"
  unzip -l "$out.zip" "$f" >/dev/null 2>&1 || fail "$f is not in the zip"
done
[ -x "$out/Burrowrotor.sh" ] || fail "the launch script is not executable"
readelf -h "$out/burrowrotor/burrowrotor.arm64" | grep -q AArch64 || fail "burrowrotor.arm64 is not AArch64 code"
readelf -A "$out/burrowrotor/burrowrotor.armhf" | grep -q Tag_ABI_VFP_args || fail "burrowrotor.armhf is not hard-float"
width=$(identify -format '%w' "$out/burrowrotor/screenshot.png") || width=0
height=$(identify -format '%h' "$out/burrowrotor/screenshot.png") || height=0
if [ "$width" -lt 640 ] || [ "$height" -lt 480 ]; then fail "the screenshot is $width x $height, under 640 x 480"; fi
python3 -c 'import json, sys
p = json.load(open(sys.argv[1]))
missing = [k for k in ("name", "title", "version", "architectures", "description", "controls") if not p.get(k)]
sys.exit("port.json lacks " + ", ".join(missing) if missing else 0)' "$out/burrowrotor/port.json" || fail "port.json"
[ "$status" -eq 0 ] && echo PASS
exit "$status"
