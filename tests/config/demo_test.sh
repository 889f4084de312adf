#!/usr/bin/env bash
# The hooks behind scripts/demo, as the demo uses them: the program chooses
# Com1 by itself, waits for the module's configuration, saves a screenshot and
# ends with 0; a screenshot it cannot write ends it with 4 and a message.
# Usage: demo_test.sh BIN_DIR
set -euo pipefail
bin=$1
work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$work"' EXIT
"$bin/brimtally-sim" --die-with-parent >"$work/sim.out" &
for _ in $(seq 1 100); do [ -s "$work/sim.out" ] && break; sleep 0.1; done
export BRIMTALLY_COM1=$(head -n 1 "$work/sim.out") QT_QPA_PLATFORM=offscreen

PEXILCONFIG_DEMO_SCREENSHOT="$work/shot.png" timeout 60 "$bin/PEXILConfig"
[ "$(head -c 4 "$work/shot.png" | od -An -c | tr -d ' ')" = '211PNG' ] || {
  echo "demo_test: no PNG screenshot" >&2
  exit 1
}

status=0
PEXILCONFIG_DEMO_SCREENSHOT="$work/none/shot.png" timeout 60 "$bin/PEXILConfig" 2>"$work/err" ||
  status=$?
[ "$status" -eq 4 ] && grep -q "cannot write $work/none/shot.png" "$work/err" || {
  echo "demo_test: unwritable screenshot gave status $status: $(cat "$work/err")" >&2
  exit 1
}
echo "demo_test: ok"
