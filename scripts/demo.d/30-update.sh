#!/bin/bash
# Update: a run against the local HTTP server whose package is a stand-in installer (progress,
# silent install, success, client started from a folder with blanks), then a run whose package
# digest does not match (failure state, about box). Screenshots of them go to $ST_DEMO_OUT.
set -uo pipefail
bin=$ST_DEMO_BIN
wine=$ST_DEMO_WINE
work=$(mktemp -d /tmp/demo-update.XXXXXX)
. "$ST_ROOT/scripts/lib/httpserver.sh"
. "$ST_ROOT/scripts/lib/wait.sh"
cleanup() {
  st_stop_http_server
  rm -rf "$work"
}
trap cleanup EXIT
export UPDATE_STUB_LOG="Z:${work//\//\\}\\stub.log" UPDATE_STUB_SLEEP_MS=1500

mkdir -p "$work/www"
cp "$bin/update_stub.exe" "$work/www/setup.exe"
client_dir="$WINEPREFIX/drive_c/Program Files/Zeb Client"
mkdir -p "$client_dir" && cp "$bin/update_stub.exe" "$client_dir/zeb client.exe"
client='C:\Program Files\Zeb Client\zeb client.exe'
st_start_http_server "$work" --root "$work/www" || exit 1
base=$ST_HTTP_BASE
md5=$(md5sum "$work/www/setup.exe" | cut -d' ' -f1)

# The updater runs with ANSI code page 936, as on a Chinese Windows.
wine_zh() { env LOCPATH="$ST_LOCPATH" LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8 "$wine" "$@"; }
probe() { timeout 20 "$wine" "$bin/update_probe.exe" "$@" 2>/dev/null; }
# wait_state PYTHON-CONDITION-ON-s: polls the dialog state until the condition holds (300 polls,
# about 30 s plus the probes' own time).
wait_state() {
  for _ in $(seq 300); do
    probe state | python3 -c "import json,sys; s=json.loads(sys.stdin.read() or 'null'); sys.exit(0 if s and ($1) else 1)" && return 0
    sleep 0.1
  done
  echo "update demo: timed out waiting for $1" >&2; return 1
}
# shot NAME [about]: the dialog's (or the about box's) rectangle of the screen into NAME.png
shot() {
  local r; r=$(probe "${2:-state}" | python3 -c "import json,sys; l,t,r,b=json.load(sys.stdin)['rect']; print('%dx%d+%d+%d'%(r-l,b-t,max(l,0),max(t,0)))")
  /usr/bin/convert "xwd:$ST_RUN/xvfb/Xvfb_screen0" -crop "$r" +repage "$ST_DEMO_OUT/$1.png"
}

ok=1
WINEDEBUG=-all,warn+debugstr wine_zh "$bin/Update.exe" "$base/slow/80000/setup.exe" "$md5" "$client" \
  2>"$ST_DEMO_OUT/update-trace.log" &
run=$!
wait_state 's["1000"]["visible"] and s["bar"] >= 30' && shot update-progress || ok=0
wait_state 's["visible"] and s["1002"]["visible"]' && shot update-success || ok=0
probe click 1003
st_wait_pid "$run" 60 "update: Update.exe"; [ $? != 124 ] || ok=0
# The stand-in client started by Update ends on its own (10 s at most here).
for _ in $(seq 100); do grep -qF "end|$client" "$work/stub.log" 2>/dev/null && break; sleep 0.1; done
grep -a OutputDebugStringA "$ST_DEMO_OUT/update-trace.log" | sed 's/.*OutputDebugStringA //'
cp "$work/stub.log" "$ST_DEMO_OUT/update-stand-ins.log" 2>/dev/null
installed=$(grep -c '_korvane.exe" /S$' "$work/stub.log" 2>/dev/null)
started=$(grep -cF "start|$client|" "$work/stub.log" 2>/dev/null)

wine_zh "$bin/Update.exe" "$base/setup.exe" "0123456789abcdef0123456789abcdef" "$client" 2>/dev/null &
run=$!
wait_state 's["visible"] and s["1004"]["visible"]' && shot update-failure || ok=0
probe sys 16   # the about entry of the system menu
for _ in $(seq 100); do probe about >/dev/null && break; sleep 0.1; done
sleep 0.3; shot update-about about || ok=0
probe aboutok
probe click 1004
st_wait_pid "$run" 60 "update: Update.exe"; [ $? != 124 ] || ok=0

echo "update: package installed silently ($installed), client started by its long path ($started)," \
     "wrong digest refused; screenshots update-progress/success/failure/about.png ($ST_DEMO_ARCH Update.exe)" \
     "$([ "$ok$installed$started" = 111 ] && echo OK || echo FAILED)" | tee -a "$ST_DEMO_OUT/summary.txt"
[ "$ok$installed$started" = 111 ]
