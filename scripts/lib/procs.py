"""Bounded ends for the child processes of the measurement and soak scripts (which put
tools/voicepeer on the import path)."""
import subprocess

from proctools import stop_process


def finish(proc, timeout, name):
    """Waits for a process to end by itself; after `timeout` s it is stopped and the run fails."""
    try:
        return proc.wait(timeout=timeout)
    except subprocess.TimeoutExpired:
        stop_process(proc)
        raise RuntimeError("%s still running after %d s, stopped" % (name, timeout))
