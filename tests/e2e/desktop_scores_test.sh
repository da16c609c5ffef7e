#!/usr/bin/env bash
# Best scores and pause of the desktop game, in a real X window under Xvfb:
#  - P and then losing the focus pause (no frame shown, the line says PAUSED),
#    P and Pause resume; a game played to its crash shows NEW BEST, its score
#    is in the file, and the next start shows it as the best of its mode and
#    speed; the recorded session with its pauses replays exactly headless;
#  - a damaged file, an unreadable one and a read-only folder: the game still
#    starts, says what happened in one line, and the old file is never lost.
#
#   desktop_scores_test.sh BURROWROTOR BURROWROTOR_HEADLESS BURROW_STATUS_STRIP OUT_DIR
# Exit status 0 passed, 1 failed, 77 skipped (Xvfb or xdotool missing).
set -u
game=$1 headless=$2 strip=$3 out=$4
here=$(cd "$(dirname "$0")" && pwd)
. "$here/desktop_lib.sh"
command -v xlogo >/dev/null || { echo "skipped: xlogo is not installed (make deps)"; exit 77; }
file="$XDG_DATA_HOME/burrowrotor/best-scores.txt"
shown() { wc -l <trace.jsonl.part; }
# line SHOT TEXT [highlight]: the status line in SHOT is TEXT as the game draws it.
line() {
  "$strip" "$2" ${3:+highlight} >"$1-expected.bin" &&
    python3 "$here/desktop_frames.py" --scale 3 --strip "$1-line.rgb:$1-expected.bin" >/dev/null ||
    fail "$1: the status line does not read '$2'"
}
# still WHAT: after the frame in flight, no frame is shown for a second.
still() {
  local a b
  sleep 0.3; a=$(shown); sleep 1; b=$(shown)
  [ "$a" = "$b" ] || fail "$1: $((b - a)) frames shown while paused"
}

start_game --record tape.txt --trace trace.jsonl
sleep 1
step "P pauses: no frame, PAUSED beneath the frame"
press p
still "after P"
shot paused
line paused "PAUSED" highlight
press p
a=$(shown); sleep 1
[ $(($(shown) - a)) -gt 15 ] || fail "P did not resume"
step "another window takes the focus: paused until Pause, not when the focus comes back"
xlogo 2>/dev/null & other=$!
xdotool search --sync --name '^xlogo$' >/dev/null && xdotool windowfocus --sync "$(xdotool search --name '^xlogo$' | head -1)"
still "focus lost"
kill "$other"; wait "$other" 2>/dev/null
xdotool windowfocus --sync "$wid"
still "focus back"
press Pause
step "a game to its crash: NEW BEST"
xdotool keydown space sleep 0.3 keyup space
for _ in $(seq 100); do tail -1 trace.jsonl.part | grep -q '"screen":"title"' && break; sleep 0.1; done
sleep 0.3
shot crashed
score=$(tail -1 trace.jsonl.part | sed -n 's/.*"last_score":\([0-9]*\).*/\1/p')
[ -n "$score" ] && [ "$score" -gt 0 ] || fail "no game was played to its end"
line crashed "NEW BEST $score" highlight
quit_game
[ -s game.err ] && fail "wrote to stderr: $(cat game.err)"
grep -qx "NORMAL SLOW $score" "$file" || fail "the file does not hold NORMAL SLOW $score: $(cat "$file")"

step "the session with its pauses replays exactly headless"
"$headless" --frames "$(wc -l <trace.jsonl)" --input tape.txt --trace headless.jsonl || fail "burrowrotor-headless failed"
python3 "$here/desktop_frames.py" --scale 3 --trace trace.jsonl --replayed headless.jsonl || exit 1

step "started again, the line shows the best"
start_game
sleep 0.5
shot again
line again "NORMAL SLOW  BEST $score"
quit_game
"$game" --scores | grep -q "^NORMAL  *$score " || fail "--scores does not list $score: $("$game" --scores 2>&1)"

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
echo "PASS"
