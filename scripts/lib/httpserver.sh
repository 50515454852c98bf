# The local test HTTP server for demos and measurements. Source it, then
#   st_start_http_server WORKDIR [server options...]
# starts the server in the background with its port file in WORKDIR, waits for the port, and sets
# ST_HTTP_PID and ST_HTTP_BASE (http://127.0.0.1:PORT); st_stop_http_server stops it (for an
# EXIT trap: does nothing when none runs).
. "$(dirname "${BASH_SOURCE[0]}")/wait.sh"
ST_HTTP_PID=
ST_HTTP_SERVER="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)/tools/httpserver/httpserver.py"

st_start_http_server() {
  local work=$1; shift
  python3 "$ST_HTTP_SERVER" --port-file "$work/port" "$@" >/dev/null &
  ST_HTTP_PID=$!
  for _ in $(seq 200); do [ -s "$work/port" ] && break; sleep 0.05; done
  if [ ! -s "$work/port" ]; then
    echo "httpserver: no port after 10 s" >&2; kill "$ST_HTTP_PID" 2>/dev/null; return 1
  fi
  ST_HTTP_BASE="http://127.0.0.1:$(cat "$work/port")"
}

st_stop_http_server() {
  [ -n "$ST_HTTP_PID" ] && kill "$ST_HTTP_PID" 2>/dev/null && st_wait_pid "$ST_HTTP_PID" 5 httpserver
  ST_HTTP_PID=
}
