#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# brimtally against the simulator paced at 9600 baud: a scan of 256 addresses
# with 8 answering, against the floor the protocol sets, and the CPU share of
# watch at a 1 s interval.
# Usage: bench/cli/measure_brimtally.sh [build-dir]   (default: build)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
tool="$build/bin/brimtally"
sim="$build/bin/brimtally-sim"
samples=${WATCH_SAMPLES:-30}

work=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

addresses=(07 21 3C 55 80 9A C4 F1)
args=()
for a in "${addresses[@]}"; do args+=(--address "$a"); done
"$sim" --baud 9600 --link "$work/line" "${args[@]}" >"$work/sim.out" &
pids+=($!)
for _ in $(seq 1 200); do [ -e "$work/line" ] && break; sleep 0.025; done

# Per address the library waits 50 ms and drains stale input with three 10 ms
# reads; a silent address then costs the tool's time-out (QC: 11 + 14
# characters at 9600 baud + 30 ms = 57 ms), an answering one the wire time of
# its command and reply.
/usr/bin/python3 - "$tool" "$work/line" "$samples" "${#addresses[@]}" <<'PY'
import json, math, resource, subprocess, sys, time
tool, line, samples, answering = sys.argv[1], sys.argv[2], int(sys.argv[3]), int(sys.argv[4])
wire = lambda chars: chars * 10_000 / 9600
timeout = math.ceil(wire(25)) + 30
floor = (256 - answering) * (80 + timeout) + answering * (80 + wire(25))
start = time.monotonic()
out = subprocess.run([tool, "scan", "--json", "--port", line], capture_output=True, text=True)
took = (time.monotonic() - start) * 1000
found = len(json.loads(out.stdout)) if out.returncode == 0 else 0
print(f"scan 00-FF, {found} of {answering} answering: {took / 1000:.2f} s; floor {floor / 1000:.2f} s; "
      f"over the floor {100 * (took - floor) / floor:+.1f} % (aim within 5 %)")

before = resource.getrusage(resource.RUSAGE_CHILDREN)
start = time.monotonic()
out = subprocess.run([tool, "watch", "all-io", "--interval", "1", "--count", str(samples), "--address", "07", "--port",
                      line], capture_output=True, text=True)
took = time.monotonic() - start
after = resource.getrusage(resource.RUSAGE_CHILDREN)
cpu = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
rows = len(out.stdout.splitlines()) - 1
print(f"watch all-io --interval 1, {rows} samples: CPU {cpu * 1000:.1f} ms in {took:.1f} s "
      f"= {100 * cpu / took:.3f} %")
PY
