# SPDX-License-Identifier: MIT
"""ser2net in front of a simulator's pseudo-terminal, one accepter on a free
loopback port, character delay off (otherwise it holds output back)."""
import socket
import subprocess
import time


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class Ser2net:
    def __init__(self, device, scheme, pid_file):
        self.port = free_port()
        accepter = "telnet(rfc2217),tcp" if scheme == "rfc2217" else "tcp"
        config = ("connection: &line#  accepter: %s,127.0.0.1,%d#  connector: serialdev,%s,"
                  "9600n81,local#  options:#    chardelay: false" % (accepter, self.port, device))
        self.url = "%s://127.0.0.1:%d" % (scheme, self.port)
        self.process = subprocess.Popen(["ser2net", "-n", "-u", "-P", pid_file, "-Y", config],
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        for _ in range(500):
            if self._listening():
                return
            time.sleep(0.01)
        raise RuntimeError("ser2net did not start")

    def _listening(self):
        local = "0100007F:%04X" % self.port
        with open("/proc/net/tcp") as f:
            return any(local in line and " 0A " in line for line in f)

    def stop(self):
        self.process.terminate()
        self.process.wait(timeout=10)
