#!/usr/bin/env bash
# The namespace world holds: between two cone routers a direct exchange works once both sides
# have sent; a symmetric router breaks it; a TURN relay carries it across the symmetric one.
#   world_test.sh TURN_PROBE
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
probe=$1
source "$here/world.sh"
world_require
command -v python3 >/dev/null || { echo "SKIP: the world's checks need python3"; exit 77; }
failures=0
check() {
  if eval "$2"; then echo "ok: $1"; else echo "FAILED: $1"; failures=$((failures + 1)); fi
}

# Both players at once, each to the other router's WAN on the port it keeps.
exchange() {
  world_in pa timeout 10 python3 "$here/udp_peer.py" 40000 "$WORLD_WAN_B" 40000 4 >/dev/null &
  local a=$!
  world_in pb timeout 10 python3 "$here/udp_peer.py" 40000 "$WORLD_WAN_A" 40000 4 >/dev/null
  local b=$?
  wait "$a"
  [ $? = 0 ] && [ "$b" = 0 ]
}

world_up cone cone
check "cone and cone exchange directly" exchange
direct=$(world_count direct)
check "datagrams crossed between the routers ($direct)" '[ "${direct:-0}" -gt 0 ]'
world_down

world_up symmetric cone
check "a symmetric router breaks the direct exchange" '! exchange'

if ! command -v turnserver >/dev/null; then
  echo "SKIP (in part): coturn is not installed, the relay is not tried"
else
  dir=$(mktemp -d)
  secret=world-secret
  world_turn "$dir" "$secret" 30
  sleep 1
  user="$(($(date +%s) + 3600)):WORLD"
  pass=$(printf %s "$user" | python3 -c 'import sys,hmac,hashlib,base64;print(base64.b64encode(hmac.new(sys.argv[1].encode(),sys.stdin.buffer.read(),hashlib.sha1).digest()).decode())' "$secret")
  world_in pa timeout 15 "$probe" "$WORLD_TURN" 3478 "$user" "$pass" "$WORLD_WAN_B" 40000 8 >"$dir/probe.out" 2>"$dir/probe.err" &
  probe_pid=$!
  for _ in $(seq 50); do grep -q '^relayed' "$dir/probe.out" && break; sleep 0.1; done
  relayed=$(sed -n 's/^relayed \(.*\):\([0-9]*\)$/\1 \2/p' "$dir/probe.out")
  check "the player behind the symmetric router has a relayed address ($relayed)" '[ -n "$relayed" ]'
  if [ -n "$relayed" ]; then
    # shellcheck disable=SC2086
    check "the cone player reaches it through the relay and hears back" \
      'world_in pb timeout 10 python3 "$here/udp_peer.py" 40000 $relayed 4 >/dev/null'
  fi
  wait "$probe_pid"
  probe_rc=$?
  check "the relay echoed ($(cat "$dir/probe.err"))" '[ "$probe_rc" = 0 ]'
  relayedCount=$(world_count relayed)
  check "datagrams went through coturn's address ($relayedCount)" '[ "${relayedCount:-0}" -gt 0 ]'
  [ "$failures" = 0 ] || cat "$dir/turn.log" "$dir/probe.err" >&2
  rm -rf "$dir"
fi
world_down
[ "$failures" = 0 ]
