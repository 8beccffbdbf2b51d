#!/usr/bin/env bash
# The game on a private X server with one of SDL's virtual controllers plugged in: while play is
# stopped, all its threads together wake at most once a second (voluntary context switches from
# /proc). Then the controller's Start starts play, which shows the controller was seated and
# heard, and the count was not taken from a game that ignores it. Exit 77 when X tools are missing.
#   idle_wakeups_check.sh KAVARIN_EXE VIRTUAL_PAD_PRELOAD
set -uo pipefail

for tool in Xvfb openbox xdotool xprop; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done
game=$1
preload=$2
seconds=6

fail() { echo "FAIL: $*"; exit 1; }
# shellcheck source=../app/private_x.sh
. "$(dirname "$0")/../app/private_x.sh"

# Voluntary context switches of every thread of process $1, added up.
switches() {
  cat /proc/"$1"/task/*/status 2>/dev/null | awk '/^voluntary_ctxt_switches/ { n += $2 } END { print n + 0 }'
}

start_private_x 1280x1024
mkfifo "$scratch/pad"
env -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb SDL_AUDIODRIVER=dummy SDL_JOYSTICK_HIDAPI=0 \
  SDL_GAMECONTROLLER_IGNORE_DEVICES_EXCEPT=0x0000/0x0000 KAVARIN_PAD_FIFO="$scratch/pad" \
  LD_PRELOAD="$preload" "$game" &
game_pid=$!
pids+=($game_pid)
exec 4<>"$scratch/pad"  # held open, so the pad's thread blocks in its read until a line comes
await sh -c "xdotool search --onlyvisible --pid $game_pid | grep -q ." || fail "no game window"
sleep 2  # start-up settles: fonts, the first paint, the window manager's moves

before=$(switches "$game_pid")
sleep "$seconds"
after=$(switches "$game_pid")
idle=$((after - before))
echo "stopped, with a virtual controller: $idle wake-ups in $seconds s"
[ "$idle" -le "$seconds" ] || fail "the stopped game woke $idle times in $seconds s"

# Start on the controller: play runs, ticking 60 times a second.
echo start >&4
sleep 3
before=$(switches "$game_pid")
sleep 1
after=$(switches "$game_pid")
playing=$((after - before))
echo "playing: $playing wake-ups in 1 s"
[ "$playing" -ge 50 ] || fail "the controller's Start did not start play ($playing wake-ups in 1 s)"
kill -0 "$game_pid" || fail "the game is gone"
echo "ok"
