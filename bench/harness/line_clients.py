# SPDX-License-Identifier: MIT
"""The simulator and the three clients of one exchange, as the benchmarks run
them, and the reading of a run's transactions against the simulator's log."""
import os
import subprocess

from sim_log import SimLog

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
PYTHON = "/usr/bin/python3"  # the Debian interpreter, where python3-serial lives
MANDATED_MS = 50 + 3 * 10    # the pause and the three flush reads before each write
ADDRESS = "01"


def realtime_allowed():
    """chrt --fifo needs root or CAP_SYS_NICE."""
    return subprocess.run(["chrt", "--fifo", "1", "true"], capture_output=True).returncode == 0


REALTIME = realtime_allowed()


def rt_prefix(priority):
    """The command prefix that runs a process at a real-time priority, where allowed."""
    return ["chrt", "--fifo", str(priority)] if REALTIME else []


def percentile(values, p):
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, int(round(p / 100 * (len(ordered) - 1))))]


class Simulator:
    """One brimtally-sim with a log, a link for libserialport and a control socket."""

    def __init__(self, build, workdir, baud=None, addresses=(ADDRESS,), tag="", banner=False,
                 echo=False):
        name = "%s%s" % (baud or "unpaced", tag)
        self.log_path = os.path.join(workdir, "sim-%s.log" % name)
        self.link = os.path.join(workdir, "pty-%s" % name)
        # The simulator is the measuring instrument: at real-time priority its
        # timestamps are not held up by other work on the machine.
        args = rt_prefix(60) + [
                os.path.join(build, "bin", "brimtally-sim"), "--drift", "0",
                "--die-with-parent", "--log", self.log_path, "--link", self.link]
        if not banner:
            args.append("--no-banner")
        for a in addresses:
            args += ["--address", a]
        if baud:
            args += ["--baud", str(baud)]
        if echo:
            args.append("--echo")
        self.process = subprocess.Popen(args, stdout=subprocess.PIPE, text=True)
        self.device = self.process.stdout.readline().strip()
        if not self.device:
            raise RuntimeError("brimtally-sim did not start")

    def stop(self):
        self.process.terminate()
        self.process.wait(timeout=10)
        return SimLog(self.log_path)


class Clients:
    """The three clients of one exchange, run with the same arguments."""

    def __init__(self, build):
        self.build = build
        self.library = os.path.join(build, "lib", "libbrimtally.so.1")
        self.shim = os.path.join(build, "lib", "pty_modem_lines.so")

    def command(self, name, sim, mode, count, baud, timeout_ms, addresses=(ADDRESS,), url=None):
        rest = [mode, str(count), str(baud), str(timeout_ms)]
        if name == "brimtally":
            return [os.path.join(self.build, "bin", "brimtally_client"), self.library,
                    url or sim.device] + rest + list(addresses), {}
        if name == "pyserial":
            # pyserial waits for SET-CONTROL answers, which ser2net in front of a
            # pseudo-terminal never sends: without this option its open fails.
            url = url and url + "?ign_set_control"
            return [PYTHON, os.path.join(ROOT, "bench", "peers", "pyserial_client.py"),
                    url or sim.device] + rest + [ADDRESS], {}
        # libserialport takes only names under /dev/ that have a /sys/class/tty
        # entry; this path resolves to the simulator's link from both places.
        return ([os.path.join(self.build, "bin", "serialport_client"),
                 "/dev/../../.." + sim.link] + rest + [ADDRESS], {"LD_PRELOAD": self.shim})

    def run(self, name, sim, mode, count, baud, timeout_ms, addresses=(ADDRESS,),
            realtime=False, url=None):
        args, extra_env = self.command(name, sim, mode, count, baud, timeout_ms, addresses, url)
        if realtime:
            args = rt_prefix(50) + args
        env = dict(os.environ, **extra_env)
        done = subprocess.run(args, capture_output=True, text=True, env=env, timeout=600)
        rows, cpu = [], None
        for line in done.stdout.splitlines():
            fields = line.split()
            if fields[0] == "cpu":
                cpu = (float(fields[1]), float(fields[2]), int(fields[3]))
            else:
                rows.append((fields[0], int(fields[1]), int(fields[2]), int(fields[3]),
                             int(fields[4])))
        if cpu is None:
            raise RuntimeError("%s failed: %s" % (name, done.stderr.strip()))
        return rows, cpu


PEERS = ("brimtally", "pyserial", "libserialport")


def transactions(log, rows):
    """Wall, overhead and module times in ms of the exchanges that succeeded;
    and of those that failed, how many the simulator's log shows answered in
    full inside the client's window, and how many not."""
    wall, overhead, module, failed = [], [], [], [0, 0]
    for _, start, _, end, status in rows:
        exchange = log.exchange(start, end)
        if status != 0 or exchange is None:
            failed[0 if exchange is not None else 1] += 1
            continue
        arrived, replied = exchange
        wall.append((end - start) / 1e6)
        module.append((replied - arrived) / 1e6)
        overhead.append((end - start) / 1e6 - MANDATED_MS - (replied - arrived) / 1e6)
    return wall, overhead, module, failed
