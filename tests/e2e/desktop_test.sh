#!/usr/bin/env bash
# The desktop game end to end: burrowrotor in a real X window on a private
# Xvfb display, played with real key events from xdotool, watched through
# screenshots, quit with Esc.
#  - P, then losing the focus pause (no frame shown, the status line says
#    PAUSED); P and Pause resume;
#  - the arrows walk the menu to MOVING SLOW, and a game flown to its crash
#    shows NEW BEST; the file holds its score and the next start shows it as
#    the best of its mode and speed;
#  - the screenshots of the title and of the game are frames of the session's
#    trace on those screens, and its button tape, pauses and all, replayed by
#    burrowrotor-headless shows exactly the frames the window showed;
#  - a damaged file, an unreadable one and a read-only folder: the game still
#    starts, says what happened in one line, and the old file is never lost;
#  - with a BURROWROTOR_SERVER on a loopback port, --submit sends the new best
#    and prints its verdict and rank; with a loopback port that never answers,
#    the game plays on, quits at once and keeps the tape, which --submit-tape
#    sends to the server.
#
#   desktop_test.sh BURROWROTOR BURROWROTOR_HEADLESS BURROW_WINDOW_SHOT OUT_DIR [BURROWROTOR_SERVER]
# Exit status 0 passed, 1 failed, 77 skipped (Xvfb or xdotool missing).
set -u
game=$1 headless=$2 shot_tool=$3 out=$4 server=${5:-}
for tool in Xvfb xdotool xwd xlogo convert; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed (make deps)"; exit 77; }
done
rm -rf "$out" && mkdir -p "$out" && cd "$out" || exit 1
# The best scores of these runs go here, never into the tester's home.
export XDG_DATA_HOME="$out/data"
file="$XDG_DATA_HOME/burrowrotor/best-scores.txt"
xvfb_pid="" game_pid="" hall_pid="" sink_pid=""
trap 'kill $game_pid $xvfb_pid $hall_pid $sink_pid 2>/dev/null; wait 2>/dev/null' EXIT
fail() { echo "FAIL: $*"; exit 1; }
step() { echo "-- $*"; }

# A display of our own: Xvfb picks a free number and tells it on fd 3.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>display.txt >xvfb.log 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do [ -s display.txt ] && break; sleep 0.1; done
[ -s display.txt ] || fail "Xvfb did not start: $(cat xvfb.log)"
export DISPLAY=":$(head -1 display.txt)"
step "Xvfb on $DISPLAY"

# start_game ARGS...: runs the game in the background and sets wid to its
# window, which gets the keyboard (no window manager runs).
start_game() {
  "$game" "$@" >game.out 2>game.err &
  game_pid=$!
  wid=$(timeout 10 xdotool search --sync --name '^Burrowrotor$' | head -1)
  [ -n "$wid" ] || fail "no window named Burrowrotor appeared; stderr: $(cat game.err)"
  xdotool windowfocus --sync "$wid"
}

# quit_game: Esc, and the game must be gone within 5 s, with status 0 and
# nothing said on stderr.
quit_game() {
  xdotool key Escape
  for _ in $(seq 50); do kill -0 "$game_pid" 2>/dev/null || break; sleep 0.1; done
  kill -0 "$game_pid" 2>/dev/null && fail "still running 5 s after Esc"
  wait "$game_pid"
  local status=$?
  game_pid=""
  [ "$status" -eq 0 ] && [ ! -s game.err ] || fail "exit status $status after Esc; stderr: $(cat game.err)"
}

# hold KEY...: each key held for 0.8 s in turn. The menu moves at most every
# five frames and stops at the ends of its rows, so a held key walks to the
# end however the frames fall on a busy machine.
hold() {
  for key; do xdotool keydown "$key" sleep 0.8 keyup "$key"; done
}

# shot NAME: NAME.rgb is the 320x240 frame at x3, NAME-line.rgb the status
# line beneath it.
shot() {
  xwd -silent -id "$wid" -out "$1.xwd" &&
    convert "xwd:$1.xwd" -crop 960x720+0+0 -depth 8 "rgb:$1.rgb" &&
    convert "xwd:$1.xwd" -crop 960x48+0+720 -depth 8 "rgb:$1-line.rgb" || fail "screenshot $1"
}

# line NAME TEXT [highlight]: the status line in shot NAME is TEXT as the game draws it.
line() {
  "$shot_tool" line "$2" ${3:+highlight} <"$1-line.rgb" || fail "$1: the status line does not read '$2'"
}

# on_screen NAME SCREEN: shot NAME shows a frame the trace lists on SCREEN.
on_screen() {
  local hash
  hash=$("$shot_tool" frame <"$1.rgb") || fail "$1: not a 960x720 picture"
  grep "\"hash\":\"$hash\"" trace.jsonl | grep -q "\"screen\":\"$2\"" ||
    fail "$1: the window showed no $2 frame of the trace (hash $hash)"
}

# still WHAT: after the frame in flight, no frame is shown for a second.
shown() { wc -l <trace.jsonl.part; }
still() {
  local a
  sleep 0.5
  a=$(shown)
  sleep 1
  [ "$a" = "$(shown)" ] || fail "$1: frames were shown while paused"
}

submit=()
[ -n "$server" ] || echo "   sending to a real hall of fame and --submit-tape: skipped (no burrowrotor-server given)"
if [ -n "$server" ]; then
  "$server" --listen 127.0.0.1:0 --db "$out/hall.db" >hall.log 2>&1 &
  hall_pid=$!
  for _ in $(seq 100); do grep -q "listening on" hall.log && break; sleep 0.1; done
  hall=$(sed -n 's|.*listening on \(http://127\.0\.0\.1:[0-9]*\).*|\1|p' hall.log)
  [ -n "$hall" ] || fail "burrowrotor-server did not start: $(cat hall.log)"
  submit=(--submit "$hall" --name "Desk Tester")
fi
start_game --record tape.txt --trace trace.jsonl "${submit[@]}"
geometry=$(xdotool getwindowgeometry "$wid" | sed -n 's/.*Geometry: //p')
[ "$geometry" = "960x768" ] || fail "window is $geometry, expected 960x768 (320x240 and the status line at x3)"
sleep 1
shot title
step "P pauses: no frame, PAUSED beneath the frame"
xdotool key p
still "after P"
shot paused
line paused "PAUSED" highlight
xdotool key p
a=$(shown)
sleep 1
[ $(($(shown) - a)) -gt 15 ] || fail "P did not resume"
step "another window takes the focus: paused until Pause, not when the focus comes back"
xlogo 2>/dev/null &
other=$!
xdotool search --sync --name '^xlogo$' >/dev/null && xdotool windowfocus --sync "$(xdotool search --name '^xlogo$' | head -1)"
still "focus lost"
kill "$other"
wait "$other" 2>/dev/null
xdotool windowfocus --sync "$wid"
still "focus back"
xdotool key Pause

step "menu: Up to the mode row, Right to MOVING, Down to LET'S GO!"
hold Up Right Down
step "action starts the game; held, the chopper climbs, released it falls or has hit the roof: NEW BEST"
xdotool keydown space
for _ in $(seq 50); do tail -1 trace.jsonl.part | grep -q '"screen":"game"' && break; sleep 0.05; done
shot game
xdotool keyup space
for _ in $(seq 100); do tail -1 trace.jsonl.part | grep -q '"screen":"title"' && break; sleep 0.1; done
sleep 0.3
shot crashed
score=$(tail -1 trace.jsonl.part | sed -n 's/.*"last_score":\([0-9]*\).*/\1/p')
[ -n "$score" ] && [ "$score" -gt 0 ] || fail "no game was played to its end"
line crashed "NEW BEST $score" highlight
if [ -n "$server" ]; then
  for _ in $(seq 300); do grep -q "was" game.out && break; sleep 0.1; done
  grep -qx "burrowrotor: hall of fame: MOVING SLOW $score by Desk Tester was accepted: rank 1 on the MOVING SLOW board" game.out ||
    fail "the hall of fame did not accept MOVING SLOW $score at rank 1: $(cat game.out game.err hall.log)"
fi
quit_game
grep -qx "MOVING SLOW $score" "$file" || fail "the file does not hold MOVING SLOW $score: $(cat "$file")"

step "the session with its pauses replays exactly headless"
"$headless" --frames "$(wc -l <trace.jsonl)" --input tape.txt --trace headless.jsonl || fail "burrowrotor-headless failed"
cmp trace.jsonl headless.jsonl || fail "the headless replay differs: $(diff trace.jsonl headless.jsonl | head -3)"
on_screen title title
on_screen game game

step "started again, the line shows the best of MOVING SLOW"
start_game
sleep 0.5
hold Up Right
shot again
line again "MOVING SLOW  BEST $score"
quit_game
"$game" --scores | grep -q "^MOVING  *$score " || fail "--scores does not list $score: $("$game" --scores 2>&1)"

# expect_start CASE PATTERN [WRAPPER...]: the game (a short run, through
# WRAPPER) starts, exits 0 and says PATTERN in one line.
expect_start() {
  local what=$1 pattern=$2
  shift 2
  cp "$file" before.txt 2>/dev/null
  "$@" "$game" --frames 20 >game.out 2>game.err || fail "$what: exit status $? ($(cat game.err))"
  [ "$(wc -l <game.err)" -eq 1 ] && grep -q "$pattern" game.err || fail "$what: stderr is not one line saying '$pattern': $(cat game.err)"
  echo "   $what: $(cat game.err)"
}
step "a damaged file is set aside"
printf 'burrowrotor best scores 1\nNORMAL SLOW 12\nNORMAL SLO' >"$file"
expect_start damaged "line 3: expected MODE SPEED SCORE.*kept it as $file.damaged"
cmp -s before.txt "$file.damaged" || fail "the damaged file was not kept whole"
[ -e "$file" ] && fail "a new table was written without a game"
step "an unreadable file (a folder in its place: root reads any file) is set aside"
mkdir "$file" && echo keep >"$file/x"
expect_start unreadable "Is a directory.*kept it as $file.damaged-2"
[ -f "$file.damaged-2/x" ] || fail "the unreadable file was not kept"
step "a read-only folder (a read-only mount, which binds root too): the scores are not kept"
printf 'burrowrotor best scores 1\nCOIN FAST 7\n' >"$file"
folder=$(dirname "$file")
if unshare -rm true 2>/dev/null; then
  echo "mount --bind '$folder' '$folder' && mount -o remount,bind,ro '$folder' && exec \"\$@\"" >ro.sh
  expect_start read-only "not kept this session: cannot write to $folder: Read-only file system" unshare -rm sh ro.sh
  grep -qx "COIN FAST 7" "$file" || fail "the table in the read-only folder changed"
else
  echo "   read-only folder: skipped (no user namespaces here)"
fi

step "the hall of fame never answers: NORMAL SLOW's new best, the game plays on, quits at once, keeps the tape"
python3 -c "import socket, time; s = socket.socket(); s.bind(('127.0.0.1', 0)); s.listen()
print(s.getsockname()[1], flush=True); time.sleep(60)" >sink.txt &
sink_pid=$!
for _ in $(seq 50); do [ -s sink.txt ] && break; sleep 0.1; done
start_game --trace trace.jsonl --submit "http://127.0.0.1:$(cat sink.txt)"
sleep 0.5
xdotool keydown space
for _ in $(seq 50); do tail -1 trace.jsonl.part | grep -q '"screen":"game"' && break; sleep 0.05; done
xdotool keyup space
for _ in $(seq 100); do tail -1 trace.jsonl.part | grep -q '"screen":"title"' && break; sleep 0.1; done
score=$(tail -1 trace.jsonl.part | sed -n 's/.*"last_score":\([0-9]*\).*/\1/p')
a=$(shown)
sleep 1
[ $(($(shown) - a)) -gt 30 ] || fail "the game stalled while sending to a server that never answers"
xdotool key Escape
for _ in $(seq 30); do kill -0 "$game_pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$game_pid" 2>/dev/null && fail "still running 3 s after Esc while sending"
wait "$game_pid"
game_pid=""
kept=$(sed -n 's/.*the tape is kept: burrowrotor --submit-tape \([^ ]*\) .*/\1/p' game.err)
who=${server:+Desk Tester}  # the name remembered from the first session
grep -q "^# hall of fame claim: mode 0 speed 0 score $score name ${who:-.*}$" "$kept" ||
  fail "no kept tape with the claim of NORMAL SLOW $score: $(cat game.err)"
if [ -n "$server" ]; then
  "$game" --submit-tape "$kept" --submit "$hall" >game.out 2>&1
  grep -qx "burrowrotor: hall of fame: NORMAL SLOW $score by Desk Tester was accepted: rank 1 on the NORMAL SLOW board" game.out ||
    fail "--submit-tape: $(cat game.out hall.log)"
fi
echo "PASS"
