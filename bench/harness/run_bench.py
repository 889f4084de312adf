#!/usr/bin/python3
# SPDX-License-Identifier: MIT
"""Runs every benchmark of scripts/bench against brimtally-sim, prints one
table and writes it, with the machine it ran on, to bench/results.md.

    run_bench.py BUILD_DIR RESULTS_MD [--quick]
    run_bench.py BUILD_DIR - [--quick] --network|--echo|--unpaced   (one item, printed)
"""
import json
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

import echo_line
from call_log import tick_holds
from report import render, render_network
from ser2net import Ser2net
from line_clients import (MANDATED_MS, PEERS, REALTIME, ROOT, Clients, Simulator, percentile,
                          rt_prefix, transactions)

def machine():
    model = "unknown"
    with open("/proc/cpuinfo") as f:
        for line in f:
            if line.startswith("model name"):
                model = line.split(":", 1)[1].strip()
                break
    return {"nproc": os.cpu_count(), "cpu": model, "kernel": os.uname().release}


def load_average():
    with open("/proc/loadavg") as f:
        return " ".join(f.read().split()[:3])


def reply_latency(log, rows):
    """Microseconds from the reply's last byte leaving the simulator to the
    client's line read returning; and the count of failed exchanges."""
    latency, failed = [], 0
    for _, start, returned, _, chars in rows:
        exchange = log.exchange(start, returned)
        if chars <= 0 or exchange is None:
            failed += 1
            continue
        latency.append((returned - exchange[1]) / 1e3)
    return latency, failed


def side_by_side(build, workdir, baud, timeout_ms, rounds, per_round, raw_count):
    """Item 1 and 2 for one line speed: rounds alternate the clients, so load
    that comes and goes falls on all of them alike."""
    clients = Clients(build)
    sim = Simulator(build, workdir, baud)
    txn = {p: [] for p in PEERS}
    txn_rt = {p: [] for p in PEERS}
    cpu = {p: [0.0, 0.0, 0] for p in PEERS}
    raw = {p: [] for p in PEERS}
    raw_rt = {p: [] for p in PEERS}
    for _ in range(rounds):
        for p in PEERS:
            rows, measured = clients.run(p, sim, "txn", per_round, baud or 9600, timeout_ms)
            txn[p] += rows
            cpu[p] = [a + b for a, b in zip(cpu[p], measured)]
            rows, _ = clients.run(p, sim, "txn", per_round, baud or 9600, timeout_ms,
                                  realtime=True)
            txn_rt[p] += rows
    for p in PEERS:
        raw[p], _ = clients.run(p, sim, "raw", raw_count, baud or 9600, timeout_ms)
        raw_rt[p], _ = clients.run(p, sim, "raw", raw_count, baud or 9600, timeout_ms,
                                   realtime=True)
    log = sim.stop()

    result = {}
    for p in PEERS:
        wall, overhead, module, failed = transactions(log, txn[p])
        _, overhead_rt, _, failed_rt = transactions(log, txn_rt[p])
        latency, raw_failed = reply_latency(log, raw[p])
        latency_rt, raw_rt_failed = reply_latency(log, raw_rt[p])
        if not wall or not overhead_rt or not latency or not latency_rt:
            raise RuntimeError("%s: no transaction succeeded" % p)
        result[p] = {
            "n": len(wall), "failed": sum(failed), "failed_answered": failed[0],
            "wall_median": statistics.median(wall), "wall_p99": percentile(wall, 99),
            "module_median": statistics.median(module),
            "overhead_median": statistics.median(overhead), "overhead_p99": percentile(overhead, 99),
            "rt_n": len(overhead_rt), "rt_failed": sum(failed_rt),
            "rt_failed_answered": failed_rt[0],
            "overhead_rt_median": statistics.median(overhead_rt),
            "overhead_rt_p99": percentile(overhead_rt, 99),
            "cpu_share": 100 * cpu[p][0] / cpu[p][1],
            "cpu_ms_per_txn": 1e3 * cpu[p][0] / len(txn[p]),
            "wakes_per_txn": cpu[p][2] / len(txn[p]),
            "latency_n": len(latency), "latency_failed": raw_failed,
            "latency_median": statistics.median(latency), "latency_p99": percentile(latency, 99),
            "latency_rt_n": len(latency_rt), "latency_rt_failed": raw_rt_failed,
            "latency_rt_median": statistics.median(latency_rt),
            "latency_rt_p99": percentile(latency_rt, 99),
        }
    return result


def network(build, workdir, rounds, per_round):
    """Item 6: one QE transaction on the pseudo-terminal directly and through
    ser2net's RFC 2217 accepter, for brimtally and pyserial (serial_for_url),
    in alternating rounds; unpaced, 30 ms reply time-out."""
    clients = Clients(build)
    sim = Simulator(build, workdir, None, tag="-net")
    server = Ser2net(sim.device, "rfc2217", os.path.join(workdir, "ser2net.pid"))
    paths = (("direct", None), ("ser2net RFC 2217", server.url))
    rows = {(p, path): [] for p in ("brimtally", "pyserial") for path, _ in paths}
    try:
        for _ in range(rounds):
            for p in ("brimtally", "pyserial"):
                for path, url in paths:
                    got, _ = clients.run(p, sim, "txn", per_round, 9600, 30, url=url)
                    rows[(p, path)] += got
    finally:
        server.stop()  # no server left behind when a client fails
    log = sim.stop()
    result = {}
    for key, got in rows.items():
        wall, overhead, module, failed = transactions(log, got)
        if not wall:
            raise RuntimeError("%s %s: no transaction succeeded" % key)
        result[key] = {"n": len(wall), "failed": sum(failed),
                       "wall_median": statistics.median(wall),
                       "overhead_median": statistics.median(overhead),
                       "overhead_p99": percentile(overhead, 99),
                       "module_median": statistics.median(module)}
    return result


def scaling(build, workdir, sweeps):
    """Item 5: btGetAllIO over 1, 8 and 32 modules on one line."""
    addresses = ["%02d" % i for i in range(1, 33)]
    sim = Simulator(build, workdir, None, addresses)
    clients = Clients(build)
    result = {}
    for k in (1, 8, 32):
        # Short sweeps get more runs, for a median as steady as the long ones'.
        rows, (c, w, _) = clients.run("brimtally", sim, "sweep", max(sweeps, 32 // k), 9600, 30,
                                      addresses[:k])
        times = [(end - start) / 1e6 for _, start, _, end, _ in rows]
        result[k] = {"sweeps": len(rows), "failed": sum(r[4] for r in rows),
                     "median_ms": statistics.median(times), "cpu_share": 100 * c / w}
    sim.stop()
    return result


def codec(build, min_time):
    """Item 3: Google Benchmark, median of three repetitions."""
    out = subprocess.run(
        [os.path.join(build, "bin", "codec_bench"), "--benchmark_format=json",
         "--benchmark_repetitions=3", "--benchmark_report_aggregates_only=true",
         "--benchmark_min_time=%s" % min_time], capture_output=True, text=True, check=True)
    result = {}
    for b in json.loads(out.stdout)["benchmarks"]:
        if b.get("aggregate_name") == "median":
            if b.get("error_occurred"):
                raise RuntimeError("codec_bench %s: %s" % (b["run_name"], b["error_message"]))
            result[b["run_name"]] = b["items_per_second"]
    return result


def cpu_ns(pid):
    """CPU time of all of a process's threads, in nanoseconds (schedstat)."""
    total = 0
    for task in os.listdir("/proc/%d/task" % pid):
        with open("/proc/%d/task/%s/schedstat" % (pid, task)) as f:
            total += int(f.read().split()[0])
    return total


def pexilconfig(build, workdir, idle_seconds, runs):
    """Item 4: start-up and idle CPU from the program's own script; peak RSS and
    the time each polling tick spends in library calls from a run of a copy of
    the program whose libbrimtally.so.1 times the calls it forwards."""
    program = os.path.join(build, "bin", "PEXILConfig")
    script = os.path.join(ROOT, "bench", "config", "measure_pexilconfig.sh")
    if not os.path.exists(program) or not os.path.exists(script):
        return None
    env = dict(os.environ, IDLE_SECONDS=str(idle_seconds), RUNS=str(runs))
    env.pop("DISPLAY", None)  # the script then runs itself under Xvfb
    measured = subprocess.run([script, build], capture_output=True, text=True, env=env,
                              timeout=900)
    if measured.returncode != 0:
        raise RuntimeError("measure_pexilconfig.sh: " + measured.stderr.strip())
    result = {"script": measured.stdout.strip().splitlines()}

    copy = os.path.join(workdir, "pexil")
    os.makedirs(os.path.join(copy, "bin"))
    os.makedirs(os.path.join(copy, "lib"))
    shutil.copy(program, os.path.join(copy, "bin"))
    shutil.copy(os.path.join(build, "lib", "libcall_timing_library.so"),
                os.path.join(copy, "lib", "libbrimtally.so.1"))
    result["runs"] = [timed_copy(build, workdir, copy, idle_seconds, realtime)
                      for realtime in (False, True)]
    return result


def timed_copy(build, workdir, copy, idle_seconds, realtime):
    """One run of the program's timing copy with Com1 open on the simulator."""
    tag = "-pexil-rt" if realtime else "-pexil"
    calls = os.path.join(workdir, "calls%s.log" % tag)
    sim = Simulator(build, workdir, 9600, tag=tag, banner=True)
    env = dict(os.environ, BRIMTALLY_COM1=sim.device, PEXILCONFIG_DEMO_SELECT="1",
               QT_QPA_PLATFORM="offscreen", BRIMTALLY_CALL_LOG=calls,
               BRIMTALLY_REAL_LIBRARY=os.path.join(build, "lib", "libbrimtally.so.1"))
    args = [os.path.join(copy, "bin", "PEXILConfig")]
    if realtime:
        args = rt_prefix(50) + args
    run = subprocess.Popen(args, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    time.sleep(3)  # past start-up and the first replies
    cpu0, wall0 = cpu_ns(run.pid), time.monotonic_ns()
    time.sleep(idle_seconds)
    cpu1, wall1 = cpu_ns(run.pid), time.monotonic_ns()
    with open("/proc/%d/status" % run.pid) as f:
        peak = [line.split()[1] for line in f if line.startswith("VmHWM:")]
    run.terminate()
    run.wait(timeout=10)
    sim.stop()

    holds = tick_holds(calls)
    if not holds:
        raise RuntimeError("PEXILConfig made no library call")
    return {"realtime": realtime, "peak_rss_kb": int(peak[0]),
            "idle_cpu_share": 100 * (cpu1 - cpu0) / (wall1 - wall0),
            "idle_seconds": idle_seconds, "ticks": len(holds),
            "hold_median": statistics.median(holds), "hold_p99": percentile(holds, 99),
            "hold_max": max(holds)}


def main():
    build, results_md = sys.argv[1], sys.argv[2]
    quick = "--quick" in sys.argv
    rounds, per_round, raw_count, sweeps = (1, 10, 20, 2) if quick else (3, 50, 200, 5)
    if "--network" in sys.argv:  # item 6 alone, printed only
        with tempfile.TemporaryDirectory(prefix="brimtally-bench-") as workdir:
            print(render_network(network(build, workdir, rounds, per_round), rounds * per_round,
                                 MANDATED_MS, time.strftime("%Y-%m-%d %H:%M UTC", time.gmtime()),
                                 load_average()))
        return
    if "--echo" in sys.argv:  # item 7 alone, printed only
        with tempfile.TemporaryDirectory(prefix="brimtally-bench-") as workdir:
            print(echo_line.render(echo_line.measure(build, workdir, rounds, per_round),
                                   rounds * per_round))
        return
    if "--unpaced" in sys.argv:  # item 1 alone, printed only
        with tempfile.TemporaryDirectory(prefix="brimtally-bench-") as workdir:
            rows = side_by_side(build, workdir, None, 30, rounds, per_round, raw_count)
        for name, row in rows.items():
            print(name, {k: v for k, v in row.items() if not isinstance(v, (list, dict))})
        return
    info = machine()
    load_before = load_average()
    started = time.strftime("%Y-%m-%d %H:%M UTC", time.gmtime())
    with tempfile.TemporaryDirectory(prefix="brimtally-bench-") as workdir:
        print("side by side, unpaced ...", file=sys.stderr)
        unpaced = side_by_side(build, workdir, None, 30, rounds, per_round, raw_count)
        print("side by side, 9600 baud ...", file=sys.stderr)
        paced = side_by_side(build, workdir, 9600, 150, rounds, per_round, raw_count)
        print("scaling ...", file=sys.stderr)
        scale = scaling(build, workdir, sweeps)
        print("PEXILConfig ...", file=sys.stderr)
        program = pexilconfig(build, workdir, *((5, 3) if quick else (20, 10)))
        print("through ser2net ...", file=sys.stderr)
        served = network(build, workdir, rounds, per_round)
        print("echo ...", file=sys.stderr)
        echoed = echo_line.measure(build, workdir, rounds, per_round)
    print("codec ...", file=sys.stderr)
    lines = codec(build, "0.1" if quick else "0.5")
    load_after = load_average()

    text = render(info, started, load_before, load_after, rounds, rounds * per_round, raw_count, sweeps,
                  unpaced, paced, scale, lines, MANDATED_MS, program, REALTIME)
    text += "\n" + render_network(served, rounds * per_round, MANDATED_MS)
    text += "\n" + echo_line.render(echoed, rounds * per_round)
    print(text)
    with open(results_md, "w") as f:
        f.write(text)


if __name__ == "__main__":
    main()
