# What the desktop end-to-end scripts share: a private Xvfb display, the
# game's window found and given the keyboard, screenshots of its frame and of
# its status line, key presses, and quitting. Source it after setting
#   game (the burrowrotor binary) and out (a folder of its own).
# Exits 77 (skipped) when a tool is missing.
for tool in Xvfb xdotool xwd convert python3; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed (make deps)"; exit 77; }
done
rm -rf "$out" && mkdir -p "$out" || exit 1
cd "$out" || exit 1
# The best scores of these runs go here, never into the tester's home.
export XDG_DATA_HOME="$out/data"

xvfb_pid="" game_pid="" scale=3
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

# start_game ARGS...: runs the game in the background (stderr to game.err)
# and sets wid to its window, which gets the keyboard (no window manager runs).
start_game() {
  "$game" "$@" >game.out 2>game.err &
  game_pid=$!
  wid=$(timeout 10 xdotool search --sync --name '^Burrowrotor$' | head -1)
  [ -n "$wid" ] || fail "no window named Burrowrotor appeared; stderr: $(cat game.err)"
  xdotool windowfocus --sync "$wid"
}

# shot NAME: NAME.rgb is the 320x240 frame at the window's scale, NAME-line.rgb
# the status line beneath it.
shot() {
  local w=$((320 * scale)) h=$((240 * scale))
  xwd -silent -id "$wid" -out "$1.xwd" &&
    convert "xwd:$1.xwd" -crop "${w}x${h}+0+0" -depth 8 "rgb:$1.rgb" &&
    convert "xwd:$1.xwd" -crop "${w}x$((16 * scale))+0+$h" -depth 8 "rgb:$1-line.rgb" || fail "screenshot $1"
}

# A press held for a few frames (one xdotool run, so its start-up does not
# stretch the hold): long enough for the title screen's poll to see it, about
# as short as the menu's five frames between moves.
press() { xdotool keydown "$1" sleep 0.05 keyup "$1"; sleep 0.3; }

# quit_game: Esc, and the game must be gone with status 0 within 5 s.
quit_game() {
  xdotool key Escape
  for _ in $(seq 50); do kill -0 "$game_pid" 2>/dev/null || break; sleep 0.1; done
  kill -0 "$game_pid" 2>/dev/null && fail "still running 5 s after Esc"
  wait "$game_pid"
  local status=$?
  game_pid=""
  [ "$status" -eq 0 ] || fail "exit status $status after Esc, expected 0; stderr: $(cat game.err)"
}
