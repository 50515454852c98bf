#!/bin/bash
# Demo: fetchkit downloads a file from the local test HTTP server while its dialog shows the
# progress (screenshot mid-transfer), then a download of a missing file fails (screenshot of the
# red failure text). The stand-in starting window records the protocol messages.
# Runs under scripts/with-services; output goes to $ST_DEMO_OUT.
set -uo pipefail
root=${ST_ROOT:-$(cd "$(dirname "$0")/../.." && pwd)}
out=${ST_DEMO_OUT:?}
bin=$ST_DEMO_BIN
wine=$ST_DEMO_WINE
work=$(mktemp -d /tmp/demo-fetch.XXXXXX)
. "$root/scripts/lib/httpserver.sh"
. "$root/scripts/lib/wait.sh"
cleanup() {
  st_stop_http_server
  rm -rf "$work"
}
trap cleanup EXIT

st_start_http_server "$work" --log "$out/fetch-server.log" || exit 1
base=$ST_HTTP_BASE

shot() {  # the whole screen and the dialog (centred on the 1024x768 screen)
  /usr/bin/convert "xwd:$ST_RUN/xvfb/Xvfb_screen0" "$out/$1-screen.png"
  /usr/bin/convert "$out/$1-screen.png" -crop 340x180+342+294 +repage "$out/$1.png"
  # A dialog is mostly white; a black crop means it was not on screen.
  local mean; mean=$(/usr/bin/convert "$out/$1.png" -format "%[fx:mean]" info:)
  awk -v m="$mean" 'BEGIN{exit !(m > 0.5)}' || { echo "fetch: $1.png shows no dialog"; shots_ok=0; }
}
shots_ok=1
wait_line() {  # wait_line FILE PATTERN: until a line matches (10 s at most)
  for _ in $(seq 200); do grep -q "$2" "$1" 2>/dev/null && return 0; sleep 0.05; done; return 1
}

# dldclient NAME ARGS...: runs the stand-in in the background, its lines into NAME.raw (Windows
# line ends); $client is its process, so that its own exit status is the one waited for.
dldclient() {
  local name=$1; shift
  $wine "$bin/dldclient.exe" "$@" >"$out/$name.raw" &
  client=$!
}
# finish NAME: waits for the stand-in (60 s at most), then keeps its lines with Unix line ends.
finish() {
  st_wait_pid "$client" 60 "fetch: dldclient" || { echo "fetch: dldclient failed (exit $?)"; ok=FAILED; }
  tr -d '\r' <"$out/$1.raw" >"$out/$1.log"; rm -f "$out/$1.raw"
}
ok=ok

# 1. 3 MB at about 600 KB/s: the screenshot is taken in the middle of the transfer.
dldclient fetch-download --type 0 --url "$base/slow/600000/gen/3000000" --path "Z:$work/package.bin"
if wait_line "$out/fetch-download.raw" " WINDOW "; then
  sleep 2.5; shot fetch-mid-transfer
else
  echo "fetch: no dialog announced within 10 s"; shots_ok=0
fi
finish fetch-download
want=$(python3 -c "
import sys, hashlib; sys.path.insert(0, '$root/tools/httpserver')
from httpserver import generated; print(hashlib.sha256(generated(0, 3000000)).hexdigest())")
got=$(sha256sum <"$work/package.bin" | cut -d' ' -f1)
[ "$got" = "$want" ] && grep -q "RESULT 5 0" "$out/fetch-download.log" || ok=FAILED

# 2. A missing file: red failure text, reason 3 at once and 9 about two seconds later.
dldclient fetch-failure --type 0 --url "$base/status/404" --path "Z:$work/missing.bin"
if wait_line "$out/fetch-failure.raw" "RESULT 6 3"; then
  sleep 0.7; shot fetch-failure
else
  echo "fetch: no failure reported within 10 s"; shots_ok=0
fi
finish fetch-failure

cat "$out/fetch-download.log" "$out/fetch-failure.log"
t3=$(awk '$2=="RESULT" && $4=="3"{print $1}' "$out/fetch-failure.log")
t9=$(awk '$2=="RESULT" && $4=="9"{print $1}' "$out/fetch-failure.log")
echo "fetch: 3 MB download $ok (sha256 ${got:0:12}), 404 gave reasons 3 then 9 after $((t9 - t3)) ms;" \
     "screenshots fetch-mid-transfer.png, fetch-failure.png ($ST_DEMO_ARCH fetchkit.exe)" | tee -a "$out/summary.txt"
[ "$ok" = ok ] && [ "$shots_ok" = 1 ]
