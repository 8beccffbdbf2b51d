#!/usr/bin/env bash
# The game keys on a real X server: layouts us, de, fr, ru and jp set with setxkbmap while the
# program runs, a switch between the layouts of one keymap, and Shift, Caps Lock and AltGr held.
# xdotool presses keys by X key code in a window that prints, for each key, its key code and the
# game's virtual key code; the printed lines must be exactly the expected ones.
#   x11_layouts_test.sh PROBE
set -euo pipefail
probe=$1
work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# A display of our own; -noreset keeps the keymap when the last client leaves.
Xvfb -displayfd 3 -screen 0 320x240x24 -nolisten tcp -noreset 3>"$work/display" 2>"$work/xvfb.log" &
pids+=($!)
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.05; done
[ -s "$work/display" ] || { echo "Xvfb did not start"; cat "$work/xvfb.log"; exit 1; }
export DISPLAY=":$(cat "$work/display")"
setxkbmap -layout us

QT_QPA_PLATFORM=xcb "$probe" >"$work/printed" 2>"$work/probe.log" &
pids+=($!)
window=$(timeout 10 xdotool search --sync --name '^kavarin-key-probe$' | head -1)
[ -n "$window" ] || { echo "the probe window did not appear"; cat "$work/probe.log"; exit 1; }
xdotool windowfocus --sync "$window"

expected="$work/expected"
: >"$expected"
# press KEYCODE:CODE...: each key pressed alone, and the code it must give.
press() {
  local pair keys=()
  for pair in "$@"; do
    keys+=("${pair%:*}")
    echo "${pair%:*} ${pair#*:}" >>"$expected"
  done
  xdotool key --clearmodifiers "${keys[@]}"
}
# with MODIFIER KEYCODE:CODE: the key pressed while the modifier key is held.
with() {
  printf '%s 0\n%s %s\n' "$1" "${2%:*}" "${2#*:}" >>"$expected"
  xdotool keydown "$1" key "${2%:*}" keyup "$1"
}
layout() { setxkbmap -option '' "$@"; }

# X key codes: the right player's places ] 35, [ 34, / 61, ; 47 on a US keyboard; the JIS : 48
# and ] 51; the letters' places A 38, Q 24, X 53, S 39; Space 65. Shift 50, Caps Lock 66, AltGr 108.
right_us=(35:221 34:219 61:191 47:186 48:0 51:0)
letters_us=(38:65 24:81 53:88 39:83 65:32 52:0 29:0)

press "${right_us[@]}" "${letters_us[@]}"

layout -layout de  # ü + ö - are the right player's; Y and Z trade places, A Q X S do not
press "${right_us[@]}" "${letters_us[@]}"
with 50 35:221  # Shift+"+" is "*"
with 108 24:81  # AltGr+Q is "@"
press 66:0 38:65 66:0  # Caps Lock on, A, off

layout -layout fr  # AZERTY: A and Q trade places, the right player's keys stay
press "${right_us[@]}" 24:65 38:81 53:88 39:83 65:32 47:186
with 50 47:186  # Shift+"m" is "M", still the US ";" place

layout -layout ru  # no Latin letters: A Q X S by their US places
press "${right_us[@]}" "${letters_us[@]}"
with 108 38:65

layout -layout jp  # JIS: ] 51, [ 35, / 61, : 48; the JIS ";" (47) and "@" (34) are not game keys
press 51:221 35:219 61:191 48:186 47:0 34:0 "${letters_us[@]}"
with 50 48:186  # Shift+":" is "*"

# Two layouts in one keymap. xdotool sends a key given by its code in the first layout, and a
# key given by a symbol of the second layout only in the second, switching layouts around it.
layout -layout fr,jp\(kana\)
press 24:65 38:81 47:186 48:0 51:0
# by kana: け is the fire key there, れ is not; む and め move; た and ち are not Latin letters.
printf '%s\n' "48 186" "47 0" "51 221" "61 191" "24 81" "38 65" >>"$expected"
xdotool key kana_KE kana_RE kana_MU kana_ME kana_TA kana_CHI
press 24:65 47:186

want=$(wc -l <"$expected")
for _ in $(seq 100); do [ "$(wc -l <"$work/printed")" -ge "$want" ] && break; sleep 0.05; done
if ! diff -u "$expected" "$work/printed"; then
  echo "The printed codes differ from the expected ones (- expected, + printed)."
  exit 1
fi
echo "$want keys on 6 keymaps gave the expected codes."
