#!/usr/bin/env bash
# The desktop game end to end: burrowrotor in a real X window on a private
# Xvfb display, played with real key events from xdotool, watched through
# screenshots, quit with Esc; then its button tape replayed by
# burrowrotor-headless must show exactly the frames the window showed.
#
#   desktop_test.sh BURROWROTOR BURROWROTOR_HEADLESS OUT_DIR
# Exit status 0 passed, 1 failed, 77 skipped (Xvfb or xdotool missing).
set -u
game=$1 headless=$2 out=$3
here=$(cd "$(dirname "$0")" && pwd)
. "$here/desktop_lib.sh"

start_game --record tape.txt --trace trace.jsonl
geometry=$(xdotool getwindowgeometry "$wid" | sed -n 's/.*Geometry: //p')
[ "$geometry" = "960x768" ] || fail "window is $geometry, expected 960x768 (320x240 and the status line at x3)"

step "title screen"
sleep 1
shot title
step "menu: Up to the speed row, Right twice, Down to LET'S GO! (three times, in case a press counted twice)"
press Up
press Right
press Right
press Down
press Down
press Down
step "action starts the game; held, the chopper climbs (not long enough to reach the roof)"
xdotool keydown space
sleep 0.2
shot game
sleep 0.2
xdotool keyup space
sleep 0.4
step "Esc quits"
quit_game
[ -s game.err ] && fail "wrote to stderr: $(cat game.err)"
[ -f trace.jsonl ] || fail "no trace.jsonl after quitting"

frames=$(wc -l <trace.jsonl)
step "desktop showed $frames frames; replaying tape.txt headless"
"$headless" --frames "$frames" --input tape.txt --trace headless.jsonl || fail "burrowrotor-headless failed"
python3 "$here/desktop_frames.py" --scale 3 --trace trace.jsonl --replayed headless.jsonl \
  --shot title:title.rgb --shot game:game.rgb || exit 1
# For a person: each screenshot scaled back to 320x240 beside the replayed frame it matched.
for name in title game; do
  convert -size 960x720 -depth 8 "rgb:$name.rgb" -sample 320x240 "$name-window.png" 2>/dev/null
done
while read -r name frame; do
  "$headless" --frames "$frame" --input tape.txt --png . --from "$frame" >/dev/null &&
    mv "$(printf 'frame-%06d.png' "$frame")" "$name-replayed.png"
done <matches.txt
echo "PASS"
