#!/usr/bin/env python3
"""A man in the middle for an NTS client, in a real NTS server's place.

    nts_relay.py PORT

Listens on [::1]:PORT (where the server's key exchange sends its clients, see
nts-server --relay) and passes every request on to the server at 127.0.0.1:PORT.
Before each genuine reply the client is sent two forgeries that would move its
clock by an hour: the reply's header alone with its times an hour later (what
anyone who saw the request could make), and the whole reply with those times (so
its authenticator no longer verifies). Prints "relaying" once it listens; runs
until it is killed.
"""
import select
import socket
import struct
import sys

HOUR = 3600
RECEIVE_AT, TRANSMIT_AT = 32, 40  # the seconds of the receive and transmit timestamps


def an_hour_later(packet: bytes) -> bytes:
    forged = bytearray(packet)
    for at in (RECEIVE_AT, TRANSMIT_AT):
        (seconds,) = struct.unpack_from("!I", forged, at)
        struct.pack_into("!I", forged, at, (seconds + HOUR) & 0xFFFFFFFF)
    return bytes(forged)


def main() -> int:
    port = int(sys.argv[1])
    facing = socket.socket(socket.AF_INET6, socket.SOCK_DGRAM)
    facing.bind(("::1", port))
    upstream = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    upstream.connect(("127.0.0.1", port))
    print("relaying", flush=True)
    client = None
    while True:
        ready, _, _ = select.select([facing, upstream], [], [])
        if facing in ready:
            request, client = facing.recvfrom(2048)
            upstream.send(request)
        if upstream in ready:
            reply = upstream.recv(2048)
            if client is None or len(reply) < 48:
                continue
            facing.sendto(an_hour_later(reply[:48]), client)
            facing.sendto(an_hour_later(reply), client)
            facing.sendto(reply, client)


if __name__ == "__main__":
    sys.exit(main())
