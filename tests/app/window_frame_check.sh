#!/usr/bin/env bash
# Starts the game on a private X server with a window manager and checks where the frames of
# the main window and of the How-to-play window stand: frame, not client area, at the given
# screen positions. Exit 77 (skipped) when the X tools are missing.
#   window_frame_check.sh KAVARIN_EXE
set -uo pipefail

for tool in Xvfb openbox xdotool xprop xwininfo; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done
game=$1

fail() { echo "FAIL: $*"; exit 1; }
# shellcheck source=private_x.sh
. "$(dirname "$0")/private_x.sh"
visible() { xdotool search --onlyvisible --name "^$1\$" >/dev/null 2>&1; }

start_private_x 1280x1024

env -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb SDL_AUDIODRIVER=dummy "$game" &
pids+=($!)

# The visible client window with this exact title.
client() { xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -1; }

# Frame position as "X Y": the client's position less the frame extents the manager set.
frame_of() {
  local id=$1 x y extents
  x=$(xwininfo -id "$id" | awk '/Absolute upper-left X/{print $4}')
  y=$(xwininfo -id "$id" | awk '/Absolute upper-left Y/{print $4}')
  extents=$(xprop -id "$id" -notype _NET_FRAME_EXTENTS | sed -n 's/.*= *//p')
  [ -n "$extents" ] || return 1
  IFS=', ' read -r left _ top _ <<<"$extents"
  echo "$((x - left)) $((y - top))"
}

# The manager places the window after mapping it; wait for the frame to arrive where wanted.
expect_frame() {
  local title=$1 want=$2 id got=""
  await visible "$title" || fail "no window '$title'"
  id=$(client "$title")
  for _ in $(seq 50); do
    got=$(frame_of "$id") && [ "$got" = "$want" ] && break
    sleep 0.1
  done
  [ "$got" = "$want" ] || fail "frame of '$title' at '$got', wanted '$want'"
  echo "ok: frame of '$title' at $got"
}

expect_frame Kavarin "28 23"

# How to play, from the help menu by its access keys.
# A key that arrives before the menu has opened is lost, so try a few times.
xdotool windowactivate --sync "$(client Kavarin)" || fail "could not activate the game"
for _ in 1 2 3; do
  xdotool key Escape alt+h
  sleep 0.5
  xdotool key p
  for _ in $(seq 20); do visible 遊び方 && break 2; sleep 0.1; done
done
expect_frame 遊び方 "436 22"
