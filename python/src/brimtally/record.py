# SPDX-License-Identifier: MIT
"""The ctypes mirror of the C ``ModuleRecord`` and the library's status codes.

The layout must match ``brimtally.h`` byte for byte; a test compiles the header
and compares every member's offset and size with this mirror.
"""

import ctypes

#: The version text that the library stamps into every record it initialises.
DLL_VERSION = b"Brimtally DLL V00-19"

VERSION_LEN = 40
ADDRESS_LEN = 20
COMMAND_LEN = 100
REPLY_LEN = 100
KEY_LEN = 20
MESSAGE_LEN = 100

_i16 = ctypes.c_int16
_i32 = ctypes.c_int32


class ModuleRecord(ctypes.Structure):
    """The fixed 484-byte record the library reads and writes during a call."""

    _fields_ = [
        ("DllVersion", ctypes.c_char * VERSION_LEN),
        ("ModuleAddress", ctypes.c_char * ADDRESS_LEN),
        ("CommandText", ctypes.c_char * COMMAND_LEN),
        ("ReplyText", ctypes.c_char * REPLY_LEN),
        ("KeyText", ctypes.c_char * KEY_LEN),
        ("MessageText", ctypes.c_char * MESSAGE_LEN),
        ("Status", _i16),
        ("Padding", _i16),
        ("ConfigBits", _i32),
        ("AnalogIn0", _i16),
        ("AnalogIn1", _i16),
        ("AnalogIn2", _i16),
        ("AnalogIn3", _i16),
        ("AnalogIn4", _i16),
        ("AnalogIn5", _i16),
        ("HighLimit", _i16 * 6),
        ("LowLimit", _i16 * 6),
        ("AnalogOut0", _i16),
        ("AnalogOut1", _i16),
        ("Frequency", _i32),
        ("PortDirection", _i16),
        ("DigitalIn", _i16),
        ("DigitalOut", _i16),
        ("Analog4V", _i16),
        ("Analog4Max", _i16),
        ("Analog4Min", _i16),
        ("Analog5V", _i16),
        ("Analog5Max", _i16),
        ("Analog5Min", _i16),
        ("SpareWord", _i16),
        ("SerialNumber", _i16 * 8),
        ("Totalizer", _i32),
        ("PwmPeriod", _i32),
        ("PwmPercent", _i32),
        ("Debounce", _i16),
        ("ReplyTimeout", _i16),
    ]


#: Status codes returned by the exports, as in ``brimtally.h``.
OK = 0
NO_REPLY = 1
NOT_A_REPLY = 2
BAD_CHECKSUM = 3
WRONG_ADDRESS = 5
MALFORMED = 6
BAD_KEY = 7
WRONG_VERSION = 8
NO_PORT = 9
TOO_LONG = 10
BAD_PORT = 100
BAD_BAUD = 101
OPEN_FAILED = 102
READ_ERROR = 103

#: What each status code means, for error messages.
MEANINGS = {
    OK: "success",
    NO_REPLY: "no reply: nothing arrived within the reply time-out, or the read failed",
    NOT_A_REPLY: "the reply did not begin with '$'",
    BAD_CHECKSUM: "the reply checksum was wrong",
    WRONG_ADDRESS: "the reply came from another address",
    MALFORMED: "a reply field was malformed",
    BAD_KEY: "the key reply held a character other than a blank or a hex digit",
    WRONG_VERSION: "the record's version text does not match the library",
    NO_PORT: "no port is open",
    TOO_LONG: "the command line would not fit in the record",
    BAD_PORT: "the port number is not 1 or 2",
    BAD_BAUD: "the baud rate is not accepted",
    OPEN_FAILED: "the serial driver could not open or set up the port",
    READ_ERROR: "the serial driver reported an error during the read",
}
