#!/usr/bin/env bash
# Starts the game on a private 1920 x 1080 X server with a window manager and checks its windows
# as the manager shows them: where the main window's frame stands, that How to play opens beside
# the field at x1 (at its old place), x2 and x3 and never over it, which buttons the manager
# offers on each window, and that the captions follow the desktop's language. Exit 77 (skipped)
# when the X tools are missing.
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
# The visible client window with this exact title.
client() { xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -1; }

# The frame as "X Y WIDTH HEIGHT": the client's place and size with the extents the manager set.
frame_of() {
  local id=$1 info x y w h extents
  info=$(xwininfo -id "$id") || return 1
  x=$(awk '/Absolute upper-left X/{print $4}' <<<"$info")
  y=$(awk '/Absolute upper-left Y/{print $4}' <<<"$info")
  w=$(awk '/Width:/{print $2}' <<<"$info")
  h=$(awk '/Height:/{print $2}' <<<"$info")
  extents=$(xprop -id "$id" -notype _NET_FRAME_EXTENTS | sed -n 's/.*= *//p')
  [ -n "$extents" ] || return 1
  IFS=', ' read -r left right top bottom <<<"$extents"
  echo "$((x - left)) $((y - top)) $((w + left + right)) $((h + top + bottom))"
}

# Waits until the window's frame stands still (the manager places a window after mapping it).
settled_frame() {
  local id=$1 last="" now
  for _ in $(seq 30); do
    now=$(frame_of "$id") && [ "$now" = "$last" ] && { echo "$now"; return 0; }
    last=$now
    sleep 0.2
  done
  return 1
}

# What the manager lets the user do with a window, as its action names without the prefix.
actions_of() {
  xprop -id "$1" -notype _NET_WM_ALLOWED_ACTIONS | sed -n 's/.*= *//p' | tr -d ' ' | tr ',' '\n' |
    sed 's/^_NET_WM_ACTION_//'
}

# expect_actions TITLE ID [MINIMIZE]: the window may be closed and moved, and minimised only when
# asked; it is never resized or maximised. Both what the game asks of any window manager (the
# Motif hints' functions: 0x08 minimise, 0x10 maximise) and what openbox then allows are checked.
# Openbox lets every window be minimised whatever it asks, so there a dialog's minimise is not
# looked for in what openbox allows.
expect_actions() {
  local title=$1 id=$2 actions functions
  shift 2
  functions=$(xprop -id "$id" -notype _MOTIF_WM_HINTS | sed -n 's/.*= *//p' | cut -d, -f2)
  [ -n "$functions" ] || fail "'$title' has no Motif hints"
  [ $((functions & 0x10)) = 0 ] || fail "'$title' asks for a maximise button ($functions)"
  if [ "${1:-}" = MINIMIZE ]; then
    [ $((functions & 0x08)) != 0 ] || fail "'$title' asks for no minimise button ($functions)"
  else
    [ $((functions & 0x08)) = 0 ] || fail "'$title' asks for a minimise button ($functions)"
  fi
  actions=$(actions_of "$id")
  for want in CLOSE MOVE "$@"; do
    grep -qx "$want" <<<"$actions" || fail "'$title' cannot $want: $(echo $actions)"
  done
  for never in RESIZE MAXIMIZE_HORZ MAXIMIZE_VERT; do
    grep -qx "$never" <<<"$actions" && fail "'$title' offers $never: $(echo $actions)"
  done
  echo "ok: '$title' offers $(echo $actions)"
}

# Opens How to play from the help menu by its access keys (the same in both languages); a key
# that arrives before the menu has opened is lost, so it tries a few times.
open_how_to_play() {
  local main=$1 title=$2
  for _ in 1 2 3; do
    xdotool windowactivate --sync "$main" >/dev/null 2>&1
    xdotool key Escape alt+h
    sleep 0.5
    xdotool key p
    for _ in $(seq 20); do visible "$title" && return 0; sleep 0.1; done
  done
  fail "How to play ('$title') did not open"
}

close_how_to_play() {
  local id=$1 title=$2
  for _ in 1 2 3; do
    xdotool windowactivate --sync "$id" >/dev/null 2>&1
    xdotool key alt+F4  # openbox's close
    for _ in $(seq 20); do visible "$title" || return 0; sleep 0.1; done
  done
  fail "How to play did not close"
}

# Whether two frames "X Y W H" share a pixel.
overlap() {
  read -r ax ay aw ah <<<"$1"
  read -r bx by bw bh <<<"$2"
  [ "$ax" -lt $((bx + bw)) ] && [ "$bx" -lt $((ax + aw)) ] &&
    [ "$ay" -lt $((by + bh)) ] && [ "$by" -lt $((ay + ah)) ]
}

start_private_x 1920x1080

# The C locale chooses no language: the game's own Japanese. (Its UTF-8 form, so that the old
# WM_NAME that xdotool reads carries the Japanese titles whole.)
env -u WAYLAND_DISPLAY -u LANGUAGE -u LC_ALL -u LC_MESSAGES LANG=C.UTF-8 QT_QPA_PLATFORM=xcb \
  SDL_AUDIODRIVER=dummy "$game" &
pids+=($!)
await visible Kavarin || fail "no window 'Kavarin'"
main=$(client Kavarin)
main_frame=$(settled_frame "$main") || fail "the main window's frame did not settle"
read -r mx my _ <<<"$main_frame"
[ "$mx $my" = "28 23" ] || fail "frame of 'Kavarin' at '$mx $my', wanted '28 23'"
echo "ok: frame of 'Kavarin' at $mx $my"
expect_actions Kavarin "$main" MINIMIZE

# The window opens at x2 on this screen; then x1, then x3. Each zoom key changes the frame.
for zoom in 2 1 3; do
  case $zoom in
    1) key=ctrl+minus ;;
    3) key="ctrl+equal" ;;
    *) key="" ;;
  esac
  if [ -n "$key" ]; then
    before=$main_frame
    xdotool windowactivate --sync "$main" >/dev/null 2>&1
    [ $zoom = 3 ] && { xdotool key ctrl+equal; sleep 0.3; }
    xdotool key "$key"
    for _ in $(seq 30); do
      main_frame=$(settled_frame "$main") && [ "$main_frame" != "$before" ] && break
      sleep 0.1
    done
  fi
  read -r _ _ mw _ <<<"$main_frame"
  [ "$mw" -ge $((400 * zoom)) ] && [ "$mw" -lt $((400 * zoom + 100)) ] ||
    fail "the main window's frame '$main_frame' is not the field at x$zoom"

  open_how_to_play "$main" 遊び方
  page=$(client 遊び方)
  page_frame=$(settled_frame "$page") || fail "How to play's frame did not settle"
  read -r px py _ <<<"$page_frame"
  overlap "$main_frame" "$page_frame" &&
    fail "at x$zoom How to play ($page_frame) covers the main window ($main_frame)"
  if [ $zoom = 1 ]; then
    [ "$px $py" = "436 22" ] || fail "at x1 How to play opened at '$px $py', wanted '436 22'"
  else
    read -r mx my mw _ <<<"$main_frame"
    [ "$px $py" = "$((mx + mw)) $my" ] ||
      fail "at x$zoom How to play opened at '$px $py', not against the main window ($main_frame)"
  fi
  echo "ok: at x$zoom How to play at $page_frame, the main window at $main_frame"
  [ $zoom = 2 ] && expect_actions 遊び方 "$page"
  close_how_to_play "$page" 遊び方
done

# Version information: close only, at its own place.
xdotool windowactivate --sync "$main" >/dev/null 2>&1
for _ in 1 2 3; do
  xdotool key Escape alt+h
  sleep 0.5
  xdotool key a
  for _ in $(seq 20); do visible ﾊﾞｰｼﾞｮﾝ情報 && break 2; sleep 0.1; done
done
visible ﾊﾞｰｼﾞｮﾝ情報 || fail "Version information did not open"
expect_actions ﾊﾞｰｼﾞｮﾝ情報 "$(client ﾊﾞｰｼﾞｮﾝ情報)"
kill "${pids[-1]}"
wait "${pids[-1]}" 2>/dev/null
unset 'pids[-1]'

# An English desktop gets the English captions; How to play keeps its access keys.
env -u WAYLAND_DISPLAY -u LANGUAGE -u LC_ALL -u LC_MESSAGES LANG=en_US.UTF-8 QT_QPA_PLATFORM=xcb \
  SDL_AUDIODRIVER=dummy "$game" &
pids+=($!)
await visible Kavarin || fail "no window 'Kavarin' in English"
open_how_to_play "$(client Kavarin)" "How to Play"
echo "ok: in English How to play is 'How to Play'"
kill "${pids[-1]}"
wait "${pids[-1]}" 2>/dev/null
unset 'pids[-1]'

# --lang overrides the desktop, here one whose user has chosen English. (The C.UTF-8 locale,
# which every system has, so that the Japanese title reaches xdotool whole.)
env -u WAYLAND_DISPLAY -u LC_ALL -u LC_MESSAGES LANG=C.UTF-8 LANGUAGE=en QT_QPA_PLATFORM=xcb \
  SDL_AUDIODRIVER=dummy "$game" --lang ja &
pids+=($!)
await visible Kavarin || fail "no window 'Kavarin' with --lang ja"
open_how_to_play "$(client Kavarin)" 遊び方
echo "ok: with --lang ja How to play is '遊び方' on an English desktop"
