# SPDX-License-Identifier: MIT
"""Finding and loading libbrimtally.so.1, and the lock that serialises its calls."""

import ctypes
import os
import threading
from pathlib import Path
from typing import Any, Dict, List, Optional

from . import errors, record

LIBRARY_NAME = "libbrimtally.so.1"

#: Held around every library call. The library has one current port per
#: process and no locking of its own, so two threads must never be inside it
#: at once. Re-entrant, so a caller may hold it across several calls to keep
#: a send and its read together.
LOCK = threading.RLock()

_loaded: Optional[ctypes.CDLL] = None
_loaded_path = ""

_i16 = ctypes.c_int16
_i32 = ctypes.c_int32
_rec = ctypes.POINTER(record.ModuleRecord)

# Each export's argument types after the record pointer.
_RECORD_CALLS: Dict[str, List[Any]] = {
    "btSeedDLL": [],
    "ex_xmit_msg": [],
    "ex_read_line": [],
    "btSetAnalogOut": [_i16, _i16],
    "btSetAnalogLimits": [_i16, _i16, _i16],
    "btSetDigitalOut": [_i16],
    "btSetDirection": [_i16],
    "btSetPWM": [_i32, _i32],
    "btSetDebounce": [_i16],
    "btResetMinMax": [],
    "btResetTotalizer": [],
    "btPrint": [],
    "btGetAllIO": [],
    "btGetMinMax": [],
    "btGetDigitalIn": [],
    "btGetDigitalOut": [],
    "btGetDigitalDirection": [],
    "btGetConfiguration": [],
    "btGetFrequency": [],
    "btGetTotalizer": [],
    "btGetSerialNumber": [],
    "btKey": [],
}


def candidates() -> List[str]:
    """The places searched for the library, in order.

    ``$BRIMTALLY_LIBRARY`` alone when set; otherwise the build tree of the
    source checkout this package sits in, the build tree of the checkout that
    is the current directory, the install tree the package was installed into
    (``PREFIX/lib``), and last the dynamic loader's own search.
    """
    chosen = os.environ.get("BRIMTALLY_LIBRARY")
    if chosen:
        return [chosen]
    here = Path(__file__).resolve().parent
    # python/src/brimtally inside the checkout: build/ sits at the top.
    found = [str(here.parents[2] / "build" / "lib" / LIBRARY_NAME)]
    cwd = Path.cwd()
    if (cwd / "library" / "include" / "brimtally.h").is_file():
        found.append(str(cwd / "build" / "lib" / LIBRARY_NAME))
    # PREFIX/lib/pythonX.Y/site-packages/brimtally: the library is in PREFIX/lib.
    found.append(str(here.parents[2] / LIBRARY_NAME))
    found.append(LIBRARY_NAME)
    return [c for i, c in enumerate(found) if c not in found[:i]]


def _declare(lib: ctypes.CDLL) -> None:
    lib.btInitDLL.argtypes = [_rec]
    lib.btInitDLL.restype = record.ModuleRecord
    lib.btPortOpen.argtypes = [_i16, ctypes.c_uint16]
    lib.btPortOpen.restype = _i16
    lib.btPortOpenName.argtypes = [ctypes.c_char_p, ctypes.c_uint16]
    lib.btPortOpenName.restype = _i16
    lib.btPortDevice.argtypes = [_i16, ctypes.c_char_p, ctypes.c_uint16]
    lib.btPortDevice.restype = _i16
    lib.btPortStatus.argtypes = [ctypes.c_char_p, ctypes.c_uint16]
    lib.btPortStatus.restype = _i32
    lib.btPortCheckName.argtypes = [ctypes.c_char_p, ctypes.c_char_p, ctypes.c_uint16]
    lib.btPortCheckName.restype = _i16
    lib.btPortClose.argtypes = []
    lib.btPortClose.restype = _i32
    for name, rest in _RECORD_CALLS.items():
        function = getattr(lib, name)
        function.argtypes = [_rec, *rest]
        function.restype = _i16


def library() -> ctypes.CDLL:
    """The loaded library, loading it at the first call.

    Raises ``OSError`` naming every place tried when none holds it, and
    ``VersionRefused`` when the library is not the version this binding knows.
    """
    global _loaded, _loaded_path
    with LOCK:
        if _loaded is not None:
            return _loaded
        failures = []
        for path in candidates():
            if os.sep in path and not os.path.exists(path):
                failures.append(f"{path}: not found")
                continue
            try:
                lib = ctypes.CDLL(path)
            except OSError as error:
                failures.append(str(error))
                continue
            _declare(lib)
            stamped = lib.btInitDLL(None).DllVersion
            if stamped != record.DLL_VERSION:
                raise errors.VersionRefused(
                    record.WRONG_VERSION,
                    f"{path} is {stamped!r}, this binding needs {record.DLL_VERSION!r}",
                )
            _loaded, _loaded_path = lib, path
            return lib
        raise OSError(
            "brimtally: cannot load the library (set BRIMTALLY_LIBRARY to its path); tried: "
            + "; ".join(failures)
        )


def library_path() -> str:
    """The path (or bare name) from which the library was loaded; loads it if needed."""
    library()
    return _loaded_path
