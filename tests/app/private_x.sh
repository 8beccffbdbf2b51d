# Sourced by the window tests that need an X server of their own: a private Xvfb with openbox,
# and everything they start stopped again on exit.
#   start_private_x WIDTHxHEIGHT   starts both and exports DISPLAY; fails the test if it cannot
#   pids+=($!)                     adds a process to stop on exit (last started, first stopped)
#   await COMMAND...               polls COMMAND for up to 10 s
#   $scratch                       a scratch folder, removed on exit (copied to $KAVARIN_KEEP if set)

pids=()
scratch=$(mktemp -d)
stop_all() {
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[i]}" 2>/dev/null; done
  wait 2>/dev/null
  [ -n "${KAVARIN_KEEP:-}" ] && cp -r "$scratch" "$KAVARIN_KEEP"
  rm -rf "$scratch"
}
trap stop_all EXIT

await() {
  for _ in $(seq 100); do "$@" >/dev/null 2>&1 && return 0; sleep 0.1; done
  return 1
}

start_private_x() {
  # The server picks a free display itself and writes its number once it is ready, so
  # concurrent runs never share one.
  Xvfb -displayfd 3 -screen 0 "$1x24" -nolisten tcp 3>"$scratch/display" 2>/dev/null &
  pids+=($!)
  await test -s "$scratch/display" || fail "Xvfb did not start"
  DISPLAY=:$(head -1 "$scratch/display")
  export DISPLAY
  openbox >/dev/null 2>&1 &
  pids+=($!)
  await sh -c "xprop -root -notype _NET_SUPPORTING_WM_CHECK | grep -q 'window id'" ||
    fail "openbox did not start"
}
