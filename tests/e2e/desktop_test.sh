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
for tool in Xvfb xdotool xwd convert python3; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed (make deps)"; exit 77; }
done
rm -rf "$out" && mkdir -p "$out" || exit 1
cd "$out" || exit 1

xvfb_pid="" game_pid=""
cleanup() {
  [ -n "$game_pid" ] && kill "$game_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  wait 2>/dev/null
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; exit 1; }
step() { echo "-- $*"; }

# A display of our own: Xvfb picks a free number and tells it on fd 3.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>display.txt >xvfb.log 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do [ -s display.txt ] && break; sleep 0.1; done
[ -s display.txt ] || fail "Xvfb did not start: $(cat xvfb.log)"
export DISPLAY=":$(head -1 display.txt)"
step "Xvfb on $DISPLAY"

"$game" --record tape.txt --trace trace.jsonl >game.out 2>game.err &
game_pid=$!
wid=$(timeout 10 xdotool search --sync --name '^Burrowrotor$' | head -1)
[ -n "$wid" ] || fail "no window named Burrowrotor appeared; stderr: $(cat game.err)"
geometry=$(xdotool getwindowgeometry "$wid" | sed -n 's/.*Geometry: //p')
[ "$geometry" = "960x720" ] || fail "window is $geometry, expected 960x720 (320x240 at x3)"
# No window manager runs here: give the window the keyboard ourselves.
xdotool windowfocus --sync "$wid"

shot() { xwd -silent -id "$wid" -out "$1.xwd" && convert "xwd:$1.xwd" -depth 8 "rgb:$1.rgb" || fail "screenshot $1"; }
# A press held for a few frames (one xdotool run, so its start-up does not
# stretch the hold): long enough for the title screen's poll to see it, about
# as short as the menu's five frames between moves.
press() { xdotool keydown "$1" sleep 0.05 keyup "$1"; sleep 0.3; }

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
xdotool key Escape
for _ in $(seq 50); do kill -0 "$game_pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$game_pid" 2>/dev/null && fail "still running 5 s after Esc"
wait "$game_pid"
status=$?
game_pid=""
[ "$status" -eq 0 ] || fail "exit status $status after Esc, expected 0; stderr: $(cat game.err)"
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
