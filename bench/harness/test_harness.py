# SPDX-License-Identifier: MIT
"""Checks of the parts of scripts/bench that could skew a comparison unseen:
matching a client's exchange to the simulator's log, the Python peer's
framing, and every client's verdict on a silent line and on the simulator."""
import os
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "peers"))

import pyserial_client  # noqa: E402
from call_log import tick_holds  # noqa: E402
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


class TickHoldTest(unittest.TestCase):
    def test_calls_of_one_tick_hold_together_and_ticks_apart_do_not(self):
        calls = ("ex_xmit_msg 1000000000 1000040000 3\n"
                 "ex_read_line 1000100000 1008000000 6\n"      # send and reply: 8 ms
                 "ex_read_line 1400000000 1430100000 0\n"      # nothing came: 30.1 ms
                 "ex_read_line 1800000000 1830200000 0\n")
        with tempfile.NamedTemporaryFile("w", suffix=".log", delete=False) as f:
            f.write(calls)
        try:
            self.assertEqual(tick_holds(f.name), [8.0, 30.1, 30.2])
        finally:
            os.unlink(f.name)


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


BUILD = os.environ.get("BENCH_BUILD_DIR")


@unittest.skipUnless(BUILD, "BENCH_BUILD_DIR names the build tree (set by ctest)")
class PeerClientsTest(unittest.TestCase):
    """Each client must report a transaction without an answer as failed, and
    give up within its time-outs; against the simulator each must succeed."""

    def setUp(self):
        sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
        import run_bench
        self.clients = run_bench.Clients(BUILD)
        self.workdir = tempfile.mkdtemp(prefix="bench-test-")

    def tearDown(self):
        import shutil
        shutil.rmtree(self.workdir)

    def run_each(self, device):
        class Line:  # what Clients.command needs of a simulator
            pass
        line = Line()
        line.device = device
        line.link = os.path.join(self.workdir, "link")
        if not os.path.lexists(line.link):
            os.symlink(device, line.link)
        results = {}
        for name in ("brimtally", "pyserial", "libserialport"):
            args, env = self.clients.command(name, line, "txn", 2, 9600, 30)
            done = subprocess.run(args, capture_output=True, text=True, timeout=20,
                                  env=dict(os.environ, **env))
            rows = [l.split() for l in done.stdout.splitlines() if l.startswith("txn ")]
            results[name] = (done.returncode, [int(r[4]) for r in rows], done.stderr)
        return results

    def test_silent_line_fails_every_transaction(self):
        master, slave = os.openpty()
        try:
            device = os.ttyname(slave)
            os.close(slave)
            for name, (code, statuses, err) in self.run_each(device).items():
                self.assertEqual(code, 3, name + err)
                self.assertEqual(len(statuses), 2, name)
                self.assertTrue(all(s != 0 for s in statuses), name)
        finally:
            os.close(master)

    def test_simulated_module_answers_every_client(self):
        sim = subprocess.Popen([os.path.join(BUILD, "bin", "brimtally-sim"), "--no-banner",
                                "--die-with-parent"], stdout=subprocess.PIPE, text=True)
        try:
            device = sim.stdout.readline().strip()
            for name, (code, statuses, err) in self.run_each(device).items():
                self.assertEqual(code, 0, name + err)
                self.assertEqual(statuses, [0, 0], name)
        finally:
            sim.terminate()
            sim.wait(timeout=10)
