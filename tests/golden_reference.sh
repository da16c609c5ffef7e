#!/bin/sh
# Builds the headless runner of an earlier commit, to show what a golden run
# looked like when its hash list was written.
#   tests/golden_reference.sh SOURCE_DIR COMMIT OUT_DIR
# Leaves OUT_DIR/burrowrotor-headless; does nothing if it is already there.
set -eu
src=$1 commit=$2 out=$3
[ -x "$out/burrowrotor-headless" ] && exit 0
rm -rf "$out/src" "$out/build"
mkdir -p "$out/src"
git -C "$src" archive "$commit" | tar -x -C "$out/src"
generator="Unix Makefiles"
command -v ninja >/dev/null 2>&1 && generator=Ninja
cmake -S "$out/src" -B "$out/build" -G "$generator" -DCMAKE_BUILD_TYPE=RelWithDebInfo >"$out/build.log" 2>&1
cmake --build "$out/build" -j 2 --target burrowrotor-headless >>"$out/build.log" 2>&1
cp "$out/build/burrowrotor-headless" "$out/burrowrotor-headless"
