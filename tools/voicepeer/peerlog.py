"""The voice peer from Python: free loopback ports for it, its start, and its events.log.

events.log holds one line per event, "SECONDS NAME key=value ...", SECONDS counted from the
client's accept (0.000 before it). The tests, the soak and the latency measurement read it here.
"""
import socket
import time
from pathlib import Path


def free_port(kind=socket.SOCK_STREAM):
    """A port on 127.0.0.1 that is free right now."""
    with socket.socket(socket.AF_INET, kind) as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def events(path, kind=None):
    """(seconds, name, {key: value}) for every line of an events.log, in order; only the events
    called kind when it is given. A log that does not exist (yet) has no events."""
    path = Path(path)
    if not path.exists():
        return []
    out = []
    for line in path.read_text().splitlines():
        parts = line.split()
        if len(parts) < 2 or (kind is not None and parts[1] != kind):
            continue
        fields = dict(p.split("=", 1) for p in parts[2:] if "=" in p)
        out.append((float(parts[0]), parts[1], fields))
    return out


def logged(path, needle):
    """Whether the events.log at path holds needle yet."""
    path = Path(path)
    return path.exists() and needle in path.read_text()


def wait_logged(path, needle, timeout, proc=None, poll=0.02):
    """Waits until the events.log holds needle; False after timeout seconds, or as soon as the
    peer's process proc (when given) has ended without logging it."""
    deadline = time.monotonic() + timeout
    while not logged(path, needle):
        if time.monotonic() >= deadline or (proc is not None and proc.poll() is not None):
            return logged(path, needle)
        time.sleep(poll)
    return True
