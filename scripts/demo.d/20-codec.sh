#!/bin/bash
# Demo: the speech codec on its own. The project's speech (scripts/lib/speech) through the g729a
# tool (encode, decode) as WAVs to listen to, with the SNR and correlation of the round trip, and
# the conformance table against the ITU-T reference vectors where ST_SHARED holds them.
# Leaves in $ST_DEMO_OUT/codec/: original.wav, coded.g729, decoded.wav, conform.txt.
set -uo pipefail
root=${ST_ROOT:-$(cd "$(dirname "$0")/../.." && pwd)}
build=${ST_BUILD:-$root/build}
out=$ST_DEMO_OUT/codec
rm -rf "$out"; mkdir -p "$out"
tool=$build/native/bin/g729a
raw=(-t raw -r 8000 -c 1 -b 16 -e signed-integer)

speech=$("$root/scripts/lib/speech") || exit 1
sox "${raw[@]}" "$speech" "$out/original.wav" || exit 1
"$tool" encode "$speech" "$out/coded.g729" || exit 1
"$tool" decode "$out/coded.g729" "$out/decoded.raw" || exit 1
sox "${raw[@]}" "$out/decoded.raw" "$out/decoded.wav" || exit 1
roundtrip=$(/usr/bin/python3 - "$root" "$speech" "$out/decoded.raw" <<'PY'
import sys
sys.path.insert(0, sys.argv[1] + "/tests/e2e")
import voice_audio as va
_, snr, corr = va.aligned_compare(va.read_raw(sys.argv[2]), va.read_raw(sys.argv[3]), lag_range=(-va.RATE, va.RATE))
print(f"decoded vs original SNR {snr:.1f} dB, corr {corr:.3f}")
PY
) || exit 1
rm -f "$out/decoded.raw"
echo "round trip: $roundtrip"

vectors=${ST_SHARED:-$root/../shared}/g729a/vectors
if [ -d "$vectors" ]; then
  "$tool" conform "$vectors" >"$out/conform.txt"
  conform_rc=$?
  cat "$out/conform.txt"
  conformance=$(tail -1 "$out/conform.txt")
else
  conform_rc=0
  conformance="not run: the report needs the ITU-T G.729 Annex A test vectors"
  conformance+=" (ST_SHARED=/path/to/folder holding g729a/vectors/*.bit|in|pst)"
  echo "conformance: $conformance" | tee "$out/conform.txt"
fi
bytes=$(stat -c %s "$out/coded.g729")
echo "codec: $(( bytes / 10 )) frames coded into $bytes bytes, $roundtrip; decoded.wav beside" \
  "original.wav; conformance: $conformance" >>"$ST_DEMO_OUT/summary.txt"
[ $conform_rc = 0 ]
