#!/usr/bin/env bash
# `make bench`: the side-by-side benchmarks (burrow_bench), then the ARM
# binary's frames per second on the emulated handheld under qemu-arm as an
# ARM926, when build-arm holds one (`make handheld` builds it).
# Usage: run.sh BUILD_DIR [ARM_BUILD_DIR] [benchmark options...]
set -euo pipefail
build=${1:?usage: run.sh BUILD_DIR [ARM_BUILD_DIR]}
arm=${2:-build-arm}
shift $(($# < 2 ? $# : 2))
"$build/bench/burrow_bench" --benchmark_min_time=0.2 "$@"

echo
handheld="$arm/burrowrotor-handheld"
emu="$build/burrowrotor-handheld-emu"
if [ ! -x "$handheld" ] || [ ! -x "$emu" ] || ! command -v qemu-arm >/dev/null; then
    echo "ARM binary under qemu-arm: skipped ($handheld, $emu or qemu-arm missing; run make handheld)"
    exit 0
fi
frames=3000
start=$(date +%s.%N)
status=0
"$emu" --frames "$frames" -- qemu-arm -cpu arm926 "$handheld" >/dev/null 2>&1 || status=$?
end=$(date +%s.%N)
if [ "$status" -eq 77 ]; then
    echo "ARM binary under qemu-arm: skipped (no private mount namespace for the device files here)"
elif [ "$status" -ne 0 ]; then
    echo "ARM binary under qemu-arm: the emulated handheld failed (status $status)"
    exit 1
else
    awk -v f="$frames" -v a="$start" -v b="$end" \
        'BEGIN { printf "ARM binary under qemu-arm (ARM926, title screen, emulated display): %d frames in %.2f s = %.0f frames per second\n", f, b - a, f / (b - a) }'
fi
