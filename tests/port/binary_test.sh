#!/bin/sh
# A handheld binary as an old firmware meets it. Its dynamic section and
# symbol table ask for nothing newer than glibc 2.31 and SDL 2.0.14 and for no
# library but SDL's and the C library's own; and under qemu-user, against the
# bullseye sysroot's libraries, in a real X window on a private Xvfb, it
# replays a button tape with a trace equal to burrowrotor-headless's, line for
# line (a late frame is shown late, never dropped, however slow the emulation),
# and through SDL's disk audio the sound of burrowrotor-headless --wav
# (tests/e2e/same_sound.py).
#
#   binary_test.sh QEMU SYSROOT BINARY HEADLESS TAPE FRAMES OUT_DIR
# Exit status 0 passed, 1 failed, 77 skipped (no binary, qemu or Xvfb).
set -u
abs() { case "$1" in /*) echo "$1" ;; *) echo "$PWD/$1" ;; esac; }
same_sound=$(abs "$(dirname "$0")")/../e2e/same_sound.py
qemu=$1 root=$(abs "$2") bin=$(abs "$3") headless=$(abs "$4") tape=$(abs "$5") frames=$6 out=$7
[ -f "$bin" ] || { echo "skipped: no $bin (the cross build was skipped)"; exit 77; }
fail() { echo "FAIL: $*"; exit 1; }

needed=$(readelf -d "$bin" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p')
echo "$needed" | grep -qx 'libSDL2-2\.0\.so\.0' || fail "does not link the device's SDL2: $needed"
extra=$(echo "$needed" | grep -vE '^(libSDL2-2\.0\.so\.0|lib(c|m)\.so\.6|libpthread\.so\.0|libdl\.so\.2|ld-linux-.*)$')
[ -z "$extra" ] || fail "needs $extra, which a stock firmware may lack"
symbols=$(readelf -W --dyn-syms "$bin")
newest=$(echo "$symbols" | grep -o '@GLIBC_2\.[0-9.]*' | cut -c8- | sort -uV | tail -1)
[ -n "$newest" ] && [ "$(printf '%s\n2.31\n' "$newest" | sort -V | tail -1)" = 2.31 ] ||
  fail "asks for glibc ${newest:-(none read)}: $(echo "$symbols" | grep "@GLIBC_$newest" | awk '{print $8}')"
sdl_exports=$(readelf -W --dyn-syms "$root"/usr/lib/*/libSDL2-2.0.so.0.14.* | awk '$7 != "UND" {print $8}')
newer=$(echo "$symbols" | awk '$7 == "UND" && $8 ~ /^SDL_/ {print $8}' | grep -vxF "$sdl_exports")
[ -z "$newer" ] || fail "SDL functions missing from SDL 2.0.14: $newer"
echo "newest glibc symbol: $newest; every SDL function is in SDL 2.0.14"

for tool in "$qemu" Xvfb; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed (make deps)"; exit 77; }
done
rm -rf "$out" && mkdir -p "$out" && cd "$out" || exit 1
trap 'kill "$xvfb_pid" 2>/dev/null' EXIT
Xvfb -displayfd 3 -screen 0 640x480x24 -nolisten tcp 3>display.txt >xvfb.log 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do [ -s display.txt ] && break; sleep 0.1; done
DISPLAY=":$(head -1 display.txt)" SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=device.raw SDL_DISKAUDIODELAY=4 \
  timeout 300 "$qemu" -L "$root" "$bin" --scale 1 --replay "$tape" \
  --trace device.jsonl --frames "$frames" >device.out 2>device.err || fail "exit status $? under $qemu: $(cat device.err)"
"$headless" --input "$tape" --frames "$frames" --trace headless.jsonl --wav headless.wav || fail "burrowrotor-headless failed"
cmp device.jsonl headless.jsonl || fail "traces differ: $(diff device.jsonl headless.jsonl | head -3)"
python3 "$same_sound" device.raw headless.wav || fail "the sound is not the runner's"
echo "PASS: $frames frames equal"
