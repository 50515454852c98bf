"""fetchkit.exe against the local HTTP server, driven by the stand-in starting window (dldclient).

Every case is a real run: the client window starts fetchkit with a real command line, fetchkit
downloads over WinINet from tools/httpserver into a real file, and the client records the protocol
messages with their times. The cases are independent, so they all start at once (the dialog's
2-second close after a failure is real time) and each test checks its own run.
"""
import hashlib
import json
import random
import shutil
import stat
import subprocess
import sys
import tempfile
import threading
import time
from concurrent.futures import ThreadPoolExecutor
from pathlib import Path

import pytest

from conftest import ROOT, http_server, windows_path, wine_env, wine_popen, wine_run
from wine_kill import kill_wine

sys.path.insert(0, str(ROOT / "tools" / "httpserver"))
from httpserver import generated  # noqa: E402  the server's own generated content

WINDOW, RESULT = "WINDOW", "RESULT"


def sha(data):
    return hashlib.sha256(data).hexdigest()


class Run:
    """The recorded lines of one dldclient run."""

    def __init__(self, out):
        self.lines = []
        for line in out.splitlines():
            ms, _, rest = line.partition(" ")
            if ms.isdigit():
                kind, _, args = rest.partition(" ")
                self.lines.append((int(ms), kind, args))
        self.exit = next((int(a) for _, k, a in self.lines if k == "EXIT"), None)

    def kinds(self, *wanted):
        return [(k, a) for _, k, a in self.lines if k in wanted]

    def protocol(self):
        return [(k, a) if k == RESULT else (k,) for k, a in self.kinds(WINDOW, RESULT)]

    def time_of(self, kind, args=None):
        return next(ms for ms, k, a in self.lines if k == kind and (args is None or a == args))

    def probes(self):
        out = []
        for _, k, a in self.lines:
            if k == "PROBE" and a != "gone":
                out.append(dict(f.split("=") for f in a.split()))
        return out

    # Assertions give str(run): pytest cuts the repr of an object short, and a failure needs the
    # whole run (every probe, with its time) to be told apart.
    def __repr__(self):
        return "\n".join("%d %s %s" % line for line in self.lines)


# name -> (url path, download type, prepare(dest) or None, extra client options). The cases whose
# dialog pixels are read get a place of their own on the screen (the dialog centres over the
# client's window); all others share one corner.
SHARED_PLACE = ["--at", "684,570"]
def keep(data):
    return lambda dest: dest.write_bytes(data)


def read_only(data):
    def prepare(dest):
        dest.write_bytes(data)
        dest.chmod(0o444)
    return prepare


FULL = generated(0, 300000)
CASES = {
    "new": ("/gen/300000", 0, None, []),
    "replace_readonly": ("/gen/300000", 1, read_only(b"old content"), []),
    "resume_half": ("/slow/500000/gen/2000000", 2, keep(generated(0, 1000000)),
                    ["--at", "684,0", "--probe", ",".join(str(t) for t in range(200, 3200, 200))]),
    "resume_norange": ("/norange/gen/300000", 2, keep(b"\x00" * 150000), []),
    "resume_complete": ("/gen/300000", 2, keep(b"x" * 300000), []),
    "resume_empty": ("/gen/300000", 2, keep(b""), []),
    "resume_missing": ("/gen/300000", 2, None, []),
    "resume_longer": ("/gen/300000", 2, keep(generated(0, 300000) + b"tail"), []),
    "empty_body": ("/gen/0", 0, None, []),
    # The dialog covers the middle of the screen, where the message box shows up unless it is
    # owned by the dialog.
    "missing_dir": ("/gen/1000", 0, "nodir", ["--at", "342,294"]),
    # The dialog stays 2 s after the failure: probed over most of that, for a machine slow to paint.
    "not_found": ("/status/404", 0, None, ["--at", "0,0", "--probe-from", "result",
                                           "--probe", "100,400,700,1000,1300,1600"]),
    "server_error": ("/status/500", 1, keep(b"old content"), []),
    "forbidden": ("/status/403", 0, None, []),
    "unavailable_resume": ("/status/503", 2, keep(FULL[:150000]), []),
    "resume_range_503": ("/rangestatus/503/gen/300000", 2, keep(FULL[:150000]), []),
    "resume_range_reset": ("/rangereset/gen/300000", 2, keep(FULL[:150000]), []),
    # With a test-only time limit of a second in place of 30 s.
    # (a whole number of 2048-byte reads, as a read waits for a full buffer)
    "stall_body": ("/stall/49152/gen/300000", 0, None, []),
    "stall_silent": ("/silent/gen/300000", 0, None, []),
    # 3 s of transfer under the same limit: a transfer that keeps moving is not cut.
    "slow_under_limit": ("/slow/100000/gen/300000", 0, None, []),
    "no_length": ("/nolength/gen/300000", 0, None, []),
    "chunked": ("/chunked/gen/300000", 0, None, []),
    "cut_short": ("/cut/50000/gen/300000", 0, None, []),
    "unknown_type": ("/gen/300000", 7, None, []),
    "unknown_type_empty": ("/gen/0", 7, None, []),
    "close_request": ("/slow/400000/gen/4000000", 0, None,
                      ["--at", "342,0", "--probe", "1500,2000,2500", "--keys", "400", "--hittest",
                       "1", "--close-after", "2800"]),
    "close_at_once": ("/slow/400000/gen/4000000", 0, None, ["--close-after", "0"]),
    "bad_address": ("http://127.0.0.1:1/nothing", 0, None, []),
    # 8 MB/s: reports still come faster than the dialog's timer, and the server keeps the
    # transfer running past the probes however fast the downloader is.
    "fast": ("/slow/8000000/gen/20000000", 0, "memory",
             ["--at", "0,190", "--probe", "800,1200,1600,2000,2400"]),
}


@pytest.fixture(scope="module")
def server(services, tmp_path_factory):
    root = tmp_path_factory.mktemp("fetch-served")
    (root / "dir with blanks").mkdir()
    (root / "dir with blanks" / "my file.bin").write_bytes(generated(0, 70000))
    log = root.parent / "fetch-server.log"
    with http_server(root, log) as base:
        yield {"base": base, "log": log}


# Cases that run with a short network time limit (a test-only setting of the programs).
SHORT_LIMIT = {"ST_TEST_ONLY_NET_TIMEOUT_MS": "1000"}
SHORT_LIMIT_CASES = ("stall_body", "stall_silent", "slow_under_limit")


def run_client(args, timeout_ms=40000, env=None):
    out = wine_run("dldclient.exe", ["--timeout", str(timeout_ms), *args], env=env,
                   capture_output=True, text=True, timeout=timeout_ms / 1000 + 30).stdout
    return Run(out)


@pytest.fixture(scope="module")
def runs(server, tmp_path_factory):
    """Starts every case at once; maps name -> (future of Run, destination path)."""
    work = tmp_path_factory.mktemp("fetch-dest")
    pool = ThreadPoolExecutor(max_workers=6)
    started, in_memory = {}, []
    for name, (url, kind, prepare, extra) in CASES.items():
        dest = work / name / "out.bin"
        dest.parent.mkdir()
        if prepare == "nodir":
            dest = work / name / "missing" / "out.bin"
        elif prepare == "memory":  # in memory, so that nothing but fetchkit limits the speed
            dest = Path(tempfile.mkdtemp(dir="/dev/shm")) / "out.bin"
            in_memory.append(dest.parent)
        elif prepare:
            prepare(dest)
        full_url = url if url.startswith("http") else server["base"] + url
        place = [] if "--at" in extra else SHARED_PLACE
        args = ["--type", str(kind), "--url", full_url, "--path", windows_path(dest), *place, *extra]
        env = wine_env(SHORT_LIMIT) if name in SHORT_LIMIT_CASES else None
        started[name] = (pool.submit(run_client, args, env=env), dest)
    yield started
    pool.shutdown(wait=True)
    for folder in in_memory:
        shutil.rmtree(folder, ignore_errors=True)


def server_log(server):
    return [json.loads(line) for line in server["log"].read_text().splitlines()]


def result_of(runs, name):
    future, dest = runs[name]
    return future.result(), dest


def assert_completed(run):
    assert run.protocol() == [(WINDOW,), (RESULT, "5 0")], str(run)
    assert run.exit == 1, str(run)


def assert_failed(run, reason):
    assert run.protocol() == [(WINDOW,), (RESULT, "6 %d" % reason), (RESULT, "6 9")], str(run)
    # The dialog stays 2 s after a failure (less the client's timestamp resolution); how much
    # longer depends on the load of the machine.
    gap = run.time_of(RESULT, "6 9") - run.time_of(RESULT, "6 %d" % reason)
    assert gap >= 1800, str(run)
    assert run.exit == 1, str(run)


# name -> what the destination holds after a completed run (None: no file at all).
COMPLETED = {
    "new": FULL, "replace_readonly": FULL, "no_length": FULL, "chunked": FULL,
    "slow_under_limit": FULL,
    "resume_empty": FULL,
    "resume_longer": FULL,                 # a longer kept file starts over
    "resume_complete": b"x" * 300000,      # a complete kept file: nothing is read
    "empty_body": b"",
    "unknown_type_empty": None,            # an unknown type without data leaves no file
}


@pytest.mark.parametrize("name", COMPLETED)
def test_completed_download_leaves_the_expected_file(runs, name):
    run, dest = result_of(runs, name)
    assert_completed(run)
    expected = COMPLETED[name]
    if expected is None:
        assert not dest.exists()
    else:
        assert sha(dest.read_bytes()) == sha(expected)


def test_replace_clears_the_read_only_attribute(runs):
    # Wine keeps the read-only attribute in the owner's write bit (as root it does not stop a
    # write, so the bit is what shows that the attribute was reset before the file was replaced).
    run, dest = result_of(runs, "replace_readonly")
    assert_completed(run)
    assert dest.stat().st_mode & stat.S_IWUSR


def test_resume_continues_at_the_kept_size(runs, server):
    run, dest = result_of(runs, "resume_half")
    assert_completed(run)
    assert sha(dest.read_bytes()) == sha(generated(0, 2000000))
    # The bar starts from the kept half, never from zero.
    bars = [int(p["bar"]) for p in run.probes()]
    assert bars and all(b >= 500 for b in bars if b), str(run)
    assert any(500 <= b < 1000 for b in bars), str(run)
    ranged = [e for e in server_log(server) if e["path"] == CASES["resume_half"][0] and e["range"]]
    assert ranged == [dict(ranged[0], range="bytes=1000000-", status=206, sent=1000000)]
    assert ranged[0]["agent"] == "korvane_update"


def test_resume_restarts_when_the_server_cannot_continue(runs, server):
    run, dest = result_of(runs, "resume_norange")
    assert_completed(run)
    assert sha(dest.read_bytes()) == sha(FULL)
    asked = [e for e in server_log(server) if e["path"] == "/norange/gen/300000" and e["range"]]
    assert [(e["range"], e["status"]) for e in asked] == [("bytes=150000-", 200)]


# name -> (failure reason, what the destination holds after it: None for no file).
FAILED = {
    "resume_missing": (7, None), "not_found": (3, None), "bad_address": (2, None),
    "unknown_type": (5, None),
    "missing_dir": (4, None),               # after the message box of error 3
    "cut_short": (6, FULL[:50000]),         # the bytes that came are kept
    # An error page is not the file: refused, the destination as it was.
    "server_error": (3, b"old content"), "forbidden": (3, None),
    "unavailable_resume": (3, FULL[:150000]),
    # A refused continuation keeps the partial file for the next try.
    "resume_range_503": (6, FULL[:150000]), "resume_range_reset": (6, FULL[:150000]),
    # A server that stops talking ends the transfer; what came is kept.
    "stall_body": (6, FULL[:49152]), "stall_silent": (6, None),
}


@pytest.mark.parametrize("name", FAILED)
def test_failure_reports_reason_then_closes(runs, name):
    run, dest = result_of(runs, name)
    reason, kept = FAILED[name]
    assert_failed(run, reason)
    assert (dest.read_bytes() if dest.exists() else None) == kept


def test_failure_shows_red_text_under_the_title_band(runs):
    run, _ = result_of(runs, "not_found")
    probes = run.probes()
    # centred over the starting window
    assert probes and all(p["at"] == "0,0" for p in probes), str(run)
    # A busy machine may show the window before Wine has painted it (all black), so the failure
    # look must be on the screen at one of the probes, not necessarily the first: the title band,
    # the red failure text, and the notice, which stays after a failure.
    assert any(p["title"] == "C5E1ED" and int(p["red"]) > 50 and int(p["notice"]) > 20
               for p in probes), str(run)


def test_missing_directory_shows_error_3_before_the_result(runs):
    run, _ = result_of(runs, "missing_dir")
    assert run.kinds("BOX") == [("BOX", "3")], str(run)
    # in front of the dialog, which stays on top
    assert run.kinds("BOXFRONT") == [("BOXFRONT", "1")], str(run)
    assert run.time_of("BOX") < run.time_of(RESULT)


def test_close_request_gives_up_and_keeps_the_partial_file(runs):
    run, dest = result_of(runs, "close_request")
    assert run.protocol() == [(WINDOW,), (RESULT, "6 9")], str(run)
    assert run.time_of("CLOSE") <= run.time_of(RESULT)
    data = dest.read_bytes()
    assert 0 < len(data) < 4000000
    assert data == generated(0, len(data))
    # Tab, Enter and Esc did nothing; the top band drags the window; the amount line was shown.
    assert run.kinds("HITTEST") == [("HITTEST", "band=2 body=1")]
    assert run.kinds("KEYS") in ([("KEYS", "target=child")], [("KEYS", "target=dialog")]), str(run)
    probes = run.probes()
    assert len(probes) == 3, str(run)
    for i, probe in enumerate(probes):
        assert probe["at"] == "342,0" and probe["red"] == "0", str(run)
        # Only the first probe may come before Wine has painted the window (all black) on a
        # busy machine.
        assert probe["title"] == "C5E1ED" or (i == 0 and probe["title"] == "000000"), str(run)
        assert 0 < int(probe["bar"]) < 1000, str(run)
        assert int(probe["exstyle"], 16) & 0x88 == 0x88, str(run)
    # The amount line appears from the second speed sample with data on (later on a busy machine).
    assert int(probes[-1]["ink"]) > 20, str(run)


def test_close_request_at_once_after_the_start_gives_up_cleanly(runs):
    # The close comes while the worker may not have looked at anything yet.
    run, _ = result_of(runs, "close_at_once")
    assert run.protocol() == [(WINDOW,), (RESULT, "6 9")], str(run)
    assert run.exit == 1, str(run)


def test_fast_transfer_still_shows_the_amount_line(runs):
    # Reports every 2048 bytes keep the queue busy, which holds back the sample timer; the amount
    # line must show up anyway while the transfer runs.
    run, dest = result_of(runs, "fast")
    assert_completed(run)
    assert sha(dest.read_bytes()) == sha(generated(0, 20000000))
    probes = run.probes()
    assert probes, str(run)
    assert any(int(p["ink"]) > 20 for p in probes), str(run)


# -- command lines ---------------------------------------------------------------------------

def test_command_line_without_hwnd_is_refused(server, tmp_path):
    dest = tmp_path / "never.bin"
    tail = "/downloadtype=0 /downloadurl=%s/gen/10 /downloadpath=%s" % (server["base"], windows_path(dest))
    for args in (tail, "/hwnd={hwnd} /downloadtype=0 /downloadurl=%s/gen/10" % server["base"]):
        run = run_client(["--args", args])
        assert run.protocol() == [] and run.exit == -1, str(run)
    assert not dest.exists()


def test_hex_handle_downloads_without_reports(server, tmp_path):
    dest = tmp_path / "hex.bin"
    run = run_client(["--args", "/hwnd=0x{hwnd} /downloadtype=0 /downloadurl=%s/gen/300000 "
                      "/downloadpath=%s" % (server["base"], windows_path(dest))])
    assert run.protocol() == [] and run.exit == 1, str(run)
    assert sha(dest.read_bytes()) == sha(FULL)


def test_blanks_in_address_and_path_are_taken_whole(server, tmp_path):
    dest = tmp_path / "a folder" / "my out.bin"
    dest.parent.mkdir()
    run = run_client(["--args", "/hwnd={hwnd} /downloadtype=0 /downloadurl=%s/dir with blanks/my file.bin "
                      "/downloadpath=%s" % (server["base"], windows_path(dest))])
    assert_completed(run)
    assert dest.read_bytes() == generated(0, 70000)


# -- crashes ---------------------------------------------------------------------------------

CRASH_SIZE = 20 << 20          # one file, resumed after every kill
CRASH_RATE = 2 << 20           # bytes per second from the server: ~10 s of transfer in all
CRASH_KILLS = 20
CRASH_MARGIN = 1 << 20         # no kill this close to the end, so every killed run is cut short


class LiveClient:
    """A dldclient run whose lines are read as they come, so that the test can act in between."""

    def __init__(self, args):
        self.proc = wine_popen("dldclient.exe", ["--timeout", "60000", *args], stdout=subprocess.PIPE,
                               text=True)
        self.lines, self.changed = [], threading.Condition()
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        for line in self.proc.stdout:
            with self.changed:
                self.lines.append(line.rstrip("\n"))
                self.changed.notify_all()
        with self.changed:
            self.lines.append(None)      # the client has ended
            self.changed.notify_all()

    def wait_line(self, kind):
        """Blocks until a line of that kind (or the end of the client) has come."""
        with self.changed:
            self.changed.wait_for(lambda: any(l is None or l.split(" ")[1:2] == [kind] for l in self.lines))

    def run(self):
        """The whole record, once the client has ended."""
        self.proc.wait(60)
        self.wait_line("EXIT")
        return Run("\n".join(l for l in self.lines if l is not None))


def grow_past(dest, size, client):
    """Waits until the destination holds at least size bytes (or the client has ended)."""
    while dest.stat().st_size < size and client.proc.poll() is None:
        time.sleep(0.002)


def test_resume_after_kills_at_random_moments_gives_the_source(server, tmp_path):
    """fetchkit killed with SIGKILL at a random moment of the transfer, 20 times in a row on one
    file, each run resuming what the last one left: every partial file is a prefix of the source,
    no killed run reported success, and the last run completes the file byte for byte."""
    seed = random.randrange(1 << 30)
    rng = random.Random(seed)
    source = generated(0, CRASH_SIZE)
    dest = tmp_path / "crash.bin"
    dest.write_bytes(b"")
    url = "%s/slow/%d/gen/%d" % (server["base"], CRASH_RATE, CRASH_SIZE)
    args = ["--type", "2", "--url", url, "--path", windows_path(dest), *SHARED_PLACE]
    kept, early = [], []
    for kill in range(CRASH_KILLS):
        before = dest.stat().st_size
        room = CRASH_SIZE - CRASH_MARGIN - before
        # About one kill in five as soon as the dialog exists, the others spread over the rest.
        spread = min(room, 2 * room // (CRASH_KILLS - kill))
        target = before if rng.random() < 0.2 else before + rng.randrange(spread + 1)
        client = LiveClient(args)
        client.wait_line("WINDOW")
        grow_past(dest, target, client)
        assert client.proc.poll() is None, "kill %d (seed %d): ended first\n%r" % (kill, seed, client.run())
        kill_wine("fetchkit.exe", windows_path(dest))
        run = client.run()
        data = dest.read_bytes()
        kept.append(len(data))
        if run.kinds(RESULT):
            early.append((kill, run))
        assert data == source[:len(data)], "kill %d (seed %d) left a file that is no prefix" % (kill, seed)
    final = LiveClient(args).run()
    identical = sha(dest.read_bytes()) == sha(source)
    print("crash-resume: seed %d, %d kills, kept bytes %s, killed runs reporting a result: %d, "
          "final file identical: %s" % (seed, CRASH_KILLS, kept, len(early), identical))
    assert not early, early
    assert_completed(final)
    assert identical
