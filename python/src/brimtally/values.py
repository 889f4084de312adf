# SPDX-License-Identifier: MIT
"""Typed snapshots of a module's values, as the queries return them."""

from dataclasses import dataclass
from typing import Tuple

from .record import ModuleRecord


@dataclass(frozen=True)
class AllIO:
    """Every input and output value of a module, from one "QE" query.

    ``analog_in`` holds channels 0-3 (8-bit) and 4-5 (12-bit); ``direction``
    has a 1 bit for each digital line that is an input.
    """

    analog_in: Tuple[int, int, int, int, int, int]
    analog_out: Tuple[int, int]
    digital_in: int
    digital_out: int
    direction: int
    frequency: int
    totalizer: int
    configuration: int

    @classmethod
    def from_record(cls, r: ModuleRecord) -> "AllIO":
        """The values as the library left them in ``r``."""
        return cls(
            analog_in=(
                r.AnalogIn0, r.AnalogIn1, r.AnalogIn2, r.AnalogIn3, r.AnalogIn4, r.AnalogIn5
            ),
            analog_out=(r.AnalogOut0, r.AnalogOut1),
            digital_in=r.DigitalIn,
            digital_out=r.DigitalOut,
            direction=r.PortDirection,
            frequency=r.Frequency,
            totalizer=r.Totalizer,
            configuration=r.ConfigBits,
        )


@dataclass(frozen=True)
class ChannelMinMax:
    """One 12-bit analog channel with its reading and its tracked extremes."""

    value: int
    reading: int
    maximum: int
    minimum: int


@dataclass(frozen=True)
class MinMax:
    """The minimum/maximum tracking of analog channels 4 and 5, from one "QM" query."""

    channel4: ChannelMinMax
    channel5: ChannelMinMax

    @classmethod
    def from_record(cls, r: ModuleRecord) -> "MinMax":
        """The values as the library left them in ``r``."""
        return cls(
            ChannelMinMax(r.AnalogIn4, r.Analog4V, r.Analog4Max, r.Analog4Min),
            ChannelMinMax(r.AnalogIn5, r.Analog5V, r.Analog5Max, r.Analog5Min),
        )
