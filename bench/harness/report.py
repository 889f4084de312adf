# SPDX-License-Identifier: MIT
"""The table of scripts/bench, as Markdown: printed and kept in bench/results.md."""


def verdict(ok):
    return "met" if ok else "MISSED"


def render(info, started, load_before, load_after, rounds, txn_count, raw_count, sweeps, unpaced, paced,
           scale, lines, mandated_ms, program, realtime_ok=True):
    out = ["# Benchmark results", "",
           "Written by `scripts/bench` (about ten minutes; `scripts/bench --quick` checks the "
           "set-up in one). Ratios between clients of the same run are what count; absolute "
           "times vary with the machine and its load.", ""]
    out.append("Run %s on %d CPUs (%s), kernel %s. Load average (1, 5, 15 min) %s before, %s "
               "after (the machine is shared with other builds and tests)."
               % (started, info["nproc"], info["cpu"], info["kernel"], load_before, load_after))
    if not realtime_ok:
        out.append("")
        out.append("**Real-time priority was not permitted** (`chrt --fifo` needs root or "
                   "CAP_SYS_NICE): the simulator and the runs labelled real-time below ran at "
                   "normal priority.")
    out.append("")
    out.append("Clients: **brimtally** = `btGetAllIO` through `libbrimtally.so.1` loaded with "
               "`dlopen`; **pyserial** = Python 3 on pyserial 3.5; **libserialport** = C on "
               "libserialport 0.1 (`sp_blocking_read`, one byte a call). Each does the same QE "
               "exchange: sleep 50 ms, three line reads of 10 ms, the write, one line read within "
               "the reply time-out, the checksum and address check.")
    out.append("")
    for title, speed, timeout, result in (
            ("unpaced", "pseudo-terminal at full speed", 30, unpaced),
            ("9600 baud", "simulator pacing its output at 9600 baud", 150, paced)):
        out.append("## 1. One transaction, %s" % title)
        out.append("")
        out.append("%s; reply time-out %d ms for every client%s; %d transactions per client in "
                   "%d alternating rounds. *Module* is the simulator's time from the query's "
                   "arrival to its reply's last byte (its log), which includes the reply on the "
                   "wire. *Overhead* = wall - %d ms mandated waits - module. *Wake-ups* are the "
                   "client's voluntary context switches (getrusage), one per return from a "
                   "blocking wait: a count that load on the machine does not change. Every "
                   "client also runs the same number of transactions at real-time priority "
                   "(`chrt --fifo 50`), which takes the other work on the machine out of the "
                   "overhead; CPU and wake-ups are from the normal-priority runs. The simulator "
                   "runs at real-time priority 60 throughout."
                   % (speed.capitalize(), timeout,
                      " (a QE reply of 97 characters takes 101 ms on a 9600 baud wire, more than "
                      "the default 30 ms)" if timeout != 30 else " (the default)",
                      txn_count, rounds, mandated_ms))
        out.append("")
        out.append("| client | ok/failed | wall median ms | wall p99 ms | module median ms | "
                   "overhead median ms | overhead p99 ms | CPU / wall | CPU per transaction ms | "
                   "wake-ups per transaction | real-time ok/failed | real-time overhead median ms | "
                   "real-time overhead p99 ms |")
        out.append("|---|---|---|---|---|---|---|---|---|---|---|---|---|")
        for name, r in result.items():
            out.append("| %s | %d/%d | %.2f | %.2f | %.3f | %.3f | %.3f | %.2f %% | %.3f | %.1f "
                       "| %d/%d | %.3f | %.3f |"
                       % (name, r["n"], r["failed"], r["wall_median"], r["wall_p99"],
                          r["module_median"], r["overhead_median"], r["overhead_p99"],
                          r["cpu_share"], r["cpu_ms_per_txn"], r["wakes_per_txn"], r["rt_n"],
                          r["rt_failed"], r["overhead_rt_median"], r["overhead_rt_p99"]))
        failures = []
        for name, r in result.items():
            for label, ok, key in (("", "n", "failed"), (" real-time", "rt_n", "rt_failed")):
                if r[key]:
                    failures.append("%s%s %d of %d (%d answered in full inside the client's "
                                    "window)" % (name, label, r[key], r[ok] + r[key],
                                                 r[key + "_answered"]))
        if failures:
            out.append("")
            out.append("Failed transactions: %s. A reply the simulator wrote in full inside the "
                       "window, yet the client did not read in time, was held up on its way "
                       "through the pseudo-terminal; a failure leaves the next transaction a "
                       "stale tail to read." % "; ".join(failures))
        ours = result["brimtally"]
        best_peer = min(r["cpu_share"] for n, r in result.items() if n != "brimtally")
        out.append("")
        out.append("- our overhead under 1 ms median: %s at normal priority (%.3f ms), %s at "
                   "real-time priority (%.3f ms)"
                   % (verdict(ours["overhead_median"] < 1.0), ours["overhead_median"],
                      verdict(ours["overhead_rt_median"] < 1.0), ours["overhead_rt_median"]))
        out.append("- our overhead 0.1 ms median (the waits end at their time): %s at normal "
                   "priority, %s at real-time priority"
                   % (verdict(ours["overhead_median"] <= 0.1),
                      verdict(ours["overhead_rt_median"] <= 0.1)))
        out.append("- our CPU share under 2 %%: %s (%.2f %%)"
                   % (verdict(ours["cpu_share"] < 2.0), ours["cpu_share"]))
        out.append("- our CPU share no higher than the best peer's (%.2f %%): %s (ratio %.2f)"
                   % (best_peer, verdict(ours["cpu_share"] <= best_peer),
                      ours["cpu_share"] / best_peer))
        out.append("")
    out.append("## 2. Reply latency")
    out.append("")
    out.append("From the simulator writing a reply's last byte (its log, CLOCK_MONOTONIC) to the "
               "return of the client's line read (`ex_read_line` for us), the query written "
               "1-4 ms after the previous reply; %d exchanges per client and column. Each client "
               "runs once at normal priority, where the tail shows how long the loaded machine "
               "takes to schedule it, and once at real-time priority (`chrt --fifo 50`), where "
               "it shows the client's own delay. Bytes written to a pseudo-terminal reach the "
               "reader through a kernel worker thread, which on a loaded machine waits its turn "
               "behind other work whatever the reader's priority: that wait is in every "
               "client's tail alike. Microseconds." % raw_count)
    out.append("")
    out.append("| client | line speed | ok/failed | median us | p99 us | real-time ok/failed | "
               "real-time median us | real-time p99 us |")
    out.append("|---|---|---|---|---|---|---|---|")
    for title, result in (("unpaced", unpaced), ("9600 baud", paced)):
        for name, r in result.items():
            out.append("| %s | %s | %d/%d | %.0f | %.0f | %d/%d | %.0f | %.0f |"
                       % (name, title, r["latency_n"], r["latency_failed"], r["latency_median"],
                          r["latency_p99"], r["latency_rt_n"], r["latency_rt_failed"],
                          r["latency_rt_median"], r["latency_rt_p99"]))
    for label, key in (("normal priority", "latency_p99"), ("real-time priority", "latency_rt_p99")):
        worst = max(unpaced["brimtally"][key], paced["brimtally"][key])
        out.append("")
        out.append("- our p99 under 1 ms at %s: %s (worst %.0f us)"
                   % (label, verdict(worst < 1000), worst))
    out.append("")
    out.append("## 3. Building command lines and scanning replies, in memory")
    out.append("")
    out.append("Google Benchmark (`codec_bench`, linked with brimtally_static), median of 3 "
               "repetitions.")
    out.append("")
    out.append("| case | lines per second |")
    out.append("|---|---|")
    for name, rate in lines.items():
        out.append("| %s | %.2f million |" % (name, rate / 1e6))
    out.append("")
    out.append("- over 1 million lines per second each: %s"
               % verdict(min(lines.values()) > 1e6))
    out.append("")
    out.append("## 4. PEXILConfig")
    out.append("")
    if program is None:
        out.append("Not measured: PEXILConfig or its start-up script bench/config/"
                   "measure_pexilconfig.sh is missing from this tree.")
    else:
        out.append("Start-up and idle CPU from `bench/config/measure_pexilconfig.sh` (under Xvfb; "
                   "Com1 open on the simulator):")
        out.append("")
        for line in program["script"]:
            out.append("- " + line)
        out.append("")
        out.append("Then a copy of the program whose `libbrimtally.so.1` forwards to ours and "
                   "times each `ex_xmit_msg` and `ex_read_line` runs on the offscreen platform "
                   "with Com1 open on the simulator pacing at 9600 baud: once at normal "
                   "priority and once at real-time priority (`chrt --fifo 50`), which takes the "
                   "other work on the machine out of the figures. A tick's hold is the time from "
                   "its first library call's start to its last one's return; the handler's own "
                   "work around them (classifying, painting) is not in it.")
        out.append("")
        out.append("| priority | peak RSS | CPU while idle (schedstat) | ticks | "
                   "tick hold median ms | p99 ms | max ms |")
        out.append("|---|---|---|---|---|---|---|")
        for r in program["runs"]:
            out.append("| %s | %.1f MB | %.3f %% over %d s | %d | %.2f | %.2f | %.2f |"
                       % ("real-time" if r["realtime"] else "normal", r["peak_rss_kb"] / 1024,
                          r["idle_cpu_share"], r["idle_seconds"], r["ticks"], r["hold_median"],
                          r["hold_p99"], r["hold_max"]))
        out.append("")
        for r in program["runs"]:
            out.append("- a tick holds the window at most ReplyTimeout + 2 ms (32 ms), %s "
                       "priority: %s at p99 (%.2f ms), %s at the maximum (%.2f ms)"
                       % ("real-time" if r["realtime"] else "normal",
                          verdict(r["hold_p99"] <= 32), r["hold_p99"],
                          verdict(r["hold_max"] <= 32), r["hold_max"]))
    out.append("")
    out.append("## 5. Scaling over one line")
    out.append("")
    out.append("`btGetAllIO` on each module in turn, one simulator playing 32 modules "
               "(unpaced); %d sweeps each, %d for one module and %d for eight."
               % (sweeps, max(sweeps, 32), max(sweeps, 4)))
    out.append("")
    out.append("| modules | ok sweeps | failed transactions | sweep median ms | per module ms | "
               "CPU / wall |")
    out.append("|---|---|---|---|---|---|")
    for k, r in scale.items():
        out.append("| %d | %d | %d | %.1f | %.2f | %.2f %% |"
                   % (k, r["sweeps"], r["failed"], r["median_ms"], r["median_ms"] / k,
                      r["cpu_share"]))
    one = scale[1]["median_ms"]
    spread = max(abs(r["median_ms"] / k - one) / one for k, r in scale.items())
    out.append("")
    out.append("- linear, each module one transaction: %s (per-module time within %.1f %% of "
               "one transaction)" % (verdict(spread < 0.05), 100 * spread))
    out.append("")
    return "\n".join(out)


def render_network(result, count, mandated_ms, started=None, load=None):
    """Item 6: one transaction directly and through ser2net (RFC 2217)."""
    out = ["## 6. One transaction through a serial device server", ""]
    if started:
        out += ["Run %s alone (`run_bench.py BUILD OUT --network`), load average %s before."
                % (started, load), ""]
    out.append("The unpaced simulator reached directly and through ser2net's RFC 2217 accepter "
               "on 127.0.0.1 (`BRIMTALLY_COM1=rfc2217://...` for us; for pyserial "
               "`serial_for_url` with `?ign_set_control`, without which its open fails waiting "
               "for SET-CONTROL answers that ser2net never sends); reply time-out 30 ms; %d transactions per client and path in "
               "alternating rounds, normal priority. *Overhead* = wall - %d ms mandated waits - "
               "module, as in item 1." % (count, mandated_ms))
    out.append("")
    out.append("| client | path | ok/failed | wall median ms | module median ms | "
               "overhead median ms | overhead p99 ms |")
    out.append("|---|---|---|---|---|---|---|")
    for (name, path), r in result.items():
        out.append("| %s | %s | %d/%d | %.2f | %.3f | %.3f | %.3f |"
                   % (name, path, r["n"], r["failed"], r["wall_median"], r["module_median"],
                      r["overhead_median"], r["overhead_p99"]))
    ours = result[("brimtally", "ser2net RFC 2217")]["overhead_median"]
    direct = result[("brimtally", "direct")]["overhead_median"]
    theirs = result[("pyserial", "ser2net RFC 2217")]["overhead_median"]
    out.append("")
    out.append("- our overhead through ser2net within 0.5 ms of our direct figure: %s (%+.3f ms)"
               % (verdict(ours - direct <= 0.5), ours - direct))
    out.append("- our overhead through ser2net below pyserial's: %s (%.3f against %.3f ms)"
               % (verdict(ours < theirs), ours, theirs))
    out.append("")
    return "\n".join(out)
