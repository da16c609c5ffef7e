#!/usr/bin/env bash
# The sound of a golden run: burrowrotor-headless --wav of the coin game at
# FAST must give the checked-in bytes (any change to the synthesiser shows
# here; after a change meant to alter the sound, write the new hash into
# tests/data/golden-coin-fast.wav.sha256), with headroom (peak below -1 dBFS),
# no offset, and a crash well above the rotor.
#   sound_test.sh BURROWROTOR_HEADLESS SOURCE_DIR OUT_DIR
set -u
headless=$1 src=$2 out=$3
command -v sox >/dev/null || { echo "skipped: sox is not installed (make deps)"; exit 77; }
rm -rf "$out" && mkdir -p "$out" || exit 1
fail() { echo "FAIL: $*"; exit 1; }
wav=$out/coin-fast.wav
"$headless" --input "$src/tests/data/golden-coin-fast.tape" --wav "$wav" || fail "the runner failed"
want=$(cut -d' ' -f1 "$src/tests/data/golden-coin-fast.wav.sha256")
got=$(sha256sum "$wav" | cut -d' ' -f1)
[ "$got" = "$want" ] || fail "the sound of golden-coin-fast changed: sha256 $got, expected $want ($wav)"
level() { sox "$wav" -n "${@:2}" stats 2>&1 | awk -v k="$1" '$0 ~ "^"k {print $NF}'; }
peak=$(level "Pk lev dB") mean=$(level "DC offset")
# The crash is frame 1061; frames 200 to 800 are the rotor alone.
crash=$(level "RMS lev dB" trim 848000s 24000s) rotor=$(level "RMS lev dB" trim 160000s 480000s)
echo "peak $peak dBFS, DC offset $mean, crash RMS $crash dB, rotor RMS $rotor dB"
awk -v p="$peak" -v m="$mean" -v c="$crash" -v r="$rotor" \
  'BEGIN { exit !(p < -1 && m < 0.01 && m > -0.01 && c > r + 6) }' || fail "levels out of bounds"
echo "PASS"
