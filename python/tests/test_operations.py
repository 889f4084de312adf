# SPDX-License-Identifier: MIT
"""Every query and setting, and raw lines, against the simulated module."""

import pytest

from brimtally import AllIO

VALUES = "a0=0x11 a1=0x22 a2=0x33 a3=0x44 a4=0x555 a5=0x666 d0=0x777 d1=0x123 di=0x3C do=0x0F"
EXTRA = "dir=0xFF freq=0 total=0x123456 min4=0x500 max4=0x5AA min5=0x600 max5=0x6BB serial=0102030405060708"
OPTIONS = [o for pair in (VALUES + " " + EXTRA).split() for o in ("--set", pair)]


@pytest.mark.parametrize("sim", [OPTIONS + ["--config", "12C5"]], indirect=True)
def test_queries_return_the_module_values(sim, port):
    m = port.module("01", timeout_ms=3000)
    sim.control("key 12A")
    expected_io = AllIO((0x11, 0x22, 0x33, 0x44, 0x555, 0x666), (0x777, 0x123), 0x3C, 0x0F, 0xFF, 0, 0x123456, 0x12C5)
    for query, expected in [
        (m.all_io, expected_io), (m.digital_in, 0x3C), (m.digital_out, 0x0F), (m.direction, 0xFF),
        (m.configuration, 0x12C5), (m.totalizer, 0x123456), (m.serial_number, bytes(range(1, 9))),
        (m.keys, " 12A"), (m.keys, ""),
    ]:
        assert query() == expected, query.__name__
    mm = m.min_max()
    assert [(c.value, c.maximum, c.minimum) for c in (mm.channel4, mm.channel5)] == [
        (0x555, 0x5AA, 0x500), (0x666, 0x6BB, 0x600)]
    sim.control("set freq 4660")
    assert m.frequency() == 4660


def test_settings_reach_the_module(sim, port):
    m = port.module("01", timeout_ms=3000)
    for setting, args, field, expected in [
        (m.set_analog_out, (0x7FF, 3), "analog_out", [0x7FF, 3]),
        (m.set_analog_limits, (4, 0x100, 0xE00), "low_limit", [0, 0, 0, 0, 0x100, 0]),
        (m.set_analog_limits, (2, 0x10, 0xF0), "high_limit", [255, 255, 0xF0, 255, 0xE00, 4095]),
        (m.set_digital_out, (0x5A,), "digital_out", 0x5A),
        (m.set_direction, (0xF0,), "direction", 0xF0),
        (m.set_pwm, (1000, 50), "pwm_period", 1000),
        (m.set_pwm, (2000, 25), "pwm_percent", 25),
        (m.set_debounce, (9,), "debounce", 9),
        (m.print_text, ("hello, printer",), "printed", ["hello, printer"]),
    ]:
        setting(*args)
        assert sim.settled(field, expected) == expected, setting.__name__
    sim.control("set total 500")
    m.reset_totalizer()
    assert sim.settled("totalizer", 0) == 0
    sim.control("set max4 0xF00")
    m.reset_min_max()
    now = sim.state()["analog_in"][4:]
    assert sim.settled("max", now) == now
    assert m.last_command == "#3D 01 RM"


def test_raw_lines(sim, port):
    assert port.read_line(timeout_ms=50) is None
    assert port.exchange("QC", timeout_ms=3000) == "C:02CF"
    assert port.read_line(timeout_ms=3000) == "BRIM>"
