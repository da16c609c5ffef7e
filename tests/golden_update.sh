#!/bin/sh
# Writes the frame-hash list of every golden run from its tape, with the
# given headless runner: for when a change to what the game shows is meant.
#   tests/golden_update.sh BUILD/burrowrotor-headless
set -eu
runner=$1
data=$(dirname "$0")/data
for tape in "$data"/golden-*.tape; do
    name=${tape%.tape}
    frames=$(sed -n 's/^# frames: *\([0-9][0-9]*\).*/\1/p' "$tape")
    [ -n "$frames" ] || { echo "$tape: no '# frames: N' line" >&2; exit 2; }
    "$runner" --frames "$frames" --input "$tape" --trace "$name.trace.tmp"
    {
        echo "# Frame hashes of $(basename "$tape"), one per shown frame; written by 'make goldens'."
        sed 's/.*"hash":"\([0-9a-f]*\)".*/\1/' "$name.trace.tmp"
    } > "$name.hashes.tmp"
    rm "$name.trace.tmp"
    mv "$name.hashes.tmp" "$name.hashes"
    echo "$(basename "$name").hashes: $frames frames"
done
