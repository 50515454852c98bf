"""The programs the tests and scripts start: their bounded stop, and paths as Wine's programs see
them. Lives beside peerlog.py, which both already put on their import path."""
import signal
import subprocess


def stop_process(proc, sig=signal.SIGINT, grace=5):
    """Sends sig to a process that still runs; kills it when it has not ended `grace` s later."""
    if proc.poll() is not None:
        return
    proc.send_signal(sig)
    try:
        proc.wait(timeout=grace)
    except subprocess.TimeoutExpired:
        proc.kill()
        proc.wait(timeout=grace)


def windows_path(path):
    """A Linux path as the Windows programs see it, on Wine's Z: drive."""
    return "Z:" + str(path).replace("/", "\\")
