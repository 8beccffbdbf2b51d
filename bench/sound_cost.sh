#!/usr/bin/env bash
# What the game's sound costs a desktop that runs a PulseAudio server: the game and the server
# side by side, with the game's sound on that server and with its sound device disabled
# (SDL_AUDIODRIVER=dummy), while play is stopped and while it runs at x1 with nobody pressing
# anything. Then the cue delay (kavarin-bench-cue).
#
# Everything runs on a server and an X display of its own, made here and removed on exit: a
# PulseAudio with a null sink, its native socket and runtime folder in a scratch folder, loading
# module-suspend-on-idle as desktops do; an Xvfb of 1024 x 768 (where the window opens at x1)
# with openbox. Each window of WINDOW_SECONDS (10) has one game of its own, started for it and
# ended after, the two kinds taking turns, WINDOWS (5) of each per state; medians are shown. CPU
# is the time on a core of all the process's threads (/proc schedstat), wake-ups their voluntary
# context switches.
#   bench/sound_cost.sh [BUILD_DIR]   (CUE_ONLY=1 measures the cue delay alone)
set -uo pipefail

build=${1:-build}
game=$build/app/kavarin
cue_bench=$build/bench/kavarin-bench-cue
window_seconds=${WINDOW_SECONDS:-10}
windows=${WINDOWS:-5}
for tool in pulseaudio pactl pacat Xvfb openbox xdotool; do
  command -v "$tool" >/dev/null || { echo "sound_cost: $tool is not installed (scripts/deps test)" >&2; exit 1; }
done
[ -x "$game" ] || { echo "sound_cost: no game at $game" >&2; exit 1; }

scratch=$(mktemp -d)
pids=()
current_game=
stop_all() {
  [ -n "$current_game" ] && kill "$current_game" 2>/dev/null
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
    kill "${pids[i]}" 2>/dev/null
  done
  wait 2>/dev/null
  rm -rf "$scratch"
}
trap stop_all EXIT
fail() { echo "sound_cost: $*" >&2; exit 1; }
await() {
  for _ in $(seq 100); do "$@" >/dev/null 2>&1 && return 0; sleep 0.1; done
  return 1
}

# The sound server.
mkdir -p "$scratch/pulse" "$scratch/home"
cat >"$scratch/pulse.pa" <<EOF
load-module module-null-sink sink_name=bench
set-default-sink bench
load-module module-native-protocol-unix auth-anonymous=1 socket=$scratch/pulse/native
load-module module-suspend-on-idle
EOF
export HOME=$scratch/home XDG_RUNTIME_DIR=$scratch/pulse XDG_CONFIG_HOME=$scratch/home
export PULSE_RUNTIME_PATH=$scratch/pulse PULSE_SERVER=unix:$scratch/pulse/native
# As root PulseAudio warns that it is meant for a user session; it runs as one all the same.
pulseaudio -n --daemonize=no --exit-idle-time=-1 --disallow-exit --use-pid-file=no --system=no \
  -F "$scratch/pulse.pa" >"$scratch/pulse.log" 2>&1 &
server=$!
pids+=($server)
await pactl info || fail "PulseAudio did not start: $(tail -3 "$scratch/pulse.log")"

# The display.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$scratch/display" 2>/dev/null &
pids+=($!)
await test -s "$scratch/display" || fail "Xvfb did not start"
export DISPLAY=:$(head -1 "$scratch/display")
openbox >"$scratch/openbox.log" 2>&1 &
pids+=($!)
await sh -c "xprop -root -notype _NET_SUPPORTING_WM_CHECK | grep -q 'window id'" ||
  await sh -c "xprop -root -notype _NET_SUPPORTING_WM_CHECK | grep -q 'window id'" ||
  fail "openbox did not start: $(tail -3 "$scratch/openbox.log")"

# Nanoseconds on a core of all threads of process $1, and their voluntary context switches.
cpu_ns() { cat /proc/"$1"/task/*/schedstat 2>/dev/null | awk '{ n += $1 } END { printf "%d\n", n }'; }
switches() {
  cat /proc/"$1"/task/*/status 2>/dev/null |
    awk '/^voluntary_ctxt_switches/ { n += $2 } END { print n + 0 }'
}

start_game() {  # driver -> pid
  env -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb SDL_AUDIODRIVER="$1" "$game" >/dev/null 2>&1 &
  local pid=$!
  await sh -c "xdotool search --onlyvisible --pid $pid | grep -q ." ||
    { kill "$pid"; fail "no window for the $1 game"; }
  echo "$pid"
}

# Starts play in game $1 with Space, and checks that it ticks.
start_play() {
  local pid=$1 id w0 w1 try
  id=$(xdotool search --onlyvisible --pid "$pid" | head -1)
  # A window just mapped may not take the key yet: try again while it does not tick.
  for try in 1 2 3; do
    xdotool windowactivate --sync "$id" key --window "$id" space 2>/dev/null
    sleep 0.5
    w0=$(switches "$pid"); sleep 1; w1=$(switches "$pid")
    [ $((w1 - w0)) -ge 50 ] && return 0
  done
  fail "play did not start in game $pid"
}

# One window: a game with sound driver $1, stopped or playing ($2), started afresh and ended
# after; its CPU and the server's in % of a core, and the game's wake-ups a second.
measure() {
  local pid g0 s0 w0 g1 s1 w1 t0 t1
  pid=$(start_game "$1") || return 1
  current_game=$pid
  if [ "$2" = playing ]; then start_play "$pid"; else sleep 1.5; fi
  t0=$(date +%s%N); g0=$(cpu_ns "$pid"); s0=$(cpu_ns "$server"); w0=$(switches "$pid")
  sleep "$window_seconds"
  t1=$(date +%s%N); g1=$(cpu_ns "$pid"); s1=$(cpu_ns "$server"); w1=$(switches "$pid")
  kill "$pid"
  wait "$pid" 2>/dev/null
  current_game=
  awk -v g=$((g1 - g0)) -v s=$((s1 - s0)) -v w=$((w1 - w0)) -v t=$((t1 - t0)) \
    'BEGIN { printf "%.4f %.4f %.2f\n", 100 * g / t, 100 * s / t, w * 1e9 / t }'
}

median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

declare -A result
run_state() {  # state name, stopped or playing
  local state=$1 w
  : >"$scratch/$state.pulse"; : >"$scratch/$state.dummy"
  for ((w = 0; w < windows; w++)); do
    measure pulseaudio "$2" >>"$scratch/$state.pulse" || exit 1
    measure dummy "$2" >>"$scratch/$state.dummy" || exit 1
  done
  local cfg col
  for cfg in pulse dummy; do
    for col in 1 2 3; do
      result[$state.$cfg.$col]=$(awk -v c=$col '{ print $c }' "$scratch/$state.$cfg" | median)
    done
    result[$state.$cfg.sum]=$(awk '{ print $1 + $2 }' "$scratch/$state.$cfg" | median)
  done
}

report() {  # state, target in % of a core
  local state=$1 target=$2 added
  added=$(awk -v a="${result[$state.pulse.sum]}" -v b="${result[$state.dummy.sum]}" 'BEGIN { printf "%.3f", a - b }')
  printf '%s (medians of %d windows of %d s, %% of a core):\n' "$state" "$windows" "$window_seconds"
  printf '  sound on the server:  game %.3f %%, server %.3f %%, together %.3f %%; game wakes %.1f/s\n' \
    "${result[$state.pulse.1]}" "${result[$state.pulse.2]}" "${result[$state.pulse.sum]}" "${result[$state.pulse.3]}"
  printf '  sound device off:     game %.3f %%, server %.3f %%, together %.3f %%; game wakes %.1f/s\n' \
    "${result[$state.dummy.1]}" "${result[$state.dummy.2]}" "${result[$state.dummy.sum]}" "${result[$state.dummy.3]}"
  printf '  the sound adds %s %% of a core  (target <= %s: %s)\n' "$added" "$target" \
    "$(awk -v a="$added" -v t="$target" 'BEGIN { print (a <= t) ? "met" : "MISSED" }')"
}

echo "Game $game; PulseAudio $(pulseaudio --version | awk '{ print $2 }') with a null sink; Xvfb 1024x768"
if [ "${CUE_ONLY:-0}" != 1 ]; then
run_state stopped stopped
report stopped 0.05
run_state "playing at x1" playing
report "playing at x1" 0.15

# A cue reaches the server: the left player fires in the game with its sound on.
pid=$(start_game pulseaudio) || exit 1
pids+=($pid)
start_play "$pid"
id=$(xdotool search --onlyvisible --pid "$pid" | head -1)
xdotool windowactivate --sync "$id" key --window "$id" s 2>/dev/null
await sh -c "pactl list short sink-inputs | grep -q ." || fail "the game's cue never reached the server"
await sh -c "! pactl list short sink-inputs | grep -q ." || fail "the game's stream stayed after its cue"
echo "a cue from the game reached the server; its stream was gone again after the cue"
fi

# The cue delay, with another client keeping the sink busy one step above silence, on a sink of
# its own that is never suspended (a monitor here records nothing once its sink has been).
if [ -x "$cue_bench" ]; then
  pactl unload-module module-suspend-on-idle
  pactl load-module module-null-sink sink_name=cues >/dev/null
  pactl set-default-sink cues
  # 1000 samples of 1, doubled 11 times: 46 s of the floor.
  printf '\001\000%.0s' $(seq 1000) >"$scratch/floor.raw"
  for _ in $(seq 11); do
    cat "$scratch/floor.raw" "$scratch/floor.raw" >"$scratch/floor2.raw"
    mv "$scratch/floor2.raw" "$scratch/floor.raw"
  done
  pacat -p -d cues --raw --format=s16le --channels=1 --rate=44100 --latency-msec=10 \
    "$scratch/floor.raw" &
  pids+=($!)
  sleep 3  # with less, the new sink's monitor often brought nothing before the first cue
  SDL_AUDIODRIVER=pulseaudio timeout 120 "$cue_bench" cues.monitor 10
else
  echo "no $cue_bench: the cue delay is not measured"
fi
