#!/usr/bin/python3
# SPDX-License-Identifier: MIT
"""A peer of the side-by-side runs: the exchange an integrator writes in Python
on pyserial. Same arguments and output as serialport_client:

    pyserial_client.py DEVICE txn|raw COUNT BAUD REPLY_TIMEOUT_MS ADDRESS
"""
import resource
import sys
import time

import serial


def framed_query(address, letters):
    line = "#00 %s %s" % (address, letters)
    checksum = (256 - sum(line.encode()) % 256) % 256
    return ("#%02X" % checksum + line[3:] + "\n\r").encode()


def reply_is_valid(reply, address):
    if len(reply) < 4 + len(address) or reply[0:1] != b"$":
        return False
    try:
        checksum = int(reply[1:3], 16)
    except ValueError:
        return False
    body = reply.split(b"\n")[0]
    total = sum(body) - reply[1] - reply[2] + 2 * ord("0")
    return (total + checksum) % 256 == 0 and reply[4:4 + len(address)] == address.encode()


def read_line(port, timeout_s):
    # read_until bounds the whole call by the port's time-out.
    port.timeout = timeout_s
    line = port.read_until(b"\r")
    return line[:-1] if line.endswith(b"\r") else None


def main():
    if len(sys.argv) != 7:
        sys.exit(__doc__)
    device, mode = sys.argv[1], sys.argv[2]
    count, baud, reply_timeout = int(sys.argv[3]), int(sys.argv[4]), int(sys.argv[5])
    address = sys.argv[6]
    raw = mode == "raw"
    # A device path, or a URL such as rfc2217://host:port.
    port = serial.serial_for_url(device, baud, bytesize=8, parity="N", stopbits=1)
    out = []
    failures = 0
    wakes0 = resource.getrusage(resource.RUSAGE_SELF).ru_nvcsw
    cpu0, wall0 = time.process_time(), time.monotonic()
    for i in range(count):
        start = time.monotonic_ns()
        if raw:
            time.sleep((1_000_000 + (i * 373_000) % 3_000_000) / 1e9)
            start = time.monotonic_ns()
        else:
            time.sleep(0.050)
            for _ in range(3):
                read_line(port, 0.010)
        port.write(framed_query(address, "QE"))
        line = read_line(port, reply_timeout / 1000)
        returned = time.monotonic_ns()
        ok = line is not None and reply_is_valid(line, address)
        failures += not ok
        out.append("%s %d %d %d %d" % (mode, start, returned, time.monotonic_ns(),
                                       (len(line) if raw else 0) if ok else -1))
    cpu, wall = time.process_time() - cpu0, time.monotonic() - wall0
    wakes = resource.getrusage(resource.RUSAGE_SELF).ru_nvcsw - wakes0
    port.close()
    print("\n".join(out))
    print("cpu %.6f %.6f %d" % (cpu, wall, wakes))
    sys.exit(3 if failures else 0)


if __name__ == "__main__":
    main()
