#!/bin/sh
# Burrowrotor on an ARM Linux handheld with SDL2. This script sits at the top
# of the device's ports folder, beside the game's own folder `burrowrotor/`;
# it picks the binary built for this processor, keeps the best scores and a
# log of the last run in that folder (the log elsewhere when the card is
# read-only), and starts the game fullscreen. Any
# arguments are passed on to the game (burrowrotor --help lists them).
here=$(cd "$(dirname "$0")" && pwd -P) || exit 1
game="$here/burrowrotor"
# The log goes in the game's folder; on a read-only card into the first
# writable one of the user's state folder and the temporary folder.
log=/dev/null
state=${XDG_STATE_HOME:-${HOME:+$HOME/.local/state}}
for folder in "$game" "${state:+$state/burrowrotor}" "${TMPDIR:-/tmp}/burrowrotor"; do
  # (In a subshell: a failed redirection of `:` ends the shell that runs it.)
  if mkdir -p "$folder" 2>/dev/null && (: >"$folder/log.txt") 2>/dev/null; then
    log="$folder/log.txt"
    break
  fi
done
exec 3>&2 >>"$log" 2>&1
# Why the game cannot start: in the log, and on the launcher's own stderr,
# which the firmware may show or keep when the log is nowhere to be found.
cannot_start() {
  echo "$1"
  echo "Burrowrotor: $1 (log: $log)" >&3
  exit 1
}

echo "Burrowrotor, started $(date '+%Y-%m-%d %H:%M:%S')"
machine=$(uname -m)
case "$machine" in
  aarch64 | arm64) build=arm64 ;;
  armv7l | armv8l | armhf) build=armhf ;;
  *) cannot_start "no Burrowrotor binary for this processor ($machine); there are arm64 and armhf" ;;
esac
# A 64-bit kernel may run a 32-bit system: take the binary its loader runs.
if [ "$build" = arm64 ] && [ ! -e /lib/ld-linux-aarch64.so.1 ] && [ -e /lib/ld-linux-armhf.so.3 ]; then
  build=armhf
fi
binary="$game/burrowrotor.$build"
echo "port folder: $game"
echo "processor: $machine, binary: burrowrotor.$build"
[ -f "$binary" ] || cannot_start "$binary is missing; copy the whole burrowrotor folder again"
[ -x "$binary" ] || chmod +x "$binary" 2>/dev/null || cannot_start "$binary cannot be made executable"

# The best scores live in the port folder, so they move with it.
XDG_DATA_HOME="$game/data"
export XDG_DATA_HOME
mkdir -p "$XDG_DATA_HOME"
# The built-in gamepad: the mapping the firmware exports, else one from the
# mapping file it names, else from gamecontrollerdb.txt in the game folder.
if [ -z "${SDL_GAMECONTROLLERCONFIG:-}" ]; then
  for db in "${SDL_GAMECONTROLLERCONFIG_FILE:-}" "$game/gamecontrollerdb.txt"; do
    if [ -n "$db" ] && [ -f "$db" ]; then
      SDL_GAMECONTROLLERCONFIG=$(grep -v '^#' "$db")
      export SDL_GAMECONTROLLERCONFIG
      echo "controller mappings from $db"
      break
    fi
  done
fi

cd "$game" || exit 1
"$binary" --fullscreen "$@" 3>&-
status=$?
echo "exit status $status"
exit "$status"
