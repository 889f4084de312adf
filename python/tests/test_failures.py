# SPDX-License-Identifier: MIT
"""Each exception from its real cause, one port per process, checked arguments."""

import subprocess
import sys
from concurrent.futures import ThreadPoolExecutor

import pytest

import brimtally
from brimtally import BadReply, NoReply, PortAlreadyOpen, PortFailed


def test_silence_and_damaged_replies(sim, port):
    m = port.module("01", timeout_ms=3000)
    for fault, error, code in [("drop", NoReply, 1), ("badsum", BadReply, 3), ("badaddr", BadReply, 5)]:
        sim.control(f"fault {fault}")
        with pytest.raises(error) as caught:
            m.digital_in()
        assert caught.value.code == code and caught.value.meaning
        sim.control("fault off")
    assert caught.value.reply.startswith("$00 ")
    assert m.digital_in() == sim.state()["digital_in"]


def test_missing_and_busy_ports(sim, tmp_path):
    with pytest.raises(PortFailed) as caught:
        brimtally.open_port(str(tmp_path / "ttyGone"))
    assert (caught.value.code, caught.value.reason) == (102, "missing")
    with pytest.raises(PortFailed) as caught:
        brimtally.open_port("tcp://127.0.0.1:1")  # nothing listens there
    assert caught.value.reason == "device server did not answer"
    holder = subprocess.Popen(
        [sys.executable, "-c", "import brimtally, sys; brimtally.open_port(sys.argv[1]); print(); input()", sim.device],
        stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
    try:
        assert holder.stdout.readline() == "\n"
        with pytest.raises(PortFailed) as caught:
            brimtally.open_port(sim.device)
        assert caught.value.reason == "busy"
    finally:
        holder.communicate("\n", timeout=10)
    with brimtally.open_port(sim.device) as port:
        with pytest.raises(PortAlreadyOpen):
            brimtally.open_port(sim.device)
        assert port.module("01", timeout_ms=3000).configuration() == 0x02CF


def test_with_block_closes_on_exception(sim):
    with pytest.raises(ZeroDivisionError):
        with brimtally.open_port(sim.device) as port:
            1 / 0
    assert port.closed
    with pytest.raises(PortFailed) as caught:
        port.read_line()
    assert caught.value.code == 9
    with brimtally.open_port(sim.device):
        pass


def test_arguments_are_checked_before_sending(port):
    m = port.module("01")
    for call, args in [
        (m.set_analog_out, (0x1000, 0)), (m.set_analog_limits, (6, 0, 0)), (m.set_analog_limits, (3, 0, 0x100)),
        (m.set_digital_out, (-1,)), (m.set_pwm, (1000, 101)), (m.set_debounce, (True,)),
        (m.print_text, ("x" * 89,)), (m.print_text, ("tab\t",)), (port.send_line, ("x" * 99,)),
        (port.module, ("a b",)), (port.module, ("x" * 20,)), (brimtally.open_port, ("/x" * 2048,)),
    ]:
        with pytest.raises((ValueError, TypeError)):
            call(*args)
    assert m.last_command == ""


def test_threads_never_interleave_a_transaction(port):
    modules = [port.module("01", timeout_ms=3000) for _ in range(4)]
    with ThreadPoolExecutor(4) as pool:
        results = list(pool.map(lambda m: [m.configuration() for _ in range(5)], modules))
    assert results == [[0x02CF] * 5] * 4


@pytest.mark.parametrize("sim", [("--echo",)], indirect=True)
def test_an_echoing_line_takes_the_echo_option_and_a_bad_option_is_named(sim):
    with pytest.raises(ValueError, match='unknown port option "ecko"'):
        brimtally.open_port(sim.device + "?ecko")
    with pytest.raises(ValueError, match='"pause=-1" takes milliseconds'):
        brimtally.open_port(sim.device + "?echo&pause=-1")
    with brimtally.open_port(sim.device + "?echo&pause=0") as port:
        m = port.module("01", timeout_ms=3000)
        assert m.configuration() == 0x02CF
        sim.control("collide")
        with pytest.raises(NoReply):
            m.configuration()
        assert port.driver_status() == (-43, "Echo mismatch")
        assert m.configuration() == 0x02CF
        assert port.driver_status() == (0, "Success")
