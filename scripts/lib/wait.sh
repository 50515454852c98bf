# Bounded waits for the demo and measurement scripts. Source it.
# st_wait_pid PID SECONDS NAME: waits for a background child; if it is still running after
# SECONDS it is killed and the wait fails with a line naming it. Returns the child's status.
st_wait_pid() {
  local pid=$1 secs=$2 name=$3 i
  for ((i = 0; i < secs * 20; i++)); do
    kill -0 "$pid" 2>/dev/null || { wait "$pid"; return; }
    sleep 0.05
  done
  echo "$name: still running after $secs s, killed" >&2
  kill "$pid" 2>/dev/null; sleep 0.2; kill -9 "$pid" 2>/dev/null
  wait "$pid" 2>/dev/null
  return 124
}
