# SPDX-License-Identifier: MIT
"""Item 7: what reading the echo costs. One typed query (QE) through
brimtally on a line that echoes, opened with the echo option, against the
same on a line that does not, unpaced and at 9600 baud."""
import statistics

from line_clients import Clients, Simulator, percentile, transactions

COMMAND_CHARS = 11  # "#cc AA QE" and its two line ends, echoed whole


def wire_ms(baud, chars):
    return 0.0 if baud is None else chars * 10 * 1000 / baud


def measure(build, workdir, rounds, per_round):
    clients = Clients(build)
    result = {}
    for baud, timeout_ms in ((None, 30), (9600, 150)):
        lines = {False: Simulator(build, workdir, baud, tag="-plain"),
                 True: Simulator(build, workdir, baud, tag="-echo", echo=True)}
        rows = {False: [], True: []}
        for _ in range(rounds):  # alternating, so load falls on both alike
            for echo, sim in lines.items():
                got, _ = clients.run("brimtally", sim, "txn", per_round, baud or 9600, timeout_ms,
                                     url=sim.device + "?echo" if echo else None)
                rows[echo] += got
        for echo, sim in lines.items():
            wall, overhead, module, failed = transactions(sim.stop(), rows[echo])
            if not wall:
                raise RuntimeError("echo %s at %s: no transaction succeeded" % (echo, baud))
            result[(baud, echo)] = {
                "n": len(wall), "failed": sum(failed), "wall_median": statistics.median(wall),
                "wall_p99": percentile(wall, 99), "module_median": statistics.median(module),
                "overhead_median": statistics.median(overhead),
                "overhead_p99": percentile(overhead, 99)}
    return result


def render(result, count):
    out = ["## 7. The echo of a two-wire line", "",
           "brimtally alone: `btGetAllIO` on the simulator with `--echo` (it returns every byte "
           "the host sends, at the line's pace, before its reply), the port opened as `DEVICE?echo`"
           ", against the same on a simulator without echo; %d transactions per line in "
           "alternating rounds, normal priority. *Module* includes the echo on the wire, so "
           "*overhead* (wall - 80 ms - module) is what the echo check itself adds. Aim: the echo "
           "costs no more than its wire time plus 0.2 ms." % count, "",
           "| line speed | line | ok/failed | wall median ms | wall p99 ms | module median ms | "
           "overhead median ms | overhead p99 ms |", "|---|---|---|---|---|---|---|---|"]
    for (baud, echo), r in result.items():
        out.append("| %s | %s | %d/%d | %.2f | %.2f | %.3f | %.3f | %.3f |"
                   % ("unpaced" if baud is None else "%d baud" % baud,
                      "echoing, `?echo`" if echo else "no echo", r["n"], r["failed"],
                      r["wall_median"], r["wall_p99"], r["module_median"], r["overhead_median"],
                      r["overhead_p99"]))
    out.append("")
    for baud in (None, 9600):
        cost = result[(baud, True)]["wall_median"] - result[(baud, False)]["wall_median"]
        wire = wire_ms(baud, COMMAND_CHARS)
        out.append("- the echo at %s costs %.3f ms against its wire time %.2f ms + 0.2 ms: %s"
                   % ("unpaced" if baud is None else "%d baud" % baud, cost, wire,
                      "met" if cost <= wire + 0.2 else "MISSED"))
    out.append("")
    return "\n".join(out)
