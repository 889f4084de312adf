# SPDX-License-Identifier: MIT
"""One module on the open port: its typed queries and settings."""

import ctypes
from typing import TYPE_CHECKING, Callable, TypeVar

from . import _library, errors, record
from .values import AllIO, MinMax

if TYPE_CHECKING:
    from .port import Port

T = TypeVar("T")

# Room in the 100-byte command line around a printed text: "#cc ", the
# address, " S=", LF CR and the NUL.
_PRINT_FRAME = 4 + 3 + 2 + 1


def check_int(name: str, value: int, low: int, high: int) -> int:
    """Returns ``value`` when it is an int within ``low``..``high``, else raises."""
    if isinstance(value, bool) or not isinstance(value, int):
        raise TypeError(f"{name} must be an int, not {type(value).__name__}")
    if not low <= value <= high:
        raise ValueError(f"{name} must be {low}..{high} (0x{high:X}), not {value}")
    return value


def check_text(name: str, text: str, longest: int) -> bytes:
    """``text`` as ASCII bytes when it is printable ASCII of at most ``longest`` characters."""
    if not isinstance(text, str):
        raise TypeError(f"{name} must be a str, not {type(text).__name__}")
    if any(not " " <= c <= "~" for c in text):
        raise ValueError(f"{name} must be printable ASCII: {text!r}")
    if len(text) > longest:
        raise ValueError(f"{name} is {len(text)} characters; at most {longest} fit")
    return text.encode("ascii")


class Module:
    """A module at one address on the open port.

    Every query sends one command and reads one reply; every setting sends one
    command and reads none (read it back with a query to know that the module
    took it). Failures raise ``BrimtallyError`` subclasses; arguments out of
    range raise ``ValueError`` or ``TypeError`` before anything is sent.
    """

    def __init__(self, port: "Port", address: str) -> None:
        """Made by ``Port.module``; ``address`` is 1 to 19 printable characters."""
        encoded = check_text("address", address, record.ADDRESS_LEN - 1)
        if not encoded or b" " in encoded:
            raise ValueError(f"address must be 1 to 19 characters without blanks: {address!r}")
        self._port = port
        self._address = address
        with _library.LOCK:
            self._record = _library.library().btInitDLL(None)
        self._record.ModuleAddress = encoded

    @property
    def address(self) -> str:
        """The module's address, put into every command and expected in every reply."""
        return self._address

    @property
    def timeout_ms(self) -> int:
        """How long a query waits for the whole reply, in milliseconds (30 at first)."""
        return int(self._record.ReplyTimeout)

    @timeout_ms.setter
    def timeout_ms(self, value: int) -> None:
        self._record.ReplyTimeout = check_int("timeout_ms", value, 0, 0x7FFF)

    @property
    def last_command(self) -> str:
        """The last command line sent to this module, without its LF CR."""
        return bytes(self._record.CommandText).split(b"\0")[0].decode("ascii").rstrip("\n\r")

    @property
    def last_reply(self) -> str:
        """The last reply line read for this module, control characters removed."""
        return bytes(self._record.ReplyText).split(b"\0")[0].decode("ascii", "replace")

    def _run(self, export: str, *args: int) -> None:
        with _library.LOCK:
            self._port.check_open()
            code = int(getattr(_library.library(), export)(ctypes.byref(self._record), *args))
            if code != record.OK:
                detail = f"{export} at address {self._address!r}"
                if code == record.NO_REPLY:
                    detail += f" within {self.timeout_ms} ms"
                errors.raise_for(code, detail, self.last_reply)

    def _query(self, export: str, read: Callable[[record.ModuleRecord], T]) -> T:
        # Read under the lock too, so another thread's call on this module
        # cannot change the record halfway through.
        with _library.LOCK:
            self._run(export)
            return read(self._record)

    # Queries.

    def all_io(self) -> AllIO:
        """Every input and output value ("QE")."""
        return self._query("btGetAllIO", AllIO.from_record)

    def min_max(self) -> MinMax:
        """Channels 4 and 5 with their readings, maxima and minima ("QM")."""
        return self._query("btGetMinMax", MinMax.from_record)

    def digital_in(self) -> int:
        """The digital input bits ("QI")."""
        return self._query("btGetDigitalIn", lambda r: int(r.DigitalIn))

    def digital_out(self) -> int:
        """The digital output bits ("QO")."""
        return self._query("btGetDigitalOut", lambda r: int(r.DigitalOut))

    def direction(self) -> int:
        """The digital port direction bits, 1 for an input ("QB")."""
        return self._query("btGetDigitalDirection", lambda r: int(r.PortDirection))

    def configuration(self) -> int:
        """The 16-bit configuration word ("QC")."""
        return self._query("btGetConfiguration", lambda r: int(r.ConfigBits))

    def frequency(self) -> int:
        """The frequency input ("QF")."""
        return self._query("btGetFrequency", lambda r: int(r.Frequency))

    def totalizer(self) -> int:
        """The totalizer count ("QT")."""
        return self._query("btGetTotalizer", lambda r: int(r.Totalizer))

    def serial_number(self) -> bytes:
        """The eight bytes of the electronic serial number ("QS")."""
        return self._query("btGetSerialNumber", lambda r: bytes(b & 0xFF for b in r.SerialNumber))

    def keys(self) -> str:
        """Keypad keys waiting at the module (blanks and hex digits), "" for none ("Q")."""
        return self._query("btKey", lambda r: bytes(r.KeyText).split(b"\0")[0].decode("ascii"))

    # Settings.

    def set_analog_out(self, value0: int, value1: int) -> None:
        """Sets the two 12-bit analog outputs ("SD")."""
        self._run(
            "btSetAnalogOut",
            check_int("value0", value0, 0, 0xFFF),
            check_int("value1", value1, 0, 0xFFF),
        )

    def set_analog_limits(self, channel: int, low: int, high: int) -> None:
        """Sets the alarm limits of analog channel 0-5 ("SL"); channels 0-3
        take 8-bit limits, channels 4 and 5 12-bit ones."""
        top = 0xFFF if check_int("channel", channel, 0, 5) >= 4 else 0xFF
        low = check_int("low", low, 0, top)
        self._run("btSetAnalogLimits", channel, low, check_int("high", high, 0, top))

    def set_digital_out(self, bits: int) -> None:
        """Sets the eight digital output bits ("SO")."""
        self._run("btSetDigitalOut", check_int("bits", bits, 0, 0xFF))

    def set_direction(self, bits: int) -> None:
        """Sets the digital port directions, 1 for an input ("SB")."""
        self._run("btSetDirection", check_int("bits", bits, 0, 0xFF))

    def set_pwm(self, period: int, percent: int) -> None:
        """Sets the PWM period (16-bit) and its high share in percent ("SP")."""
        period = check_int("period", period, 0, 0xFFFF)
        self._run("btSetPWM", period, check_int("percent", percent, 0, 100))

    def set_debounce(self, value: int) -> None:
        """Sets the 8-bit debounce value of the digital inputs ("ST")."""
        self._run("btSetDebounce", check_int("value", value, 0, 0xFF))

    def reset_min_max(self) -> None:
        """Clears the tracked minima and maxima ("RM")."""
        self._run("btResetMinMax")

    def reset_totalizer(self) -> None:
        """Clears the totalizer ("RT")."""
        self._run("btResetTotalizer")

    def print_text(self, text: str) -> None:
        """Sends ``text`` (printable ASCII) to the module's printer ("S=")."""
        longest = record.COMMAND_LEN - _PRINT_FRAME - len(self._address)
        encoded = check_text("text", text, longest)
        with _library.LOCK:
            self._record.MessageText = encoded
            self._run("btPrint")
