#!/usr/bin/env bash
# How long 600 frames of the desktop game take on the wall clock: the game is
# paced by our own 60 Hz clock, so that must be 10 s within 3 %. Runs
# `burrowrotor --frames 60` and `--frames 660` (title screen, no input) and
# takes the difference, which cancels start-up and window creation; three
# rounds, the median counts. Uses $DISPLAY, or a private Xvfb without one.
# Meant for an idle machine (`make bench-pacing`), not for the test suite.
#
#   pacing.sh BURROWROTOR
set -u
game=${1:?usage: pacing.sh BURROWROTOR}
xvfb_pid=""
trap '[ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null' EXIT
if [ -z "${DISPLAY:-}" ]; then
  command -v Xvfb >/dev/null || { echo "no DISPLAY and no Xvfb (make deps)"; exit 1; }
  fd_file=$(mktemp)
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fd_file" 2>/dev/null &
  xvfb_pid=$!
  for _ in $(seq 100); do [ -s "$fd_file" ] && break; sleep 0.1; done
  export DISPLAY=":$(head -1 "$fd_file")"
  rm -f "$fd_file"
fi

run_ns() {
  local start end
  start=$(date +%s%N)
  "$game" --frames "$1" >/dev/null || { echo "burrowrotor --frames $1 failed" >&2; exit 1; }
  end=$(date +%s%N)
  echo $((end - start))
}

results=()
for round in 1 2 3; do
  short=$(run_ns 60)
  long=$(run_ns 660)
  diff=$((long - short))
  results+=("$diff")
  awk -v r="$round" -v ns="$diff" 'BEGIN { printf "round %d: 600 frames in %.4f s\n", r, ns / 1e9 }'
done
median=$(printf '%s\n' "${results[@]}" | sort -n | sed -n 2p)
awk -v ns="$median" 'BEGIN { printf "median: 600 frames in %.4f s (%+.2f %% off 10 s; allowed 3 %%)\n", ns / 1e9, (ns - 1e10) / 1e8 }'
[ "$median" -ge 9700000000 ] && [ "$median" -le 10300000000 ]
