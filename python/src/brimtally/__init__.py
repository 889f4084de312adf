# SPDX-License-Identifier: MIT
"""Brimtally I/O modules from Python, over the same ``libbrimtally.so.1`` as C.

Example::

    import brimtally

    with brimtally.open_port("/dev/ttyUSB0", baud=9600) as port:
        module = port.module("01")
        print(module.all_io())
        module.set_pwm(period=1000, percent=50)

The library is loaded at the first call, from ``$BRIMTALLY_LIBRARY`` when set,
else from the build tree of this source checkout or of the checkout that is
the current directory, the install tree this package was installed into, or
the dynamic loader's search path.
"""

from ._library import library_path
from .errors import (
    BadReply,
    BrimtallyError,
    NoReply,
    PortAlreadyOpen,
    PortFailed,
    VersionRefused,
)
from .module import Module
from .port import BAUD_RATES, Port, open_port
from .record import DLL_VERSION, ModuleRecord
from .values import AllIO, ChannelMinMax, MinMax

__all__ = [
    "AllIO",
    "BAUD_RATES",
    "BadReply",
    "BrimtallyError",
    "ChannelMinMax",
    "DLL_VERSION",
    "MinMax",
    "Module",
    "ModuleRecord",
    "NoReply",
    "Port",
    "PortAlreadyOpen",
    "PortFailed",
    "VersionRefused",
    "library_path",
    "open_port",
]
