#!/bin/bash
# Demo: how long speech takes through a call, each way (short calls: a normal one and one whose
# sound server stalls as it starts), with the plot of delay over time for the README.
# Leaves in $ST_DEMO_OUT: latency.png, latency.log.
set -uo pipefail
root=${ST_ROOT:-$(cd "$(dirname "$0")/../.." && pwd)}
out=$ST_DEMO_OUT
MEASURE_ARCH=$([ "$ST_DEMO_ARCH" = i686 ] && echo win32 || echo win64) \
  "$root/scripts/measure-latency" --seconds 20 --platform-seconds 8 --png "$out/latency.png" \
  >"$out/latency.log" 2>&1
rc=$?
cat "$out/latency.log"
echo "latency: $(grep -m1 -i 'uplink' "$out/latency.log" | sed 's/^ *//'); $(grep -m1 -i 'downlink' "$out/latency.log" | sed 's/^ *//');" \
     "plot latency.png ($ST_DEMO_ARCH vocalis.dll)" | tee -a "$out/summary.txt"
[ $rc = 0 ] && [ -s "$out/latency.png" ]
