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
#  - a damaged file (set aside), an unreadable one or one of a later version
#    (left alone) and a read-only folder: the game still starts, says what
#    happened in one line, and the old file is never lost;
#  - sound through SDL's disk driver: a golden tape replayed gives the samples
#    of burrowrotor-headless --wav; --mute and a long pause give silence;
#  - with a BURROWROTOR_SERVER on a loopback port, --submit sends the new best
#    and prints its verdict and rank; with a loopback port that never answers,
#    the game plays on, quits at once and keeps the tape, which --submit-tape
#    sends to the server.
#
#   desktop_test.sh BURROWROTOR BURROWROTOR_HEADLESS BURROW_WINDOW_SHOT OUT_DIR [BURROWROTOR_SERVER]
# Exit status 0 passed, 1 failed, 77 skipped (Xvfb or xdotool missing, or no
# read-only mount can be made).
set -u
game=$1 headless=$2 shot_tool=$3 out=$4 server=${5:-}
here=$(cd "$(dirname "$0")" && pwd)
for tool in Xvfb xdotool xwd xlogo xprop convert; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed (make deps)"; exit 77; }
done
rm -rf "$out" && mkdir -p "$out" && cd "$out" || exit 1
# The best scores of these runs go here, never into the tester's home.
export XDG_DATA_HOME="$out/data"
# A sound device that is always there (the sound steps at the end use the disk).
export SDL_AUDIODRIVER=dummy
golden=$here/../data/golden-coin-fast.tape
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
# window, found by its class, the desktop file's id; it gets the keyboard (no
# window manager runs).
start_game() {
  "$game" "$@" >game.out 2>game.err &
  game_pid=$!
  wid=$(timeout 10 xdotool search --sync --class '^org\.burrowrotor\.Burrowrotor$' | head -1)
  [ -n "$wid" ] || fail "no window of class org.burrowrotor.Burrowrotor appeared; stderr: $(cat game.err)"
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
xprop -id "$wid" _NET_WM_ICON | grep -q 'Icon (100 x 100)' || fail "the window has no icon (the chopper at x2)"
sleep 1
shot title
step "P pauses: no frame, PAUSED beneath the frame"
xdotool key p
still "after P"
shot paused
line paused "PAUSED" highlight
# Six cells centred: the first at x (320 - 48) / 2 = 136, the P inked from its second column.
[ "$("$shot_tool" ink <paused-line.rgb)" = "137 FFC0" ] || fail "PAUSED does not begin at x 137 in the score line's yellow FFC0"
step "at 640x480 the line does not fit: the picture is dimmed with PAUSED over it"
xdotool windowsize "$wid" 640 480 sleep 0.5
xwd -silent -id "$wid" -out small.xwd || fail "screenshot small"
mean() { convert "xwd:$1.xwd" -format '%[fx:int(1000*mean)]' info:; }
[ "$(mean small)" -lt $(($(mean title) * 6 / 10)) ] || fail "paused at 640x480: the picture is not dimmed"
xdotool windowsize "$wid" 960 768 sleep 0.5
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
step "M mutes: MUTED beneath the frame, kept in settings.txt; M again: SOUND ON"
xdotool key m
sleep 0.3
shot muted
line muted "MUTED" highlight
grep -qx "mute 1" "$XDG_DATA_HOME/burrowrotor/settings.txt" || fail "settings.txt does not keep the mute"
xdotool key m

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
step "a file that cannot be read (a folder in its place: root reads any file) or of a later version is left alone"
mkdir "$file"
expect_start unreadable "best-scores.txt: Is a directory; left as it is, so this session's scores are not kept"
rm -r "$file" && printf 'burrowrotor best scores 2\nCOIN FAST 7 and more\n' >"$file"
expect_start "later version" "format version '2' is not known.*left as it is"
cmp -s before.txt "$file" || fail "the table of a later version changed"
step "a read-only folder (a read-only mount, which binds root too): the scores are not kept"
printf 'burrowrotor best scores 1\nCOIN FAST 7\n' >"$file"
folder=$(dirname "$file")
echo "mount --bind '$folder' '$folder' && mount -o remount,bind,ro '$folder' && exec \"\$@\"" >ro.sh
# Only where the mount is made and really refuses a write can the step run.
if unshare -rm sh ro.sh sh -c "! touch '$folder/probe'" 2>/dev/null; then
  expect_start read-only "not kept this session: cannot write to $folder: Read-only file system" unshare -rm sh ro.sh
  grep -qx "COIN FAST 7" "$file" || fail "the table in the read-only folder changed"
else
  echo "SKIPPED: the read-only folder step (no read-only mount here); every other step passed" && exit 77
fi

# disk ARGS...: the game with SDL's disk audio, read faster than it plays.
disk() { SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=disk.raw SDL_DISKAUDIODELAY=4 "$game" --scale 1 "$@" 2>disk.err; }
step "sound: the golden coin run through SDL's disk audio has the samples of headless --wav"
disk --replay "$golden" --frames 1121 || fail "the replay with disk audio failed: $(cat disk.err)"
"$headless" --input "$golden" --frames 1121 --wav golden.wav || fail "burrowrotor-headless --wav failed"
python3 "$here/same_sound.py" disk.raw golden.wav || fail "the desktop's sound is not the runner's"
step "--mute: silence"
disk --replay "$golden" --frames 200 --mute || fail "--mute failed: $(cat disk.err)"
[ "$(wc -c <disk.raw)" -gt 200000 ] && cmp -s disk.raw <(head -c "$(wc -c <disk.raw)" /dev/zero) || fail "--mute is not silent"
step "a pause of over 120 frames in a game is silent, and the rotor comes back after it"
: >game.err
disk --replay "$golden" --trace trace.jsonl &
game_pid=$!
wid=$(timeout 10 xdotool search --sync --name '^Burrowrotor$' | head -1)
xdotool windowfocus --sync "$wid"
for _ in $(seq 100); do tail -1 trace.jsonl.part | grep -q '"screen":"game"' && break; sleep 0.1; done
xdotool key p
sleep 3
xdotool key p
sleep 1
quit_game
od -An -v -td2 -w2 disk.raw | awk '$1 == 0 { z++; next } { if (z > 96000) long++; if (long) after++; z = 0 }
  END { exit !(long && after > 10000) }' || fail "no silence of 120 frames with sound after it"
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
sleep 2
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
