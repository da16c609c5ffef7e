#!/usr/bin/env bash
# Runs the examples of README.md and docs/*.md as a new user would after the
# README's two commands: every ```sh block, line by line in a bash -e shell, in
# a scratch folder that looks like a fresh clone with build/ built. Lines that
# start with `make`, `sudo` or `cd build && ctest` are not run: they are the
# build, the test suite and installing on this machine, which `make test` and
# the install test cover. The desktop game runs without a display (SDL's
# offscreen driver) and quits after 120 frames, as if the player pressed Esc.
#   examples_test.sh SOURCE_DIR BUILD_DIR SCRATCH
set -u
src=$1 build=$2 scratch=$3
rm -rf "$scratch" && mkdir -p "$scratch/build" || exit 1
shopt -s extglob
ln -s "$src"/!(build*|web) "$src"/.[!.]* "$scratch/" && ln -s "$build"/* "$scratch/build/" || exit 1
rm -f "$scratch/build/burrowrotor"
printf '#!/bin/sh\nSDL_VIDEODRIVER=offscreen exec timeout 120 %q "$@" --frames 120\n' \
  "$build/burrowrotor" > "$scratch/build/burrowrotor"
chmod +x "$scratch/build/burrowrotor"

failed=0 skipped=0
for doc in "$src"/README.md "$src"/docs/*.md; do
  # Each block becomes one script, run from the scratch folder.
  name=${doc#"$src"/} name=${name//\//_}
  awk -v prefix="$scratch/block-$name" '
    /^```sh$/ { inside = 1; file = sprintf("%s-%02d.sh", prefix, ++n); next }
    /^```/ { inside = 0; next }
    inside && ($0 ~ /^(make|sudo) / || $0 ~ /^cd build && ctest/) { print "# not run: " $0 > file; next }
    inside { print > file }' "$doc"
done
# A block that exits 77 is skipped, and so is every later block that names a
# file a skipped block names but did not make (the docs/handheld.md block that
# compares the ARM trace with the headless one, when the ARM run was skipped).
declare -A unmade=()  # file -> the skipped block that should have made it
for block in "$scratch"/block-*.sh; do
  [ -e "$block" ] || continue
  files=$(grep -v '^#' "$block" | grep -oE '[A-Za-z0-9_./-]*[./][A-Za-z0-9_./-]*' | sort -u) why='' status=77
  for f in $files; do [ -z "${unmade[$f]:-}" ] || why="needs $f, which the skipped ${unmade[$f]} makes"; done
  if [ -z "$why" ]; then
    (cd "$scratch" && env -u DISPLAY -u WAYLAND_DISPLAY bash -e "$block") > "$block.out" 2>&1
    status=$?
    why="status 77: $(tail -n 1 "$block.out")"
  fi
  if [ "$status" -eq 77 ]; then
    echo "SKIP $(basename "$block"): $why"; skipped=1
    for f in $files; do [ -e "$scratch/$f" ] || unmade[$f]=$(basename "$block"); done
  elif [ "$status" -ne 0 ]; then
    echo "FAIL $(basename "$block") (status $status):"; sed 's/^/    /' "$block"; tail -n 5 "$block.out"; failed=1
  else
    echo "ok   $(basename "$block")"
  fi
done
[ $failed -eq 0 ] || exit 1
[ $skipped -eq 0 ] || exit 77
