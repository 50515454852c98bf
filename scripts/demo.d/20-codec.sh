#!/bin/bash
# Demo: the speech codec on its own. Synthetic speech through the g729a tool (encode, decode)
# as WAVs to listen to, and the conformance table against the reference vectors.
# Leaves in $ST_DEMO_OUT/codec/: original.wav, coded.g729, decoded.wav, conform.txt.
set -uo pipefail
root=${ST_ROOT:-$(cd "$(dirname "$0")/../.." && pwd)}
build=${ST_BUILD:-$root/build}
out=$ST_DEMO_OUT/codec
rm -rf "$out"; mkdir -p "$out"
tool=$build/native/bin/g729a

espeak-ng -s 150 -w "$out/src.wav" "The speech codec turns sixty milliseconds of sound into \
sixty bytes, and back again." || exit 1
sox "$out/src.wav" -r 8000 -c 1 -b 16 -e signed-integer "$out/original.wav" || exit 1
sox "$out/original.wav" -t raw "$out/original.raw"
"$tool" encode "$out/original.raw" "$out/coded.g729" || exit 1
"$tool" decode "$out/coded.g729" "$out/decoded.raw" || exit 1
sox -t raw -r 8000 -c 1 -b 16 -e signed-integer "$out/decoded.raw" "$out/decoded.wav" || exit 1
rm -f "$out/src.wav" "$out/original.raw" "$out/decoded.raw"

"$tool" conform "$ST_SHARED/g729a/vectors" >"$out/conform.txt"
conform_rc=$?
cat "$out/conform.txt"
bytes=$(stat -c %s "$out/coded.g729")
echo "codec: $(( bytes / 10 )) frames coded into $bytes bytes; decoded.wav beside original.wav;" \
  "conformance: $(tail -1 "$out/conform.txt")" >>"$ST_DEMO_OUT/summary.txt"
[ $conform_rc = 0 ]
