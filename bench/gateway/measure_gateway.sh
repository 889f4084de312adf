#!/usr/bin/env bash
# brimtally-gateway against the simulator paced at 9600 baud and a private
# mosquitto: the cycle time of 8 modules polled back to back against the
# floor the protocol sets, the latency from a reply's last byte on the line to
# its state message at a subscriber, and the gateway's CPU share and memory at
# a 1 s interval, with the broker restarted 5 times over the long run.
# Usage: bench/gateway/measure_gateway.sh [build-dir]   (default: build)
# GATEWAY_BENCH_MINUTES sets the long run (default 10).
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
minutes=${GATEWAY_BENCH_MINUTES:-10}
work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null || true; wait 2>/dev/null || true; rm -rf "$work"' EXIT
PYTHONDONTWRITEBYTECODE=1 /usr/bin/python3 - "$build" "$work" "$minutes" <<'PY'
import json, os, signal, socket, statistics, subprocess, sys, time
build, work, minutes = sys.argv[1], sys.argv[2], float(sys.argv[3])
addresses = ["07", "21", "3C", "55", "80", "9A", "C4", "F1"]

def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]

port = free_port()
with open(f"{work}/mq.conf", "w") as f:
    f.write(f"listener {port} 127.0.0.1\nallow_anonymous true\npersistence false\nuser root\n")

def broker():
    p = subprocess.Popen(["/usr/sbin/mosquitto", "-c", f"{work}/mq.conf"], stderr=subprocess.DEVNULL)
    for _ in range(200):
        try:
            socket.create_connection(("127.0.0.1", port), 0.1).close()
            return p
        except OSError:
            time.sleep(0.025)
    raise SystemExit("mosquitto did not start")

def gateway(name, interval, refresh):
    modules = "".join(f'[[module]]\nname = "m{a}"\naddress = "{a}"\npoll = ["all-io"]\n'
                      f"interval = {interval}\n" for a in addresses)
    with open(f"{work}/{name}.toml", "w") as f:
        f.write(f'[mqtt]\nbroker = "mqtt://127.0.0.1:{port}"\nrefresh = {refresh}\n'
                f'[line]\nname = "{name}"\nport = "{work}/line"\n{modules}')
    return subprocess.Popen([f"{build}/bin/brimtally-gateway", "--config", f"{work}/{name}.toml"],
                            stderr=subprocess.DEVNULL)

def cpu_seconds(pid):
    fields = open(f"/proc/{pid}/stat").read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")

def rss_kib(pid):
    for line in open(f"/proc/{pid}/status"):
        if line.startswith("VmRSS:"):
            return int(line.split()[1])

sim = subprocess.Popen([f"{build}/bin/brimtally-sim", "--baud", "9600", "--link", f"{work}/line",
                        "--log", f"{work}/sim.log"] + sum((["--address", a] for a in addresses), []),
                       stdout=subprocess.PIPE)
sim.stdout.readline()
mq = broker()

# Back to back: every state message is published, and its latency measured
# from the line log's time of the reply's last byte (CLOCK_MONOTONIC).
sub = subprocess.Popen(["mosquitto_sub", "-p", str(port), "-h", "127.0.0.1", "-F", "%U %t %p",
                        "-t", "brimtally/fast/+", "-t", "brimtally/fast/diagnostics"],
                       stdout=subprocess.PIPE, text=True)
time.sleep(0.5)
offset = time.time() - time.monotonic()
gw = gateway("fast", 0, 0)
time.sleep(32)
gw.send_signal(signal.SIGTERM); gw.wait()
sub.terminate()
lines = sub.communicate()[0].splitlines()
replies = []
for line in open(f"{work}/sim.log"):
    parts = line.split(None, 2)
    if len(parts) == 3 and parts[1] == "out" and parts[2].startswith("$"):
        replies.append(float(parts[0]))
latencies, cycles = [], []
for line in lines:
    stamp, topic, payload = line.split(" ", 2)
    arrived = float(stamp) - offset
    if topic.endswith("/diagnostics"):
        cycle = json.loads(payload)["cycle_ms"]
        if cycle: cycles.append(cycle)
        continue
    before = [r for r in replies if r <= arrived]
    if before: latencies.append((arrived - before[-1]) * 1000)
latencies.sort()
# Per transaction the library waits 50 ms and drains stale input with three
# 10 ms reads; then the reply ("$cc AA", 90 characters of fields, CR) takes
# its wire time. The simulator paces only what it sends, so the command's
# 11 characters cost nothing here (11.5 ms each on a real 9600 line).
wire = (5 + 2 + 90) * 10_000 / 9600
floor = len(addresses) * (80 + wire)
cycle = statistics.median(cycles)
print(f"cycle of {len(addresses)} modules polled back to back (all-io, 9600 baud): {cycle:.0f} ms; "
      f"floor {floor:.0f} ms; over the floor {100 * (cycle - floor) / floor:+.1f} % (aim within 5 %)")
p99 = latencies[int(0.99 * (len(latencies) - 1))]
print(f"publish latency, last reply byte to subscriber, {len(latencies)} messages: median "
      f"{statistics.median(latencies):.2f} ms, p99 {p99:.2f} ms (aim p99 under 5 ms)")

# At a 1 s interval: CPU over the first minute, then memory after the long
# run with the broker killed and restarted 5 times.
gw = gateway("slow", 1.0, 60)
time.sleep(5)
cpu0, t0 = cpu_seconds(gw.pid), time.monotonic()
time.sleep(55)
cpu = (cpu_seconds(gw.pid) - cpu0) / (time.monotonic() - t0)
rss1 = rss_kib(gw.pid)
print(f"{len(addresses)} modules at 1 s: CPU {100 * cpu:.2f} %, memory after 1 minute {rss1} KiB")
rest = minutes * 60 - 60
for i in range(5):
    time.sleep(rest / 6)
    mq.kill(); mq.wait()
    time.sleep(2)
    mq = broker()
time.sleep(rest / 6)
rss10 = rss_kib(gw.pid)
print(f"memory after {minutes:g} minutes with 5 broker restarts: {rss10} KiB = "
      f"{rss10 / rss1:.2f} times the 1-minute figure (aim at most 1.1)")
gw.send_signal(signal.SIGTERM); gw.wait()
mq.terminate(); sim.terminate()
PY
