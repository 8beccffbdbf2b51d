#!/usr/bin/env bash
# A host behind a home router asks it to forward its port. The test makes its own network
# namespaces: a router running miniupnpd (UPnP IGD and NAT-PMP) with nftables, a LAN on 10.77.0.0/24
# with the host (and a second LAN machine), and a WAN on 192.0.2.0/24 (documentation addresses)
# with the guest. Nothing leaves the namespaces, and they are removed on any exit.
#   router_ports_test.sh KAVARIN_REPLAY [KAVARIN]
# With the game given, its window's title is checked too (on a private X server).
# Exit status 77 (skipped) without root or without the tools.
set -uo pipefail

replay=${1:?usage: router_ports_test.sh KAVARIN_REPLAY [KAVARIN]}
game=${2:-}
skip() { echo "SKIP: $*"; exit 77; }
[ "$(id -u)" -eq 0 ] || skip "needs root to make network namespaces"
for tool in ip nft miniupnpd timeout; do
  command -v "$tool" >/dev/null || skip "needs $tool (scripts/deps test installs it)"
done

# Debian's libminiupnpc reads an HTTP header's number with strtol on a buffer that is not
# NUL-terminated; strtol stops at the "\r\n" after the digits, but AddressSanitizer's strict
# string checks take the whole buffer as read. Those checks stay on for everything else.
[ -n "${ASAN_OPTIONS:-}" ] && export ASAN_OPTIONS="$ASAN_OPTIONS:strict_string_checks=0"

tag="kvr$$"
router="$tag-router" host="$tag-host" lan2="$tag-lan2" guest="$tag-guest"
work=$(mktemp -d)
daemon="" stun=""
cleanup() {
  for pid in $daemon $stun; do kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null; done
  for ns in "$router" "$host" "$lan2" "$guest"; do ip netns del "$ns" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
in_ns() {
  local ns=$1
  shift
  ip netns exec "$ns" "$@"
}

# --- The network --------------------------------------------------------------------------
for ns in "$router" "$host" "$lan2" "$guest"; do
  ip netns add "$ns" || skip "cannot make network namespaces here"
  in_ns "$ns" ip link set lo up
done
ip link add lan0 netns "$router" type bridge
in_ns "$router" ip link set lan0 up
in_ns "$router" ip addr add 10.77.0.1/24 dev lan0
for pair in "$host:10.77.0.2" "$lan2:10.77.0.3"; do
  ns=${pair%%:*} addr=${pair#*:}
  ip link add eth0 netns "$ns" type veth peer name "p-${addr##*.}" netns "$router"
  in_ns "$router" ip link set "p-${addr##*.}" master lan0 up
  in_ns "$ns" ip addr add "$addr/24" dev eth0
  in_ns "$ns" ip link set eth0 up
  in_ns "$ns" ip route add default via 10.77.0.1
done
ip link add wan0 netns "$router" type veth peer name eth0 netns "$guest"
in_ns "$router" ip addr add 192.0.2.1/24 dev wan0
in_ns "$router" ip link set wan0 up
in_ns "$guest" ip addr add 192.0.2.2/24 dev eth0
in_ns "$guest" ip link set eth0 up
in_ns "$router" sysctl -qw net.ipv4.ip_forward=1

# A home router: masquerade to the WAN, drop what comes from outside unasked, and the chains
# that Debian's miniupnpd (nftables backend) fills: table inet filter, chains miniupnpd,
# prerouting_miniupnpd and postrouting_miniupnpd. Datagrams to the router's UPnP and NAT-PMP
# ports are counted, for the case that must send none.
in_ns "$router" nft -f - <<'NFT' || skip "nftables does not work here"
table inet filter {
  counter asked { }
  chain input {
    type filter hook input priority 0; policy accept;
    udp dport { 1900, 5351 } counter name asked
  }
  chain forward {
    type filter hook forward priority 0; policy drop;
    ct state established,related accept
    iifname "lan0" accept
    jump miniupnpd
  }
  chain miniupnpd { }
  chain prerouting {
    type nat hook prerouting priority -100; policy accept;
    jump prerouting_miniupnpd
  }
  chain postrouting {
    type nat hook postrouting priority 100; policy accept;
    oifname "wan0" masquerade
    jump postrouting_miniupnpd
  }
  chain prerouting_miniupnpd { }
  chain postrouting_miniupnpd { }
}
NFT

asked() { in_ns "$router" nft list counter inet filter asked | grep -o 'packets [0-9]*' | cut -d' ' -f2; }
# The router's forwarding rules for port $1.
mappings() { in_ns "$router" nft list chain inet filter prerouting_miniupnpd | grep -c "dport $1 dnat"; }

# miniupnpd refuses to forward while its WAN address is a reserved one, as documentation
# addresses are, unless STUN tells it that address is public: a STUN server on the WAN does.
ip netns exec "$guest" python3 "$(dirname "$0")/stun_answer.py" 192.0.2.2 3478 &
stun=$!

# Starts miniupnpd in the router's namespace with `enable_natpmp=$1`; waits until it listens.
start_daemon() {
  cat >"$work/miniupnpd.conf" <<CONF
ext_ifname=wan0
listening_ip=lan0
port=0
enable_upnp=yes
enable_natpmp=$1
ext_perform_stun=yes
ext_stun_host=192.0.2.2
ext_stun_port=3478
secure_mode=yes
system_uptime=no
lease_file=$work/leases
uuid=3d3cec3a-8cf0-11e0-98ee-001a6bd2d07b
allow 1024-65535 10.77.0.0/24 1024-65535
deny 0-65535 0.0.0.0/0 0-65535
CONF
  ip netns exec "$router" miniupnpd -d -f "$work/miniupnpd.conf" -P "$work/miniupnpd.pid" \
    >"$work/miniupnpd.log" 2>&1 &
  daemon=$!
  # Its STUN check waits up to 3 s for answers.
  for _ in $(seq 100); do
    grep -q 'HTTP listening' "$work/miniupnpd.log" && return 0
    sleep 0.1
  done
  cat "$work/miniupnpd.log"
  skip "miniupnpd did not start"
}
stop_daemon() {
  kill "$daemon"
  wait "$daemon" 2>/dev/null
  daemon=""
}

# --- The peers --------------------------------------------------------------------------------
printf 'start\ntick 120\ndown 83\ntick 30\nup 83\ntick 60\ndown 32\ntick 2\nup 32\ntick 200\n' \
  >"$work/host.txt"
printf 'tick 90\ndown 186\ntick 40\nup 186\ntick 150\n' >"$work/guest.txt"

# Starts a host in namespace $1 with arguments $2...; its errors go to $work/$name.err, its
# final state to $work/$name.out, its record to $work/$name.rec, for name $tag_name (set by caller).
start_host() {
  local ns=$1
  shift
  ip netns exec "$ns" timeout 30 "$replay" --host 0 "$@" --record "$work/$name-host.rec" "$work/host.txt" \
    >"$work/$name-host.out" 2>"$work/$name-host.err" &
  hostpid=$!
  for _ in $(seq 100); do
    port=$(sed -n 's/^kavarin-replay: waiting on UDP port \([0-9]*\)$/\1/p' "$work/$name-host.err")
    [ -n "$port" ] && return 0
    sleep 0.05
  done
  fail "$name: the host never said its port: $(cat "$work/$name-host.err")"
  return 1
}
# Waits for the host's line about the router, at most 6 s (UPnP discovery alone takes 2 s).
router_line() {
  for _ in $(seq 120); do
    line=$(grep -E 'router' "$work/$name-host.err")
    [ -n "$line" ] && return 0
    sleep 0.05
  done
  line=""
}
# The guest in namespace $1 joins $2, then both must end with one state, one record, and the
# record must replay to that state.
play_match() {
  in_ns "$1" timeout 30 "$replay" --join "$2" --record "$work/$name-guest.rec" "$work/guest.txt" \
    >"$work/$name-guest.out" 2>"$work/$name-guest.err"
  local guest_rc=$?
  wait "$hostpid"
  local host_rc=$?
  [ "$host_rc" -eq 0 ] || fail "$name: host exit $host_rc: $(cat "$work/$name-host.err")"
  [ "$guest_rc" -eq 0 ] || fail "$name: guest exit $guest_rc: $(cat "$work/$name-guest.err")"
  [ -s "$work/$name-host.out" ] || fail "$name: the host printed no final state"
  cmp -s "$work/$name-host.out" "$work/$name-guest.out" || fail "$name: the final states differ"
  cmp -s "$work/$name-host.rec" "$work/$name-guest.rec" || fail "$name: the records differ"
  local replayed
  replayed=$(timeout 30 "$replay" "$work/$name-host.rec") || fail "$name: the record does not replay"
  [ "$replayed" = "$(cat "$work/$name-host.out")" ] ||
    fail "$name: the record replays to '$replayed', not to '$(cat "$work/$name-host.out")'"
}

# 1. Both protocols: the host gets its port forwarded, the guest on the WAN joins by the router's
#    WAN address, and the forwarding is gone once the host has left.
name=mapped
start_daemon yes
t0=$(date +%s%N)
if start_host "$host"; then
  router_line
  t1=$(date +%s%N)
  [[ "$line" == "kavarin-replay: the router forwards 192.0.2.1:$port here ("*")" ]] ||
    fail "$name: the host said: '$line'"
  echo "mapped: '$line', seen $(((t1 - t0) / 1000000)) ms after the host started"
  [ "$(mappings "$port")" -eq 1 ] || fail "$name: the router has no forwarding for port $port"
  play_match "$guest" "192.0.2.1:$port"
  [ "$(mappings "$port")" -eq 0 ] || fail "$name: the forwarding outlived the host"
fi
stop_daemon

# 2. UPnP IGD alone, and a host told to stop: the forwarding goes with it.
name=upnp
start_daemon no
if start_host "$host"; then
  router_line
  [[ "$line" == "kavarin-replay: the router forwards 192.0.2.1:$port here (UPnP IGD, "*")" ]] ||
    fail "$name: the host said: '$line'"
  echo "upnp: '$line'"
  [ "$(mappings "$port")" -eq 1 ] || fail "$name: the router has no forwarding for port $port"
  kill -TERM "$hostpid"
  wait "$hostpid"
  [ "$(mappings "$port")" -eq 0 ] || fail "$name: the forwarding outlived the stopped host"
fi
stop_daemon

# 3. A router with neither protocol: the host says so, and a match on the LAN still works.
name=silent
before=$(asked)
if start_host "$host"; then
  router_line
  [ "$line" = "kavarin-replay: no router answered UPnP IGD or NAT-PMP; the port is not forwarded" ] ||
    fail "$name: the host said: '$line'"
  echo "silent: '$line'"
  play_match "$lan2" "10.77.0.2:$port"
fi
[ "$(asked)" -gt "$before" ] || fail "$name: the host asked the router nothing"

# 4. --no-router: not one datagram to the router's UPnP or NAT-PMP port, and no word of it.
name=norouter
start_daemon yes
before=$(asked)
if start_host "$host" --no-router; then
  play_match "$lan2" "10.77.0.2:$port"
  grep -q router "$work/$name-host.err" && fail "$name: the host spoke of a router: $(cat "$work/$name-host.err")"
fi
[ "$(asked)" -eq "$before" ] || fail "$name: $(($(asked) - before)) datagrams went to the router"
stop_daemon

# 5. The game's window: its waiting title says what the router forwards, and leaving by the
#    menu removes the forwarding.
name=window
if [ -n "$game" ] && command -v xvfb-run >/dev/null && command -v xdotool >/dev/null; then
  start_daemon yes
  ip netns exec "$host" timeout 40 xvfb-run -a -s "-screen 0 800x600x24" bash -c '
    env -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb SDL_AUDIODRIVER=dummy "$1" --host 29170 --lang en \
      2>"$2/game.err" &
    game=$!
    # The title timer shows the answer within a second of it.
    for _ in $(seq 60); do
      title=$(xdotool search --name "Kavarin - " getwindowname 2>/dev/null | head -1)
      case $title in *"(the router forwards "*) break ;; esac
      sleep 0.1
    done
    echo "$title" >"$2/title"
    ip netns exec "$3" nft list chain inet filter prerouting_miniupnpd |
      grep -c "dport 29170 dnat" >"$2/during"
    w=$(xdotool search --name "Kavarin - " | head -1)
    xdotool windowfocus --sync "$w"
    xdotool key --window "$w" alt+g
    sleep 0.3
    xdotool key x
    wait "$game"
    echo "$?" >"$2/game.rc"' _ "$game" "$work" "$router"
  title=$(cat "$work/title" 2>/dev/null)
  echo "window: '$title'"
  [ "$title" = "Kavarin - waiting for the other player on port 29170 (the router forwards 192.0.2.1:29170, NAT-PMP)" ] ||
    fail "$name: the title was '$title'"
  [ "$(cat "$work/during" 2>/dev/null)" = 1 ] || fail "$name: no forwarding while the game waited"
  [ "$(cat "$work/game.rc" 2>/dev/null)" = 0 ] || fail "$name: the game did not exit cleanly: $(cat "$work/game.err")"
  [ "$(mappings 29170)" -eq 0 ] || fail "$name: the forwarding outlived the game"
  stop_daemon
else
  echo "window: not checked (no game given, or no xvfb-run or xdotool)"
fi

[ "$failures" -eq 0 ] || exit 1
echo "ok: mapped by NAT-PMP and by UPnP IGD, removed at exit; silent router told; --no-router silent; the window's title"
