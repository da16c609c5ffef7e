#!/bin/sh
# The port folder's launch script, with stub binaries and a faked `uname -m`
# (a `uname` first on PATH): from any working directory it finds its folder,
# picks the binary for the processor, passes --fullscreen and the player's
# arguments, keeps scores and the log in the folder, hands the gamepad mapping
# file to SDL, and returns the game's exit status; on a read-only card it logs
# elsewhere and says on stderr why the game cannot start.
#
#   launch_test.sh BURROWROTOR_SH OUT_DIR
set -u
script=$1 out=$2
rm -rf "$out" && mkdir -p "$out/ports/burrowrotor" "$out/bin" "$out/elsewhere" || exit 1
out=$(cd "$out" && pwd -P)
game="$out/ports/burrowrotor"
cp "$script" "$out/ports/Burrowrotor.sh" || exit 1
status=0
fail() { echo "FAIL: $*"; status=1; }

# shellcheck disable=SC2016
printf '#!/bin/sh\n[ "$1" = -m ] && echo "$FAKE_MACHINE" || echo Linux\n' >"$out/bin/uname"
for build in arm64 armhf; do
  # A stub game: says who it is, where it runs and what it was given.
  cat >"$game/burrowrotor.$build" <<STUB
#!/bin/sh
echo "stub $build in \$(pwd) args \$* scores \$XDG_DATA_HOME pad \${SDL_GAMECONTROLLERCONFIG:-none}"
exit 3
STUB
done
# The armhf stub is not executable, as after a copy onto a card that kept no modes.
chmod +x "$out/bin/uname" "$game/burrowrotor.arm64"
echo "# a comment
0300000000000000000000000000000,Handheld pad,a:b0,back:b6,start:b7,platform:Linux," >"$game/gamecontrollerdb.txt"

for case in aarch64:arm64 armv7l:armhf armv8l:armhf armhf:armhf x86_64:none; do
  machine=${case%%:*} want=${case#*:}
  (cd "$out/elsewhere" && PATH="$out/bin:$PATH" FAKE_MACHINE=$machine SDL_GAMECONTROLLERCONFIG='' \
    sh ../ports/Burrowrotor.sh --show-fps)
  got=$?
  log=$(cat "$game/log.txt" 2>/dev/null) || { fail "$machine: no log.txt in the port folder"; continue; }
  if [ "$want" = none ]; then
    [ "$got" -ne 0 ] || fail "$machine: exit status 0 without a binary to run"
    echo "$log" | grep -q "no Burrowrotor binary for this processor ($machine)" || fail "$machine: log says: $log"
    continue
  fi
  [ "$got" -eq 3 ] || fail "$machine: exit status $got, expected the game's 3"
  expect="stub $want in $game args --fullscreen --show-fps scores $game/data pad 0300000000000000000000000000000,Handheld pad"
  echo "$log" | grep -qF "$expect" || fail "$machine: expected '$expect' in the log, which says: $log"
  echo "$log" | grep -q "exit status 3" || fail "$machine: the log misses the exit status: $log"
  [ -d "$game/data" ] || fail "$machine: no score folder $game/data"
done
# A read-only card (root writes anywhere, so log.txt is a folder here): the log
# goes to the user's state folder, and why the game cannot start to stderr too.
rm -f "$game/log.txt" && mkdir "$game/log.txt" && log=$out/state/burrowrotor/log.txt
err=$(cd "$out/elsewhere" && PATH="$out/bin:$PATH" FAKE_MACHINE=x86_64 XDG_STATE_HOME="$out/state" sh ../ports/Burrowrotor.sh 2>&1 >/dev/null)
{ echo "$err" | grep -qF "processor (x86_64); there are arm64 and armhf (log: $log)" && grep -qF "(x86_64)" "$log"; } ||
  fail "read-only card: the reason is missing from stderr (which says: $err) or from $log"
[ "$status" -eq 0 ] && echo PASS
exit "$status"
