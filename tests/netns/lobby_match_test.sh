#!/usr/bin/env bash
# Matches through a lobby across the namespace world (world.sh), with headless peers:
#   cone and cone          a direct path: the match's datagrams cross between the two routers,
#                          none through coturn;
#   cone and symmetric     the TURN relay carries it;
#   two behind one router  the LAN path.
# In each, both peers print the same final state, write the same record, and the record replays
# to that state; the guest's time from its start to the first frame both share is printed and
# bounded (1 s direct, 3 s relayed); a third player with the code once the match began is told
# there is no such room.
#   lobby_match_test.sh KAVARIN_REPLAY KAVARIN_LOBBY
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
replay=$1
lobby=$2
source "$here/world.sh"
world_require
command -v turnserver >/dev/null || { echo "SKIP: coturn (turnserver) is not installed"; exit 77; }
dir=$(mktemp -d)
cleanup() { world_down; rm -rf "$dir"; }
trap cleanup EXIT
failures=0
check() {
  if eval "$2"; then echo "ok: $1"; else echo "FAILED: $1"; failures=$((failures + 1)); fi
}

secret=lobby-world-secret
echo "$secret" >"$dir/secret"
# Both players' scripts: a start and a few thousand frames of each one's keys.
{ echo start; for i in $(seq 40); do echo "tick 60"; echo "down 16"; echo "tick 9"; echo "up 16"; done; } >"$dir/host.txt"
{ for i in $(seq 40); do echo "tick 50"; echo "down 38"; echo "tick 19"; echo "up 38"; done; } >"$dir/guest.txt"

servers() {
  world_turn "$dir" "$secret" 60
  world_in inet timeout 60 "$lobby" --listen "$WORLD_LOBBY:29171" --turn "$WORLD_TURN:3478" \
    --turn-secret-file "$dir/secret" 2>"$dir/lobby.err" &
  sleep 1
}

# play NAME HOST_NODE GUEST_NODE PATH BOUND_MS
play() {
  local name=$1 hnode=$2 gnode=$3 path=$4 bound=$5 code=""
  rm -f "$dir"/{h,g,x}.{out,err,rec} "$dir/r.out"
  world_in "$hnode" timeout 40 "$replay" --lobby "$WORLD_LOBBY" --new-room --record "$dir/h.rec" \
    "$dir/host.txt" >"$dir/h.out" 2>"$dir/h.err" &
  local hpid=$!
  for _ in $(seq 50); do code=$(sed -n '1s/^room //p' "$dir/h.out"); [ -n "$code" ] && break; sleep 0.1; done
  check "$name: the host has a room ($code)" '[ -n "$code" ]'
  world_in "$gnode" timeout 40 "$replay" --lobby "$WORLD_LOBBY" --room "$code" --record "$dir/g.rec" \
    "$dir/guest.txt" >"$dir/g.out" 2>"$dir/g.err" &
  local gpid=$!
  for _ in $(seq 100); do grep -qs "first shared frame" "$dir/g.err" && break; sleep 0.1; done
  # Someone else with the code, once the match has begun.
  world_in "$gnode" timeout 20 "$replay" --lobby "$WORLD_LOBBY" --room "$code" \
    "$dir/guest.txt" >"$dir/x.out" 2>"$dir/x.err"
  local xrc=$?
  check "$name: a third player with the code gets nothing (status $xrc)" \
    '[ "$xrc" = 1 ] && grep -q "no room" "$dir/x.err" && [ ! -s "$dir/x.out" ]'
  wait "$gpid"
  local grc=$?
  wait "$hpid"
  local hrc=$?
  check "$name: both peers finish (host $hrc, guest $grc)" '[ "$hrc" = 0 ] && [ "$grc" = 0 ]'
  check "$name: the same final state" \
    '[ "$(sed -n 2p "$dir/h.out")" = "$(cat "$dir/g.out")" ] && grep -q "^state " "$dir/g.out"'
  check "$name: the same record" 'cmp -s "$dir/h.rec" "$dir/g.rec"'
  "$replay" "$dir/h.rec" >"$dir/r.out" 2>/dev/null
  check "$name: the record replays to that state" 'cmp -s "$dir/r.out" "$dir/g.out"'
  check "$name: the guest took the $path path" 'grep -q "linked on the $path path" "$dir/g.err"'
  local ms
  ms=$(sed -n 's/.*first shared frame \([0-9]*\) ms.*/\1/p' "$dir/g.err")
  echo "measured: $name: guest start to first shared frame ${ms:-?} ms (bound $bound ms)"
  check "$name: connected within $bound ms" '[ -n "$ms" ] && [ "$ms" -le "$bound" ]'
  [ "$failures" = 0 ] || cat "$dir/h.err" "$dir/g.err" "$dir/lobby.err" >&2
}

world_up cone cone
servers
play "cone and cone" pa pb direct 1000
direct=$(world_count direct)
relayed=$(world_count relayed)
echo "measured: cone and cone: $direct datagrams between the routers, $relayed through coturn"
check "cone and cone: the match crossed between the routers, not through coturn" \
  '[ "${direct:-0}" -gt 100 ] && [ "${relayed:-0}" = 0 ]'
world_down

world_up cone symmetric
servers
play "cone and symmetric" pa pb relayed 3000
relayed=$(world_count relayed)
echo "measured: cone and symmetric: $relayed datagrams through coturn"
check "cone and symmetric: the match went through coturn" '[ "${relayed:-0}" -gt 100 ]'
world_down

world_up cone cone two
servers
play "one router" pa pa2 LAN 1000
world_down

[ "$failures" = 0 ]
