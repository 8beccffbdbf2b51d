# A small internet in network namespaces, for end-to-end checks of play across home routers.
# Sourced by a test (bash). Needs root: without it, or without ip and nft, world_require prints
# why and exits 77, which CTest counts as skipped.
#
#   internet   one bridge, documentation addresses only (203.0.113.0/24):
#                203.0.113.10  the lobby      203.0.113.20  coturn (both on the bridge itself)
#                203.0.113.101 router A's WAN 203.0.113.102 router B's WAN
#   router A   NAT for 10.1.0.0/24 (LAN 10.1.0.1): player A 10.1.0.2, with two players also A2 10.1.0.3
#   router B   NAT for 10.2.0.0/24 (LAN 10.2.0.1): player B 10.2.0.2
# A router's NAT is "cone" (masquerade, which keeps a source port while it can) or "symmetric"
# (masquerade fully-random, a new port per destination). Each router, like a home router,
# drops whatever arrives from its WAN unasked (only ct state established,related passes).
# Two counters in the internet count UDP datagrams: "direct", between the routers' WANs, and
# "relayed", to or from coturn's address.
#
#   world_require                 exit 77 unless this can run
#   world_up NAT_A NAT_B [two]    builds it (and a trap that removes it); "two": A2 too
#   world_in NODE CMD...          runs CMD in NODE: inet, ra, rb, pa, pa2, pb
#   world_count direct|relayed    datagrams counted so far
#   world_down                    removes it all (also on exit)

WORLD_LOBBY=203.0.113.10
WORLD_TURN=203.0.113.20
WORLD_WAN_A=203.0.113.101
WORLD_WAN_B=203.0.113.102
WORLD_PA=10.1.0.2
WORLD_PA2=10.1.0.3
WORLD_PB=10.2.0.2

world_require() {
  if [ "$(id -u)" != 0 ]; then
    echo "SKIP: the network namespace world needs root"
    exit 77
  fi
  local tool
  for tool in ip nft; do
    if ! command -v "$tool" >/dev/null; then
      echo "SKIP: the network namespace world needs $tool"
      exit 77
    fi
  done
  if ! ip netns add "kvprobe$$" 2>/dev/null; then
    echo "SKIP: network namespaces cannot be made here"
    exit 77
  fi
  ip netns del "kvprobe$$"
}

# Names unique to this run, so that runs side by side never meet.
WORLD_ID="kv$$x$RANDOM"
WORLD_NODES=()

world_ns() { echo "$WORLD_ID-$1"; }

world_in() {
  local node=$1
  shift
  ip netns exec "$(world_ns "$node")" "$@"
}

world_down() {
  local node
  for node in "${WORLD_NODES[@]}"; do
    # Whatever still runs in it goes first.
    ip netns pids "$(world_ns "$node")" 2>/dev/null | xargs -r kill -9 2>/dev/null
    ip netns del "$(world_ns "$node")" 2>/dev/null
  done
  WORLD_NODES=()
}

world_node() {
  ip netns add "$(world_ns "$1")"
  WORLD_NODES+=("$1")
  world_in "$1" ip link set lo up
}

# A router on the bridge: world_router NODE WAN_ADDRESS LAN_PREFIX NAT
world_router() {
  local node=$1 wan=$2 lan=$3 nat=$4 random=""
  [ "$nat" = symmetric ] && random="fully-random"
  world_node "$node"
  ip -n "$(world_ns inet)" link add "wan-$node" type veth peer name wan netns "$(world_ns "$node")"
  ip -n "$(world_ns inet)" link set "wan-$node" master br0 up
  world_in "$node" ip addr add "$wan/24" dev wan
  world_in "$node" ip link set wan up
  world_in "$node" sysctl -qw net.ipv4.ip_forward=1
  world_in "$node" nft -f - <<NFT
table ip nat {
  chain outgoing { type nat hook postrouting priority srcnat; oifname "wan" masquerade $random; }
}
table inet home {
  chain passing {
    type filter hook forward priority filter; policy drop;
    ct state established,related accept
    iifname "lan" accept
  }
  chain arriving {
    type filter hook input priority filter; policy accept;
    iifname "wan" ct state established,related accept
    iifname "wan" drop
  }
}
NFT
}

# A player behind a router: world_player NODE ROUTER ADDRESS
world_player() {
  local node=$1 router=$2 address=$3 prefix=${3%.*}
  world_node "$node"
  ip -n "$(world_ns "$router")" link add "lan-$node" type veth peer name eth0 netns "$(world_ns "$node")"
  if ! ip -n "$(world_ns "$router")" link show lan >/dev/null 2>&1; then
    ip -n "$(world_ns "$router")" link add lan type bridge
    ip -n "$(world_ns "$router")" addr add "$prefix.1/24" dev lan
    ip -n "$(world_ns "$router")" link set lan up
  fi
  ip -n "$(world_ns "$router")" link set "lan-$node" master lan up
  world_in "$node" ip addr add "$address/24" dev eth0
  world_in "$node" ip link set eth0 up
  world_in "$node" ip route add default via "$prefix.1"
}


world_up() {
  local nat_a=$1 nat_b=$2 two=${3:-}
  trap world_down EXIT
  world_node inet
  world_in inet ip link add br0 type bridge
  world_in inet ip addr add "$WORLD_LOBBY/24" dev br0
  world_in inet ip addr add "$WORLD_TURN/24" dev br0
  world_in inet ip link set br0 up
  world_in inet nft -f - <<NFT
table bridge crossing {
  counter direct {}
  chain passing {
    type filter hook forward priority filter;
    ip saddr { $WORLD_WAN_A, $WORLD_WAN_B } ip daddr { $WORLD_WAN_A, $WORLD_WAN_B } udp dport 1-65535 counter name direct
  }
}
table inet crossing {
  counter relayed {}
  chain arriving { type filter hook input priority filter; ip daddr $WORLD_TURN udp dport 1-65535 counter name relayed; }
  chain leaving { type filter hook output priority filter; ip saddr $WORLD_TURN udp dport 1-65535 counter name relayed; }
}
NFT
  world_router ra "$WORLD_WAN_A" 10.1.0 "$nat_a"
  world_router rb "$WORLD_WAN_B" 10.2.0 "$nat_b"
  world_player pa ra "$WORLD_PA"
  [ "$two" = two ] && world_player pa2 ra "$WORLD_PA2"
  world_player pb rb "$WORLD_PB"
}

world_count() {
  local family=bridge
  [ "$1" = relayed ] && family=inet
  world_in inet nft list counter "$family" crossing "$1" | sed -n 's/.*packets \([0-9]*\).*/\1/p'
}

# world_turn DIR SECRET SECONDS: coturn in the internet at $WORLD_TURN:3478, with the lobby's
# shared-secret scheme, for at most SECONDS, its configuration and log in DIR.
world_turn() {
  local dir=$1 secret=$2 seconds=$3
  cat >"$dir/turnserver.conf" <<CONF
listening-ip=$WORLD_TURN
relay-ip=$WORLD_TURN
listening-port=3478
use-auth-secret
static-auth-secret=$secret
realm=kavarin.test
no-cli
no-tls
no-dtls
no-tcp
no-stdout-log
simple-log
log-file=$dir/turn.log
pidfile=$dir/turn.pid
userdb=$dir/turndb
CONF
  world_in inet timeout "$seconds" turnserver -c "$dir/turnserver.conf" >/dev/null 2>&1 &
}
