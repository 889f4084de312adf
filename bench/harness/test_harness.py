"""Checks of the parts of scripts/bench that could skew a comparison unseen:
matching a client's exchange to the simulator's log, and the Python peer's
framing."""
import os
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "peers"))

import pyserial_client  # noqa: E402
from sim_log import SimLog  # noqa: E402

LOG = r"""100.000000 event start device /dev/pts/3
100.010000 in    #46 01 QE\n\r
100.010040 out   $90 01 A0:80 C:02CF\r
100.020000 out   BRIM>\r
100.100000 in    #46 01 QE\n\r
100.100500 event reply held 5 ms
100.105123 out   $86 01 A0:81 C:02CF\r
100.200000 in    #46 01 QE\n\r
"""


class SimLogTest(unittest.TestCase):
    def setUp(self):
        with tempfile.NamedTemporaryFile("w", suffix=".log", delete=False) as f:
            f.write(LOG)
        self.log = SimLog(f.name)
        os.unlink(f.name)

    def test_exchange_is_the_query_and_reply_inside_the_window(self):
        self.assertEqual(self.log.exchange(100_005_000_000, 100_050_000_000),
                         (100_010_000_000, 100_010_040_000))
        # Events between query and reply are skipped; microseconds are kept.
        self.assertEqual(self.log.exchange(100_090_000_000, 100_150_000_000),
                         (100_100_000_000, 100_105_123_000))

    def test_window_without_a_whole_exchange_matches_nothing(self):
        # The reply came after the client gave up.
        self.assertIsNone(self.log.exchange(100_090_000_000, 100_104_000_000))
        # A query that was never answered.
        self.assertIsNone(self.log.exchange(100_150_000_000, 100_300_000_000))
        # A reply whose query lies before the window.
        self.assertIsNone(self.log.exchange(100_010_020_000, 100_050_000_000))


class PythonPeerFramingTest(unittest.TestCase):
    def test_query_line_and_reply_checks_agree_with_the_protocol(self):
        self.assertEqual(pyserial_client.framed_query("01", "QE"), b"#46 01 QE\n\r")
        self.assertEqual(pyserial_client.framed_query("", "QE")[3:], b"  QE\n\r")
        for reply, valid in ((b"$C3 01 I:3C O:0F", True), (b"$c3 01 I:3C O:0F", True),
                             (b"$FB 01", True), (b"$C4 01 I:3C O:0F", False),
                             (b"$C3 02 I:3C O:0F", False), (b"#C3 01 I:3C O:0F", False),
                             (b"$G3 01 I:3C O:0F", False), (b"$FB 0", False), (b"$", False)):
            self.assertEqual(pyserial_client.reply_is_valid(reply, "01"), valid, reply)


if __name__ == "__main__":
    unittest.main()
