# SPDX-License-Identifier: MIT
"""Fixtures: the simulator as a child process, and a port open on it."""

import json
import os
import shutil
import socket
import subprocess
import tempfile
import time
from pathlib import Path

import pytest

ROOT = Path(__file__).resolve().parents[2]
BUILD = Path(os.environ.get("BRIMTALLY_BUILD_DIR", ROOT / "build"))
os.environ.setdefault("BRIMTALLY_LIBRARY", str(BUILD / "lib" / "libbrimtally.so.1"))

import brimtally  # noqa: E402  (after the library path is chosen)


class Sim:
    """brimtally-sim on a pseudo-terminal, values held still, with its control channel."""

    def __init__(self, *options: str) -> None:
        self.dir = tempfile.mkdtemp(prefix="brimtally-pytest-")
        sock = os.path.join(self.dir, "control")
        command = [BUILD / "bin" / "brimtally-sim", "--die-with-parent", "--no-banner", "--drift", "0"]
        self.proc = subprocess.Popen(command + ["--control", sock, *options], stdout=subprocess.PIPE, text=True)
        self.device = self.proc.stdout.readline().strip()
        self.sock = socket.socket(socket.AF_UNIX)
        self.sock.settimeout(10)
        self.sock.connect(sock)
        self.answers = self.sock.makefile("r")

    def control(self, command: str) -> str:
        self.sock.sendall(command.encode() + b"\n")
        answer = self.answers.readline().strip()
        assert answer.startswith("ok"), answer
        return answer[3:]

    def state(self) -> dict:
        return json.loads(self.control("state"))["modules"][0]

    def settled(self, field: str, expected):
        """The module's ``field`` once it equals ``expected``, or its last value after 5 s."""
        deadline = time.monotonic() + 5
        while (value := self.state()[field]) != expected and time.monotonic() < deadline:
            time.sleep(0.01)
        return value


@pytest.fixture
def sim(request):
    s = Sim(*getattr(request, "param", ()))
    yield s
    s.sock.close()
    s.proc.terminate()
    s.proc.wait(10)
    shutil.rmtree(s.dir)


@pytest.fixture
def port(sim):
    with brimtally.open_port(sim.device) as p:
        yield p
