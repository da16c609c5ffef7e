#!/usr/bin/env bash
# Counts x86-64 instructions per frame with callgrind and writes
# bench/results.md (`make bench-instructions`). Usage: instructions.sh BUILD_DIR
# With BENCH_REUSE_FRAMES=1 step 1 is skipped and the frames named in
# bench/heaviest_frames.txt are counted again (step 1 takes minutes).
#
# 1. Every frame of every golden run (tests/data/*.tape) is counted: the
#    game's own frame loop, from one shown frame to the next.
# 2. The heaviest title frame and the heaviest game frame are counted again
#    on their own, after a check that they show the golden run's pixels.
# 3. The sound synthesised for each frame of the coin run at FAST.
# callgrind counts instructions, not time, so the figures repeat exactly on
# a busy machine.
set -euo pipefail
build=${1:?usage: instructions.sh BUILD_DIR}
root=$(cd "$(dirname "$0")/.." && pwd)
tool="$build/bench/frame_cost"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cg() {  # cg OUT ARGS...: callgrind with collection switched on by the program
    local out=$1
    shift
    valgrind --tool=callgrind --collect-atstart=no --instr-atstart=no --dump-instr=no --dump-line=no \
        --callgrind-out-file="$out" "$@" 2>"$work/valgrind.log" || {
        cat "$work/valgrind.log" >&2
        return 1
    }
}
commas() { echo "$1" | sed ':a;s/\B[0-9]\{3\}\>/,&/;ta'; }
total() { grep -m1 '^summary:' "$1" | cut -d' ' -f2; }
# Instructions spent inside clear_surface (the one block fill of the frame).
clear_part() {
    callgrind_annotate --inclusive=yes "$1" 2>/dev/null | awk '/clear_surface/ {gsub(",", "", $1); print $1; exit}'
}

# 1. Scan the golden runs.
: >"$work/frames"
if [ "${BENCH_REUSE_FRAMES:-0}" = 1 ]; then
    while read -r kind tape frame; do
        echo "$root/$tape $(basename "$tape" .tape) $frame $kind 0" >>"$work/frames"
    done <"$root/bench/heaviest_frames.txt"
    scanned_note="the frames found by the last full count"
fi
for tape in "$root"/tests/data/*.tape; do
    name=$(basename "$tape" .tape)
    [ "${BENCH_REUSE_FRAMES:-0}" = 1 ] && break
    frames=$(sed -n 's/^# frames: \([0-9]*\).*/\1/p' "$tape" | head -1)
    [ -n "$frames" ] || continue
    echo "counting $frames frames of $name" >&2
    mkdir "$work/$name"
    valgrind --tool=callgrind --collect-atstart=no --instr-atstart=no --dump-instr=no --dump-line=no \
        --callgrind-out-file="$work/$name/cg" "$tool" scan "$tape" "$frames" >"$work/$name/screens" \
        2>"$work/valgrind.log" || { cat "$work/valgrind.log" >&2; exit 1; }
    # Dump k holds frame k. A frame counts only when the frame before it
    # belongs to the same screen (a screen's first frame is drawn from its
    # start values, not from a state the run passed through).
    (cd "$work/$name" && grep -H -m1 '^summary:' cg.*) | sed 's/^cg\.\([0-9]*\.\)\{0,1\}\([0-9]*\):summary: /\2 /' |
        LC_ALL=C sort -k1,1 >"$work/$name/ir"
    # join wants both sides in text order; the frames go back to number order
    # for the check of the frame before.
    LC_ALL=C sort -k1,1 "$work/$name/screens" | LC_ALL=C join "$work/$name/ir" - | sort -n |
        awk -v t="$tape" -v n="$name" 'prev == $3 { print t, n, $1, $3, $2 } { prev = $3 }' >>"$work/frames"
done
heaviest() { awk -v s="$1" '$4 == s' "$work/frames" | sort -k5,5n | tail -1; }
read -r title_tape title_name title_frame _ title_scan <<<"$(heaviest title)"
read -r game_tape game_name game_frame _ game_scan <<<"$(heaviest game)"
scanned="$(wc -l <"$work/frames") frames of the golden runs in tests/data"
[ -n "${scanned_note:-}" ] && scanned="$scanned_note"
# The benchmarks (burrow_bench) draw the same two frames.
{
    echo "title ${title_tape#"$root"/} $title_frame"
    echo "game ${game_tape#"$root"/} $game_frame"
} >"$root/bench/heaviest_frames.txt"

# 2. Count the two frames on their own.
row() {  # row LABEL TAPE NAME FRAME
    local label=$1 tape=$2 name=$3 frame=$4
    cg "$work/real" "$tool" real "$tape" "$frame" >/dev/null
    local real clear
    real=$(total "$work/real")
    clear=$(clear_part "$work/real")
    printf '| %s | %s, frame %s | %s | %s |\n' "$label" "$name" "$frame" "$(commas "$real")" "$(commas "$clear")"
}
title_row=$(row "Heaviest title frame" "$title_tape" "$title_name" "$title_frame")
game_row=$(row "Heaviest game frame" "$game_tape" "$game_name" "$game_frame")

# 3. The sound of every frame of one run, counted alone.
sound_tape="$root/tests/data/golden-coin-fast.tape"
sound_frames=$(sed -n 's/^# frames: \([0-9]*\).*/\1/p' "$sound_tape" | head -1)
mkdir "$work/sound"
cg "$work/sound/cg" "$tool" sound "$sound_tape" "$sound_frames" >/dev/null
read -r sound_mean sound_max <<<"$( (cd "$work/sound" && grep -h -m1 '^summary:' cg.*) |
    awk '{ s += $2; if ($2 > m) m = $2 } END { printf "%d %d", s / NR, m }')"
game_total=$(echo "$game_row" | awk -F'|' '{ gsub(/[ ,]/, "", $4); print $4 }')
sound_share=$(awk -v m="$sound_max" -v g="$game_total" 'BEGIN { printf "%.1f", 100 * m / g }')

cpu=$(lscpu | sed -n 's/^Model name: *//p' | head -1)
cxx=$(sed -n 's/^CMAKE_CXX_COMPILER:[A-Z]*=//p' "$build/CMakeCache.txt")
flags=$(sed -n 's/^CMAKE_CXX_FLAGS_RELWITHDEBINFO:[A-Z]*=//p' "$build/CMakeCache.txt")
{
    echo "# Instructions per frame"
    echo
    echo "Written by \`make bench-instructions\` (bench/instructions.sh); do not edit by hand."
    echo
    echo "- Machine: ${cpu:-unknown} ($(uname -m))"
    echo "- Compiler: $("$cxx" --version | head -1), flags \`$flags\`"
    echo "- Counted with: $(valgrind --version) (callgrind, instructions executed)"
    echo "- Frames counted: $scanned"
    echo
    echo "| Frame | Golden run | Instructions | of which the clear |"
    echo "|---|---|---:|---:|"
    echo "$title_row"
    echo "$game_row"
    echo
    echo "The two frames are the heaviest of their kind over all golden runs, counted"
    echo "frame by frame through the game's own loop, from one shown frame to the next"
    echo "(button poll and flip included), and checked to show the golden run's pixels."
    echo
    echo "The clear is one 153,600-byte memset; glibc runs it as \`rep stosb\` on this"
    echo "machine, which callgrind counts as one instruction per byte."
    echo
    echo "## The sound of a frame"
    echo
    echo "| Frames | Golden run | Mean | Heaviest |"
    echo "|---|---|---:|---:|"
    echo "| $sound_frames, each synthesised alone | golden-coin-fast | $(commas "$sound_mean") | $(commas "$sound_max") |"
    echo
    echo "The heaviest frame of sound (several sounds at once, added up) costs"
    echo "$sound_share % of the heaviest game frame; the sounds themselves are made once at start-up."
} >"$root/bench/results.md"
cat "$root/bench/results.md"
