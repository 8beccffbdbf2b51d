#!/usr/bin/env python3
"""Answers STUN binding requests (RFC 5389) with the address they came from, on the address and
port given, until killed: just enough for a router in a test network to learn its own WAN
address."""
import socket
import struct
import sys

MAGIC = 0x2112A442


def main():
    address, port = sys.argv[1], int(sys.argv[2])
    s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    s.bind((address, port))
    while True:
        data, (ip, source_port) = s.recvfrom(2048)
        if len(data) < 20:
            continue
        kind, _, magic = struct.unpack("!HHI", data[:8])
        if kind != 0x0001 or magic != MAGIC:
            continue
        packed_ip = struct.unpack("!I", socket.inet_aton(ip))[0]
        mapped = struct.pack("!HHBBH", 0x0001, 8, 0, 1, source_port) + socket.inet_aton(ip)
        xored = struct.pack("!HHBBHI", 0x0020, 8, 0, 1, source_port ^ (MAGIC >> 16),
                            packed_ip ^ MAGIC)
        body = mapped + xored
        s.sendto(struct.pack("!HHI", 0x0101, len(body), MAGIC) + data[8:20] + body, (ip, source_port))


if __name__ == "__main__":
    main()
