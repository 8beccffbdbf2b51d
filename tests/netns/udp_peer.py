#!/usr/bin/env python3
"""Sends "ping" from BIND_PORT to PEER:PORT every 100 ms for at most SECONDS; exits 0 once a
datagram came back from that peer (and a few more pings went out for the peer's sake), 1 if none
did."""
import socket
import sys
import time

bind_port, peer_ip, peer_port, seconds = int(sys.argv[1]), sys.argv[2], int(sys.argv[3]), float(sys.argv[4])
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
s.bind(("0.0.0.0", bind_port))
s.settimeout(0.1)
end = time.monotonic() + seconds
heard_at = None
next_ping = 0.0
while time.monotonic() < end:
    if time.monotonic() >= next_ping:
        s.sendto(b"ping", (peer_ip, peer_port))
        next_ping = time.monotonic() + 0.1
    try:
        data, sender = s.recvfrom(2048)
        if sender == (peer_ip, peer_port) and heard_at is None:
            heard_at = time.monotonic()
            print("heard", data.decode(errors="replace"), "from", sender, flush=True)
    except socket.timeout:
        pass
    if heard_at is not None and time.monotonic() - heard_at > 0.5:
        sys.exit(0)
sys.exit(0 if heard_at is not None else 1)
