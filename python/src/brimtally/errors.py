# SPDX-License-Identifier: MIT
"""Exceptions raised in place of the library's status codes."""

from typing import Optional

from . import record


class BrimtallyError(Exception):
    """A library call failed; ``code`` is its status code, ``meaning`` the code's text."""

    def __init__(self, code: int, detail: str = "") -> None:
        self.code = code
        fallback = "serial driver error" if code < 0 else "unknown status"
        self.meaning = record.MEANINGS.get(code, fallback)
        self.detail = detail
        text = f"[{code}] {self.meaning}"
        super().__init__(f"{text} ({detail})" if detail else text)


class NoReply(BrimtallyError):
    """The module sent no reply within the reply time-out (status 1)."""


class BadReply(BrimtallyError):
    """A reply arrived but was damaged: not a reply, wrong checksum, another
    address, a malformed field or a bad key character (status 2, 3, 5, 6, 7).

    ``reply`` is the reply text as the library kept it.
    """

    def __init__(self, code: int, detail: str = "", reply: str = "") -> None:
        super().__init__(code, detail)
        self.reply = reply


class VersionRefused(BrimtallyError):
    """The library refused the record's version text (status 8): the library
    loaded is not the version this binding was written for."""


class PortFailed(BrimtallyError):
    """The port could not be opened or used (status 9, 102, 103).

    ``device`` names the device when known; ``reason`` says why it failed when
    it could be found out (``"missing"``, ``"busy"``, ``"no permission"``,
    ``"not a serial device"``).
    """

    def __init__(
        self,
        code: int,
        detail: str = "",
        device: Optional[str] = None,
        reason: Optional[str] = None,
    ) -> None:
        super().__init__(code, detail)
        self.device = device
        self.reason = reason


class PortAlreadyOpen(PortFailed):
    """A port is already open in this process; the library has only one
    current port, so the first must be closed before another is opened."""

    def __init__(self, device: str) -> None:
        super().__init__(record.OPEN_FAILED, f"{device} is open; close it first", device, "busy")
        self.meaning = "a port is already open in this process"
        self.args = (f"[{self.code}] {self.meaning} ({self.detail})",)


def raise_for(code: int, detail: str = "", reply: str = "") -> None:
    """Raises the exception that matches a non-zero status ``code``."""
    if code == record.OK:
        return
    if code == record.NO_REPLY:
        raise NoReply(code, detail)
    if code in (
        record.NOT_A_REPLY,
        record.BAD_CHECKSUM,
        record.WRONG_ADDRESS,
        record.MALFORMED,
        record.BAD_KEY,
    ):
        raise BadReply(code, detail, reply)
    if code == record.WRONG_VERSION:
        raise VersionRefused(code, detail)
    if code in (record.NO_PORT, record.OPEN_FAILED, record.READ_ERROR):
        raise PortFailed(code, detail)
    raise BrimtallyError(code, detail)
