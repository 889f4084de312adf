# SPDX-License-Identifier: MIT
"""The simulator's --log: each framed query's arrival and the time its reply's
last byte was written, on the CLOCK_MONOTONIC clock the clients also read."""


class SimLog:
    def __init__(self, path):
        self.lines = []  # (ns, direction, text)
        with open(path, errors="replace") as f:
            for line in f:
                parts = line.rstrip("\n").split(None, 2)
                if len(parts) < 3 or parts[1] not in ("in", "out"):
                    continue
                seconds, micros = parts[0].split(".")
                self.lines.append((int(seconds) * 10**9 + int(micros) * 1000, parts[1], parts[2]))
        self.lines.sort()

    def exchange(self, start_ns, end_ns):
        """(query arrived, reply's last byte written) of the one query inside
        [start_ns, end_ns], or None when the window holds no complete pair."""
        import bisect
        i = bisect.bisect_left(self.lines, (start_ns, "", ""))
        arrived = None
        for ns, direction, text in self.lines[i:]:
            if ns > end_ns:
                break
            if direction == "in" and text.startswith("#"):
                arrived = ns
            elif direction == "out" and arrived is not None and text.startswith("$"):
                return arrived, ns
        return None
