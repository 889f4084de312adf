#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Start-up time of PEXILConfig (process start to first paint of the window) and
# its CPU share while idle with Com1 open on the simulated module.
# Usage: bench/config/measure_pexilconfig.sh [build-dir]   (default: build)
# Without a display it runs itself under Xvfb.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a "$0" "$build"
fi
program="$build/bin/PEXILConfig"
sim="$build/bin/brimtally-sim"
runs=${RUNS:-10}
idle_seconds=${IDLE_SECONDS:-20}

work=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# --- start-up: launch, wait for the "shown" line, end the program.
times=()
for i in $(seq 0 "$runs"); do  # run 0 only warms the page cache
  out="$work/start$i"
  start=$(date +%s%6N)
  PEXILCONFIG_PRINT_SHOWN=1 "$program" >"$out" 2>/dev/null &
  pid=$!
  for _ in $(seq 1 200); do grep -qs "^shown " "$out" && break; sleep 0.025; done
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  shown=$(awk '/^shown /{print $2; exit}' "$out")
  [ -n "$shown" ] || { echo "run $i: the window was not shown within 5 s" >&2; exit 1; }
  [ "$i" -eq 0 ] || times+=($(((shown - start) / 1000)))
done
sorted=($(printf '%s\n' "${times[@]}" | sort -n))
echo "start-up to first paint, $runs runs (ms): median ${sorted[$((runs / 2))]}, min ${sorted[0]}, max ${sorted[$((runs - 1))]}"

# --- idle CPU with the port open: the polling cycle reads every 400 ms.
"$sim" --log "$work/sim.log" >"$work/sim.out" 2>"$work/sim.err" &
pids+=($!)
for _ in $(seq 1 100); do [ -s "$work/sim.out" ] && break; sleep 0.1; done
device=$(head -n 1 "$work/sim.out")
[ -n "$device" ] || { echo "the simulator named no device" >&2; exit 1; }
BRIMTALLY_COM1="$device" PEXILCONFIG_DEMO_SELECT=1 "$program" >/dev/null 2>&1 &
pid=$!
pids+=($pid)
sleep 5  # past start-up and the first query's replies
ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
hz=$(getconf CLK_TCK)
before=$(ticks "$pid")
t0=$(date +%s%N)
sleep "$idle_seconds"
after=$(ticks "$pid")
t1=$(date +%s%N)
grep -q 'QC' "$work/sim.log" || { echo "the program never reached the module" >&2; exit 1; }
awk -v d=$((after - before)) -v hz="$hz" -v ns=$((t1 - t0)) \
  'BEGIN { printf "idle CPU with Com1 open over %.1f s: %.2f %% of one core\n", ns / 1e9, 100 * d / hz / (ns / 1e9) }'
