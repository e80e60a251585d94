#!/usr/bin/env python3
"""An NTP server on one loopback address other than 127.0.0.1, for tests.

Wine binds every loopback address but 127.0.0.1 to the whole interface, so a
server under Wine on 127.0.0.2 answers from 127.0.0.1 and a client that asked
127.0.0.2 never sees the reply. This native server answers from the address it
was asked on, as servers on several hosts do. It serves the PC clock plus an
offset, ends on a datagram "STOP" or after its lifetime, and binds loopback only.

    loopback_ntp.py HOST PORT OFFSET-MS [LIFETIME-S]
"""
import socket
import struct
import sys
import time

NTP_FROM_UNIX = 2208988800


def ntp_time(seconds):
    whole = int(seconds)
    return (whole + NTP_FROM_UNIX) << 32 | int((seconds - whole) * (1 << 32))


def main():
    host, port, offset_ms = sys.argv[1], int(sys.argv[2]), float(sys.argv[3])
    lifetime = float(sys.argv[4]) if len(sys.argv) > 4 else 120
    if not host.startswith("127.") or host == "127.0.0.1":
        sys.exit("loopback_ntp: a loopback address other than 127.0.0.1, please")
    s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    s.bind((host, port))
    end = time.time() + lifetime
    while time.time() < end:
        s.settimeout(max(0.05, end - time.time()))
        try:
            request, client = s.recvfrom(2048)
        except socket.timeout:
            break
        if request == b"STOP":
            break
        if len(request) < 48:
            continue
        now = time.time() + offset_ms / 1000
        transmit_of_request = request[40:48]
        # LI 0, version 4, mode 4; stratum 1, reference "GPS", synchronized 16 s ago.
        reply = struct.pack("!BBbbII4sQ", 0x24, 1, 6, -20, 0, 0, b"GPS\0", ntp_time(now - 16))
        reply += transmit_of_request + struct.pack("!QQ", ntp_time(now), ntp_time(time.time() + offset_ms / 1000))
        s.sendto(reply, client)


if __name__ == "__main__":
    main()
