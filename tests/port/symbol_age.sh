#!/bin/sh
# A handheld binary asks the firmware for nothing newer than glibc 2.31 and
# SDL 2.0.14, and for no library but SDL and the C library's own: read from
# its dynamic section and dynamic symbol table.
#
#   symbol_age.sh BINARY SYSROOT    SYSROOT from tools/make-sysroot.sh
# Exit status 0 passed, 1 failed, 77 skipped (no binary: it could not be built here).
set -u
bin=$1 root=$2
[ -f "$bin" ] || { echo "skipped: no $bin (the cross build was skipped)"; exit 77; }
command -v readelf >/dev/null || { echo "skipped: readelf is missing"; exit 77; }
status=0
fail() { echo "FAIL: $*"; status=1; }

needed=$(readelf -d "$bin" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p')
[ -n "$needed" ] || fail "no NEEDED entries: not a dynamically linked program"
for lib in $needed; do
  case "$lib" in
    libSDL2-2.0.so.0 | libc.so.6 | libm.so.6 | libpthread.so.0 | libdl.so.2 | ld-linux-*.so.*) ;;
    *) fail "needs $lib, which a stock firmware may lack" ;;
  esac
done
echo "$needed" | grep -qx 'libSDL2-2.0.so.0' || fail "does not link the device's SDL2 (libSDL2-2.0.so.0)"

symbols=$(readelf -W --dyn-syms "$bin")
newest=$(echo "$symbols" | grep -o '@GLIBC_2\.[0-9.]*' | sed 's/@GLIBC_//' | sort -uV | tail -1)
[ -n "$newest" ] || fail "asks for no versioned glibc symbol: the table was not read"
[ "$(printf '%s\n2.31\n' "$newest" | sort -V | tail -1)" = 2.31 ] ||
  fail "asks for glibc $newest: $(echo "$symbols" | grep "@GLIBC_$newest" | awk '{print $8}' | tr '\n' ' ')"
echo "newest glibc symbol version: $newest"

sdl=$(find "$root/usr/lib" -name 'libSDL2-2.0.so.0.14.*' | head -1)
[ -n "$sdl" ] || { echo "FAIL: no SDL 2.0.14 library in $root"; exit 1; }
exported=$(readelf -W --dyn-syms "$sdl" | awk '$7 != "UND" && $8 ~ /^SDL_/ {print $8}' | sed 's/@.*//' | sort -u)
wanted=$(echo "$symbols" | awk '$7 == "UND" && $8 ~ /^SDL_/ {print $8}' | sed 's/@.*//' | sort -u)
[ -n "$wanted" ] || fail "imports no SDL function: the table was not read"
missing=$(echo "$wanted" | grep -vxF "$exported")
[ -z "$missing" ] || fail "SDL functions newer than 2.0.14: $(echo "$missing" | tr '\n' ' ')"
echo "$(echo "$wanted" | wc -l) SDL functions, all in SDL 2.0.14"
[ "$status" -eq 0 ] && echo PASS
exit "$status"
