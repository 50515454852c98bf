"""Bounded ends for the child processes of the measurement and soak scripts."""
import signal
import subprocess


def stop_process(proc, grace=5):
    """Interrupts a process that still runs; kills it when it has not ended `grace` s later."""
    if proc.poll() is not None:
        return
    proc.send_signal(signal.SIGINT)
    try:
        proc.wait(timeout=grace)
    except subprocess.TimeoutExpired:
        proc.kill()
        proc.wait(timeout=grace)


def finish(proc, timeout, name):
    """Waits for a process to end by itself; after `timeout` s it is stopped and the run fails."""
    try:
        return proc.wait(timeout=timeout)
    except subprocess.TimeoutExpired:
        stop_process(proc)
        raise RuntimeError("%s still running after %d s, stopped" % (name, timeout))
