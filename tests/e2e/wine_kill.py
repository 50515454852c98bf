"""Killing a Windows program under Wine the hard way, as a crash or a power cut would end it:
SIGKILL of its Wine process, found by its Windows command line, with no chance to clean up."""
import os
import signal


def wine_pids(*marks):
    """PIDs of the processes whose command line (as Wine shows it: the Windows program path and
    its arguments) contains every one of marks."""
    found = []
    for entry in os.scandir("/proc"):
        if not entry.name.isdigit():
            continue
        try:
            with open(os.path.join(entry.path, "cmdline"), "rb") as f:
                line = f.read().replace(b"\0", b" ").decode("utf-8", "replace")
        except OSError:
            continue
        if all(mark in line for mark in marks):
            found.append(int(entry.name))
    return found


def kill_wine(*marks):
    """SIGKILLs the one Wine process whose command line holds marks; returns its PID."""
    pids = wine_pids(*marks)
    assert len(pids) == 1, "expected one process with %r, found %r" % (marks, pids)
    os.kill(pids[0], signal.SIGKILL)
    return pids[0]
