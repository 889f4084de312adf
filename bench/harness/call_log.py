# SPDX-License-Identifier: MIT
"""The call log of PEXILConfig's timing copy: "<name> <start_ns> <end_ns> <result>"
for each ex_xmit_msg and ex_read_line."""

# A tick's calls follow each other within microseconds; ticks are 400 ms apart.
SAME_TICK_NS = 50_000_000


def tick_holds(path):
    """Milliseconds from each tick's first call's start to its last call's end."""
    holds, tick = [], None
    with open(path) as f:
        for line in f:
            _, start, end, _ = line.split()
            start, end = int(start), int(end)
            if tick is not None and start - tick[1] < SAME_TICK_NS:
                tick[1] = end
                continue
            if tick is not None:
                holds.append((tick[1] - tick[0]) / 1e6)
            tick = [start, end]
    if tick is not None:
        holds.append((tick[1] - tick[0]) / 1e6)
    return holds
