# SPDX-License-Identifier: MIT
"""The one open serial port of this process, its raw lines and its modules."""

import ctypes
import errno
import fcntl
import os
import termios
from types import TracebackType
from typing import ContextManager, Optional, Type, Union

from . import _library, errors, record
from .module import Module, check_int, check_text

#: The baud rates the library accepts.
BAUD_RATES = (300, 1200, 2400, 9600, 19200, 57600)

PortName = Union[int, str, "os.PathLike[str]"]

_current: Optional["Port"] = None

# ex_read_line never stores a control character, so one left in the reply
# field tells "nothing arrived" apart from an empty line.
_UNTOUCHED = b"\x01"


def _diagnose(device: str) -> Optional[str]:
    """Why ``device`` cannot be opened, found by trying it the way the library does."""
    if device.startswith(("rfc2217://", "tcp://")):
        return "device server did not answer"
    try:
        fd = os.open(device, os.O_RDWR | os.O_NOCTTY | os.O_NONBLOCK | os.O_CLOEXEC)
    except OSError as error:
        if error.errno in (errno.ENOENT, errno.ENXIO, errno.ENODEV):
            return "missing"
        if error.errno in (errno.EACCES, errno.EPERM):
            return "no permission"
        if error.errno == errno.EBUSY:
            return "busy"
        return os.strerror(error.errno or 0)
    try:
        fcntl.flock(fd, fcntl.LOCK_EX | fcntl.LOCK_NB)
        termios.tcgetattr(fd)
    except BlockingIOError:
        return "busy"
    except termios.error:
        return "not a serial device"
    finally:
        os.close(fd)
    return None


class Port:
    """The serial port open in this process; use ``open_port`` to make one.

    The library keeps one current port per process, so only one ``Port`` is
    open at a time. Every call holds a process-wide lock, so threads never
    interleave a transaction; hold ``lock`` to keep a ``send_line`` and its
    ``read_line`` together (``exchange`` does that for one line).
    Closing it (or leaving its ``with`` block) releases the device.
    """

    def __init__(self, number: int, device: str, baud: int) -> None:
        """Made by ``open_port`` once the library has opened the device."""
        self._number = number
        self._device = device
        self._baud = baud
        self._closed = False
        with _library.LOCK:
            self._raw = _library.library().btInitDLL(None)

    @property
    def device(self) -> str:
        """The device path that was opened."""
        return self._device

    def driver_status(self) -> "tuple[int, str]":
        """The driver's status after the last call and its text: ``(0, "Success")``,
        or for example ``(-43, "Echo mismatch")`` after a collision on a line
        opened with the ``echo`` option."""
        text = ctypes.create_string_buffer(128)
        with _library.LOCK:
            code = int(_library.library().btPortStatus(text, len(text)))
        return code, text.value.decode("ascii", "replace")

    @property
    def baud(self) -> int:
        """The line's baud rate."""
        return self._baud

    @property
    def closed(self) -> bool:
        """True once the port has been closed."""
        return self._closed

    @property
    def lock(self) -> ContextManager[bool]:
        """The re-entrant lock held around every library call of this process."""
        return _library.LOCK

    def check_open(self) -> None:
        """Raises ``PortFailed`` (status 9) when this port has been closed."""
        if self._closed:
            raise errors.PortFailed(record.NO_PORT, f"{self._device} was closed", self._device)

    def module(self, address: str, timeout_ms: int = 30) -> Module:
        """The module at ``address`` (for example "01") on this line, whose
        queries wait ``timeout_ms`` milliseconds for the whole reply."""
        self.check_open()
        module = Module(self, address)
        module.timeout_ms = timeout_ms
        return module

    def send_line(self, text: str) -> None:
        """Sends ``text`` and a CR as it is, with no framing or checksum.

        ``text`` is printable ASCII of at most 98 characters, e.g. "QC".
        """
        encoded = check_text("text", text, record.MESSAGE_LEN - 2)
        with _library.LOCK:
            self.check_open()
            self._raw.MessageText = encoded + b"\r"
            _library.library().ex_xmit_msg(ctypes.byref(self._raw))

    def read_line(self, timeout_ms: int = 30) -> Optional[str]:
        """The next line from the line, its control characters removed.

        Returns None when no character arrived within ``timeout_ms``
        milliseconds (the whole line must arrive within it), and "" for an
        empty line. Raises ``PortFailed`` when the driver reports an error,
        such as a line over 99 characters or a device that has gone.
        """
        timeout_ms = check_int("timeout_ms", timeout_ms, 0, 0x7FFF)
        with _library.LOCK:
            self.check_open()
            self._raw.ReplyTimeout = timeout_ms
            self._raw.ReplyText = _UNTOUCHED
            count = int(_library.library().ex_read_line(ctypes.byref(self._raw)))
            text = bytes(self._raw.ReplyText).split(b"\0")[0]
        if count == record.READ_ERROR:
            raise errors.PortFailed(count, f"reading {self._device}", self._device)
        if count == 0 and text == _UNTOUCHED:
            return None
        return text.decode("ascii")

    def exchange(self, text: str, timeout_ms: int = 30) -> Optional[str]:
        """``send_line(text)`` then ``read_line(timeout_ms)``, with no other call between."""
        with _library.LOCK:
            self.send_line(text)
            return self.read_line(timeout_ms)

    def close(self) -> None:
        """Closes the port; closing it again does nothing."""
        global _current
        with _library.LOCK:
            if self._closed:
                return
            self._closed = True
            _current = None
            result = int(_library.library().btPortClose())
        if result < 0:
            raise errors.PortFailed(result, f"closing {self._device}", self._device)

    def __enter__(self) -> "Port":
        return self

    def __exit__(
        self,
        kind: Optional[Type[BaseException]],
        value: Optional[BaseException],
        trace: Optional[TracebackType],
    ) -> None:
        try:
            self.close()
        except errors.BrimtallyError:
            if kind is None:
                raise  # otherwise the exception under way matters more

    def __repr__(self) -> str:
        state = "closed" if self._closed else "open"
        return f"<brimtally.Port {self._device} {self._baud} baud, {state}>"


def _resolve(port: PortName) -> "tuple[int, Optional[str]]":
    """The library's port number and, for a device path, the path itself."""
    if isinstance(port, bool):
        raise TypeError("port must be 1, 2, 'COM1', 'COM2' or a device path")
    if isinstance(port, int):
        return check_int("port", port, 1, 2), None
    name = os.fspath(port)
    if name.upper() in ("COM1", "COM2"):
        return int(name[3]), None
    if not name:
        raise ValueError("port must not be empty")
    if len(os.fsencode(name)) > 4095:  # the library's longest port name
        raise ValueError("a device path is at most 4095 characters")
    return 1, name


def open_port(port: PortName = 1, baud: int = 9600) -> Port:
    """Opens the serial port and makes it this process's one current port.

    ``port`` is 1 or "COM1" (``$BRIMTALLY_COM1`` or /dev/ttyS0), 2 or "COM2"
    (``$BRIMTALLY_COM2`` or /dev/ttyS1), or a device path such as
    "/dev/ttyUSB0", or a serial device server ("rfc2217://HOST:PORT",
    "tcp://HOST:PORT"). Any name may carry options after "?", joined by "&"
    ("/dev/ttyUSB0?echo&pause=5"); ``ValueError`` names a bad one. ``baud`` is
    one of ``BAUD_RATES``; the line is 8N1.

    Raises ``PortAlreadyOpen`` while another port is open in this process,
    and ``PortFailed`` (with ``reason`` "missing", "busy", "no permission",
    "not a serial device" or, for ``rfc2217://`` and ``tcp://`` names,
    "device server did not answer", when it can be told) when the device cannot
    be opened.
    """
    global _current
    number, path = _resolve(port)
    if baud not in BAUD_RATES:
        raise ValueError(f"baud must be one of {BAUD_RATES}, not {baud!r}")
    with _library.LOCK:
        if _current is not None:
            raise errors.PortAlreadyOpen(_current.device)
        lib = _library.library()
        if path is None:
            # The library knows which device stands behind the number.
            found = ctypes.create_string_buffer(4096)
            lib.btPortDevice(number, found, len(found))
            device = os.fsdecode(found.value)
            code = int(lib.btPortOpen(number, baud))
        else:
            device = path
            code = int(lib.btPortOpenName(os.fsencode(path), baud))
        if code != record.OK:
            lib.btPortClose()  # releases the failed port object
            why = ctypes.create_string_buffer(256)
            if lib.btPortCheckName(os.fsencode(device), why, len(why)) != record.OK:
                raise ValueError(f"port {device!r}: {why.value.decode('ascii', 'replace')}")
            raise errors.PortFailed(
                code, f"opening {device}", device, _diagnose(device.split("?")[0])
            )
        _current = Port(number, device, baud)
        return _current
