#!/bin/bash
# Demo: a voice call. The help-client harness drives vocalis.dll under Wine (PulseAudio "mic" and
# "speaker"), the native voice peer answers on loopback: 8 s of the project's two-voice speech
# (scripts/lib/speech) from the peer, another synthetic sentence into the microphone. Leaves in
# $ST_DEMO_OUT/voice/: heard-by-client.wav (the speaker), heard-by-peer.wav (the peer's decoding of
# the client's packets), mic.wav, the logs.
set -uo pipefail
root=${ST_ROOT:-$(cd "$(dirname "$0")/../.." && pwd)}
build=${ST_BUILD:-$root/build}
out=$ST_DEMO_OUT/voice
rm -rf "$out"; mkdir -p "$out"
wine=$ST_DEMO_WINE
export WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
. "$root/scripts/lib/wait.sh"
pids=()
cleanup() {
  local p
  for p in "${pids[@]}"; do kill -INT "$p" 2>/dev/null; done
  for p in "${pids[@]}"; do st_wait_pid "$p" 5 "voice: process $p" 2>/dev/null; done
}
trap cleanup EXIT
# The voice peer's free ports and its events.log come from tools/voicepeer/peerlog.py.
export PYTHONPATH="$root/tools/voicepeer${PYTHONPATH:+:$PYTHONPATH}"
peer_logged() {  # NEEDLE SECONDS: waits until the peer's events.log holds NEEDLE
  /usr/bin/python3 -c 'import sys, peerlog
sys.exit(0 if peerlog.wait_logged(sys.argv[1], sys.argv[2], float(sys.argv[3])) else 1)' "$out/events.log" "$1" "$2"
}

speech=$("$root/scripts/lib/speech") || exit 1
read -r tcp udp <<<"$(/usr/bin/python3 -c 'import socket, peerlog
print(peerlog.free_port(), peerlog.free_port(socket.SOCK_DGRAM))')"

espeak-ng -s 150 -w "$out/mic-src.wav" "Hello, this is the help client speaking. \
The voice session carries speech both ways, one packet every sixty milliseconds." || exit 1
sox -G "$out/mic-src.wav" -r 8000 -c 1 -b 16 -e signed-integer "$out/mic.wav" || exit 1
sox "$out/mic.wav" -t raw "$out/mic.raw"

"$build/native/bin/voicepeer" --tcp "$tcp" --udp "$udp" --out "$out" --duration 10 \
  --send "$speech" --send-seconds 8 --ctl 0.2:request &
peer=$!; pids+=("$peer")
peer_logged listening 10 || { echo "voice: the peer did not start" >&2; exit 1; }
parec --latency-msec=20 -d speaker.monitor --rate=8000 --channels=1 --format=s16le \
  --file-format=wav "$out/heard-by-client.wav" & pids+=($!)
winout="Z:${out//\//\\}"
"$wine" "$ST_DEMO_BIN/helpclient.exe" "$winout\\client.log" \
  "init; start 127.0.0.1 $tcp $udp; waitmsg begin 3000; wait 8500; end; exit" &
client=$!; pids+=("$client")
# The microphone speaks once the client's speech is flowing to the peer (5 s at most).
peer_logged " voice " 5 || echo "voice: no speech from the client after 5 s; the microphone speaks anyway"
pacat -p -d mic --raw --rate=8000 --channels=1 --format=s16le "$out/mic.raw" & pids+=($!)
st_wait_pid "$client" 30 "voice: helpclient"; client_rc=$?
st_wait_pid "$peer" 30 "voice: voicepeer"; peer_rc=$?
sleep 0.3
cleanup; pids=()
mv "$out/received.wav" "$out/heard-by-peer.wav"; rm -f "$out/mic.raw"

/usr/bin/python3 - "$out" "$build/native/bin/g729a" "$root" "$ST_DEMO_ARCH" <<'PY' | tee -a "$ST_DEMO_OUT/summary.txt"
import sys
from pathlib import Path
sys.path.insert(0, str(Path(sys.argv[3]) / "tests" / "e2e"))
import peerlog  # on PYTHONPATH
import voice_audio as va
out, g729a = Path(sys.argv[1]), sys.argv[2]
up = peerlog.events(out / "events.log", "voice")
expected = va.g729_decode(g729a, (out / "sent.g729").read_bytes(), out)
heard = va.read_wav(out / "heard-by-client.wav")
down = va.blockwise_compare(expected, heard, start_range=(-len(expected), len(heard)))
peer = va.read_wav(out / "heard-by-peer.wav")
_, _, up_corr = va.aligned_compare(peer, va.read_wav(out / "mic.wav"), lag_range=(-len(peer), len(peer)))
begin = "WM_TALK_BEGIN" in (out / "client.log").read_text(encoding="gbk", errors="replace")
print(f"voice: call {'accepted' if begin else 'NOT accepted'}; client->peer {len(up)} packets "
      f"(decoded vs mic corr {up_corr:.2f}); peer->client {down['heard']}/{down['loud']} blocks heard, "
      f"median block SNR {down['median_snr']:.1f} dB vs native decode "
      f"-> voice/heard-by-client.wav, voice/heard-by-peer.wav ({sys.argv[4]} vocalis.dll)")
sys.exit(0 if begin and up else 1)
PY
summary_rc=$?
rm -f "$out"/decode.*
[ $client_rc = 0 ] || echo "voice: helpclient ended with $client_rc"
[ $peer_rc = 0 ] || echo "voice: voicepeer ended with $peer_rc"
[ $client_rc = 0 ] && [ $peer_rc = 0 ] && [ $summary_rc = 0 ]
