#!/usr/bin/env bash
# Two game windows on one private X server, a host and a guest over loopback, play a round driven
# by xdotool, each player flying their own ship from their own window, until the scoreboard is
# shown in both. Then the host exits: the guest is told in a message box. Both records must be
# the same, and the picture each window showed must be the one kavarin-replay draws from the
# record.
#   online_windows_check.sh KAVARIN_EXE KAVARIN_REPLAY_EXE
set -uo pipefail

for tool in Xvfb openbox xdotool xprop xwininfo import convert compare; do
  command -v "$tool" >/dev/null || { echo "FAIL: $tool is not installed"; exit 1; }
done
game=$1
replay=$2

fail() {
  echo "FAIL: $*"
  for f in host guest; do [ -f "$scratch/$f.err" ] && sed "s/^/$f: /" "$scratch/$f.err"; done
  exit 1
}
# shellcheck source=private_x.sh
. "$(dirname "$0")/private_x.sh"

# A screen small enough that the windows open at x1: the field is the last 300 rows of a window.
start_private_x 1024x600

run_game() {
  exec env -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb SDL_AUDIODRIVER=dummy "$game" "$@"
}

# A port nobody else uses: the host says so by not failing at once.
for _ in $(seq 20); do
  port=$((20000 + RANDOM % 40000))
  run_game --host "$port" --no-router --record "$scratch/host.txt" 2>"$scratch/host.err" &
  host_pid=$!
  sleep 0.5
  kill -0 "$host_pid" 2>/dev/null && break
done
pids+=("$host_pid")
await xdotool search --onlyvisible --name "ポート $port" || fail "the host's window is not waiting"
run_game --join "127.0.0.1:$port" --record "$scratch/guest.txt" 2>"$scratch/guest.err" &
guest_pid=$!
pids+=("$guest_pid")

# Both titles say they are connected.
connected() { [ "$(xdotool search --onlyvisible --name '接続中' | wc -l)" -eq 2 ]; }
await connected || fail "the two windows did not connect"
window_of() { xdotool search --all --onlyvisible --pid "$1" --name 'Kavarin' | head -1; }
host_win=$(window_of "$host_pid")
guest_win=$(window_of "$guest_pid")
[ -n "$host_win" ] && [ -n "$guest_win" ] || fail "windows not found"
echo "ok: connected, host window $host_win, guest window $guest_win"

press() {  # press WINDOW KEY [HOLD_SECONDS]
  xdotool windowactivate --sync "$1" >/dev/null 2>&1
  xdotool keydown "$2"
  sleep "${3:-0.05}"
  xdotool keyup "$2"
}
# The host starts the round with Space; each player steers their own ship from the whole
# keyboard, the host with the right player's keys and the guest with the left player's: a
# quarter of a second one way, a third the other, which leaves each ship a little moved and
# stopped again, well inside the blast.
press "$host_win" space
sleep 0.3
press "$host_win" bracketright 0.25
press "$host_win" slash 0.33
press "$guest_win" x 0.25
press "$guest_win" a 0.33
# Once the star has charged, the guest sets off the supernova: both ships are far from the edges.
sleep 1.6
press "$guest_win" space
sleep 6

shot() {  # shot WINDOW NAME: the window's last 300 rows, the field at x1
  # Both windows open at the same place: the one shot is raised and given time to repaint.
  xdotool windowactivate --sync "$1" >/dev/null 2>&1
  sleep 0.5
  import -window "$1" "$scratch/$2-window.png" || return 1
  local h
  h=$(identify -format '%h' "$scratch/$2-window.png")
  convert "$scratch/$2-window.png" -crop "400x300+0+$((h - 300))" +repage -colorspace gray \
    "$scratch/$2.pgm"
}
shot "$host_win" host || fail "no screenshot of the host"
shot "$guest_win" guest || fail "no screenshot of the guest"

# The host exits (Game > Exit, by its access keys); the guest is told why its match ended.
for _ in 1 2 3; do
  xdotool windowactivate --sync "$host_win" >/dev/null 2>&1
  xdotool key alt+g
  sleep 0.3
  xdotool key x
  await sh -c "! kill -0 $host_pid" && break
done
await sh -c "! kill -0 $host_pid" || fail "the host did not exit"
await xdotool search --onlyvisible --name '対戦相手が退出しました' ||
  fail "the guest's title does not say the other player left"
kill "$guest_pid" 2>/dev/null
wait "$guest_pid" 2>/dev/null

[ -s "$scratch/host.txt" ] || fail "the host wrote no record"
[ -s "$scratch/guest.txt" ] || fail "the guest wrote no record"
cmp -s "$scratch/host.txt" "$scratch/guest.txt" || fail "the two records differ"
grep -q '^down 65$' "$scratch/host.txt" && grep -q '^down 191$' "$scratch/host.txt" ||
  fail "the record does not hold each player's own-ship keys"
state=$("$replay" "$scratch/host.txt") || fail "kavarin-replay refused the record"
grep -q ' RoundOver=1 ' <<<"$state" && ! grep -q ' RightScore=0 LeftScore=0 ' <<<"$state" ||
  fail "the round did not end: $state"
echo "ok: records identical, the round scored"

# The picture of the record's end, as kavarin-replay draws it, is what both windows showed.
sed 's/^state$/field '"${scratch//\//\\/}"'\/expected.pgm/' "$scratch/host.txt" >"$scratch/draw.txt"
"$replay" "$scratch/draw.txt" || fail "kavarin-replay could not draw the record"
for who in host guest; do
  diff=$(compare -metric AE "$scratch/expected.pgm" "$scratch/$who.pgm" null: 2>&1)
  [ "$diff" = "0" ] || fail "the $who's window differs from the record's picture in $diff pixels"
done
echo "ok: both windows showed the scoreboard the record draws"
