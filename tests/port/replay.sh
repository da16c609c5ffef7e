#!/bin/sh
# A handheld binary under qemu-user, in a real X window on a private Xvfb,
# against the bullseye sysroot's SDL 2.0.14 and C library: it replays a button
# tape and its trace must equal burrowrotor-headless's for the same tape,
# line for line.
#
#   replay.sh QEMU SYSROOT BINARY HEADLESS TAPE FRAMES OUT_DIR
# Exit status 0 passed, 1 failed, 77 skipped (no qemu, Xvfb, sysroot or binary).
set -u
abs() { case "$1" in /*) echo "$1" ;; *) echo "$PWD/$1" ;; esac; }
qemu=$1 root=$(abs "$2") bin=$(abs "$3") headless=$(abs "$4") tape=$(abs "$5") frames=$6 out=$7
for tool in "$qemu" Xvfb; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed (make deps)"; exit 77; }
done
[ -f "$bin" ] || { echo "skipped: no $bin (the cross build was skipped)"; exit 77; }
[ -d "$root/usr/lib" ] || { echo "skipped: no sysroot in $root"; exit 77; }
rm -rf "$out" && mkdir -p "$out" && cd "$out" || exit 1
fail() { echo "FAIL: $*"; exit 1; }

xvfb_pid=""
trap '[ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null' EXIT
Xvfb -displayfd 3 -screen 0 640x480x24 -nolisten tcp 3>display.txt >xvfb.log 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do [ -s display.txt ] && break; sleep 0.1; done
[ -s display.txt ] || fail "Xvfb did not start: $(cat xvfb.log)"
DISPLAY=":$(head -1 display.txt)"
export DISPLAY

# The window shows the frames at the game's own 60 Hz, however slow the
# emulation: a late frame is shown late, never dropped, so the trace is whole.
timeout 300 "$qemu" -L "$root" "$bin" --scale 1 --replay "$tape" --trace device.jsonl --frames "$frames" \
  >device.out 2>device.err || fail "$(basename "$bin") under $qemu exited with $?: $(cat device.err)"
"$headless" --input "$tape" --frames "$frames" --trace headless.jsonl || fail "burrowrotor-headless failed"
[ "$(wc -l <device.jsonl)" -eq "$frames" ] || fail "device trace has $(wc -l <device.jsonl) lines, expected $frames"
cmp device.jsonl headless.jsonl || fail "traces differ: $(diff device.jsonl headless.jsonl | head -3)"
echo "PASS: $frames frames equal"
