"""Update.exe end to end under Wine: real WinINet against the local test HTTP server, a stand-in
installer (served as the package) and a stand-in client, the dialog driven and read from another
process by update_probe.exe. Run under scripts/with-services with ST_BUILD set."""
import hashlib
import json
import os
import random
import shutil
import socket
import subprocess
import threading
import time
from pathlib import Path

import pytest

from conftest import WIN_BIN, free_port, http_server, windows_path, wine_env, wine_popen, wine_run
from wine_kill import kill_wine

FAIL_HEAD = "自动升级失败！\r失败原因："
SC_CLOSE = 61536
IDM_ABOUTBOX = 16
VK_RETURN, VK_ESCAPE = 13, 27


@pytest.fixture(scope="module")
def site(services, tmp_path_factory):
    """The HTTP server with the packages: the stand-in installer, and a file that is no program."""
    www = tmp_path_factory.mktemp("update-www")
    shutil.copy(WIN_BIN / "update_stub.exe", www / "setup.exe")
    (www / "broken.exe").write_bytes(b"this is not a program\n" * 100)
    # A 24 MiB installer (the stand-in with data appended): thousands of progress reports.
    (www / "big.exe").write_bytes((WIN_BIN / "update_stub.exe").read_bytes() + os.urandom(24 << 20))
    names = ("setup.exe", "broken.exe", "big.exe")
    md5 = {name: hashlib.md5((www / name).read_bytes()).hexdigest() for name in names}
    sha256 = {name: hashlib.sha256((www / name).read_bytes()).hexdigest() for name in names}
    with http_server(www) as base:
        yield {"base": base, "md5": md5, "sha256": sha256, "www": www}


@pytest.fixture(scope="module")
def client(services):
    """The stand-in client in a folder with blanks, as Windows sees it, and a decoy C:\\Program.exe
    that an unquoted command line would start instead."""
    drive = Path(os.environ["WINEPREFIX"]) / "drive_c"
    folder = drive / "Program Files" / "Zeb Client"
    folder.mkdir(parents=True, exist_ok=True)
    shutil.copy(WIN_BIN / "update_stub.exe", folder / "zeb client.exe")
    shutil.copy(WIN_BIN / "update_stub.exe", drive / "Program.exe")
    yield "C:\\Program Files\\Zeb Client\\zeb client.exe"
    (drive / "Program.exe").unlink()


class UpdateRun:
    """One Update process with its trace (debugger output) and the stand-ins' record file."""

    def __init__(self, tmp_path, args, exe="Update.exe", stub_sleep_ms=0, extra=None):
        self.stub_log = tmp_path / "stub.log"
        self.stderr = open(tmp_path / "update.err", "wb+")
        env = wine_env({"WINEDEBUG": "-all,warn+debugstr",
                        "UPDATE_STUB_LOG": windows_path(self.stub_log),
                        "UPDATE_STUB_SLEEP_MS": str(stub_sleep_ms), **(extra or {})}, chinese=True)
        self.proc = wine_popen(exe, args, env=env, stdout=subprocess.DEVNULL, stderr=self.stderr)

    def trace(self):
        """The OutputDebugStringA lines so far, unescaped."""
        self.stderr.flush()
        lines = []
        for raw in Path(self.stderr.name).read_bytes().decode("latin-1").splitlines():
            if "OutputDebugStringA" in raw:
                text = raw.split("OutputDebugStringA ", 1)[1].strip()[1:-1]
                lines.append(text.encode("latin-1").decode("unicode_escape"))
        return lines

    def stub_records(self):
        if not self.stub_log.exists():
            return []
        return [line.split("|") for line in self.stub_log.read_text("latin-1").splitlines()]

    def wait(self, timeout=20):
        return self.proc.wait(timeout)

    def stop(self):
        if self.proc.poll() is None:
            probe("sys", SC_CLOSE)
            try:
                self.proc.wait(5)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
        self.stderr.close()


def probe(*args):
    """Runs update_probe; JSON answers are parsed, others returned as text; None: no window."""
    out = wine_run("update_probe.exe", map(str, args), capture_output=True, timeout=30)
    if out.returncode != 0:
        return None
    text = out.stdout.decode("utf-8").strip()
    return json.loads(text) if text.startswith("{") else text


def wait_for(predicate, timeout=30, what="state"):
    """Polls the dialog's state until predicate(state) holds; returns that state."""
    deadline = time.time() + timeout
    state = None
    while time.time() < deadline:
        state = probe("state")
        if state and predicate(state):
            return state
        time.sleep(0.1)
    raise AssertionError("timed out waiting for %s; last state %r" % (what, state))


def wait_until(predicate, timeout=15, what="condition"):
    """Polls predicate() until it gives a true value, and returns that value."""
    deadline = time.time() + timeout
    while True:
        value = predicate()
        if value:
            return value
        assert time.time() < deadline, "timed out waiting for %s" % what
        time.sleep(0.1)


def shown(state, *ids):
    return [i for i in ("1000", "1001", "1002", "1003", "1004") if state[i]["visible"]] == list(ids)


def result_state(state):
    """The dialog has switched to its result: the result text is set last, after the controls
    are shown and hidden, so a state read half-way through the switch does not count, nor one read
    before the dialog's initialisation has hidden the template's controls."""
    return (state["visible"] and state["1002"]["visible"] and not state["1000"]["visible"]
            and state["1002"]["text"] != "")


@pytest.fixture
def runs(tmp_path):
    """Starts Update runs and stops whatever is left of them after the test."""
    started = []

    def start(*args, **kw):
        folder = tmp_path / ("run%d" % len(started))
        folder.mkdir()
        run = UpdateRun(folder, args, **kw)
        started.append(run)
        return run

    yield start
    for run in started:
        run.stop()


def expect_failure(run, reason):
    """The failure state: reason text, two buttons at their template places."""
    state = wait_for(result_state, what="failure state")
    assert shown(state, "1002", "1003", "1004")
    assert state["1002"]["text"] == (FAIL_HEAD + reason if reason else "自动升级失败！")
    assert (state["1003"]["text"], state["1004"]["text"]) == ("手动下载", "取消")
    assert state["1003"]["x"] < state["1004"]["x"]
    return state


def test_success_installs_silently_and_starts_client_by_long_path(site, client, runs):
    short = probe("short", client)
    assert short and short != client   # Wine gives the folder and file 8.3 names
    url = site["base"] + "/slow/100000/setup.exe"
    run = runs(url, site["md5"]["setup.exe"], short, stub_sleep_ms=1500)

    total = "总文件大小:%dKB " % ((site["www"] / "setup.exe").stat().st_size // 1024)
    progress = wait_for(lambda s: s["1001"]["text"].startswith(total), what="progress")
    assert shown(progress, "1000", "1001") and 1 <= progress["bar"] <= 100
    assert wait_for(lambda s: not s["visible"], what="hidden while installing")
    wait_until(lambda: run.stub_records())
    installer = [r for r in run.stub_records() if r[0] == "start"]
    assert len(installer) == 1 and not probe("state")["visible"]
    package = installer[0][1]
    assert package.startswith("C:\\users\\") and package.endswith("_korvane.exe")
    assert installer[0][2] == '"%s" /S' % package

    state = wait_for(result_state, what="success state")
    assert ["end", package] in run.stub_records()     # waited for the installer
    assert shown(state, "1002", "1003")
    assert state["1002"]["text"] == "    升级完成!" and state["1003"]["text"] == "确定"
    button = state["1003"]
    assert abs(button["x"] + button["w"] // 2 - state["client_w"] // 2) <= 1

    for key in (VK_RETURN, VK_ESCAPE):               # swallowed: nothing closes or clicks
        probe("key", key)
    # The about box, asked for after the keys, opens once the dialog has handled them.
    probe("sys", IDM_ABOUTBOX)
    wait_until(lambda: probe("about"), 10, "the about box")
    assert run.proc.poll() is None and probe("state")["1002"]["visible"]
    probe("aboutok")
    wait_until(lambda: probe("about") is None, 10, "the about box to close")

    probe("click", 1003)
    assert run.wait() == 0
    trace = run.trace()
    assert trace[:5] == ["CUpdateApp::InitInstance() called", trace[1], url,
                         site["md5"]["setup.exe"], short]
    assert trace[1].endswith("Update.exe")
    assert trace[5:] == ['"%s"' % client, "CreateProcess zeb_client.exe ok"]
    wait_until(lambda: any(r[0] == "start" and r[1] == client for r in run.stub_records()))
    assert [r for r in run.stub_records() if r[1] == client][0][2] == '"%s"' % client
    wait_until(lambda: ["end", client] in run.stub_records())
    assert all(r[1] != "C:\\Program.exe" for r in run.stub_records())


def test_large_package_by_sha256_then_missing_client(site, runs):
    missing = "C:\\no such folder\\zeb_client.exe"
    run = runs(site["base"] + "/big.exe", site["sha256"]["big.exe"], missing)
    state = wait_for(result_state, what="success state")
    assert state["1002"]["text"] == "    升级完成!"
    size = (site["www"] / "big.exe").stat().st_size
    mb = "%.2fMB" % ((size // 1024) / 1024)
    assert state["1001"]["text"] == "总文件大小:%s 已经下载的大小:%s" % (mb, mb)
    assert [r[0] for r in run.stub_records()] == ["start", "end"]
    probe("click", 1003)                              # the client cannot start: the dialog still ends
    assert run.wait() == 0
    assert run.trace()[-2:] == ['"%s"' % missing, "CreateProcess zeb_client.exe error"]


def test_closing_during_transfer_ends_at_once(site, client, runs):
    run = runs(site["base"] + "/slow/30000/setup.exe", "", client)
    wait_for(lambda s: s["bar"] >= 10, what="transfer under way")
    probe("sys", SC_CLOSE)
    assert run.wait(10) == 0                           # the worker is still transferring
    assert run.stub_records() == []


def test_empty_digest_installs_and_unknown_length_alternates_bar(site, client, runs):
    run = runs(site["base"] + "/nolength/slow/60000/setup.exe", "", client)
    seen = set()
    deadline = time.time() + 20
    while time.time() < deadline:
        state = probe("state")
        if state and state["1000"]["visible"]:
            assert state["1001"]["text"] == ""          # no sizes without a length
            seen.add(state["bar"])
        if state and state["1002"]["visible"]:
            break
        time.sleep(0.05)
    assert {50, 100} <= seen
    state = wait_for(result_state, what="success state")
    assert state["1002"]["text"] == "    升级完成!"
    assert [r[0] for r in run.stub_records()] == ["start", "end"]
    probe("sys", SC_CLOSE)                            # close box: ends without starting the client
    assert run.wait() == 0
    assert "CreateProcess zeb_client.exe ok" not in run.trace()
    assert all(r[1] != client for r in run.stub_records())


# name -> (package address, its digest, the failure text, how the dialog is ended: the cancel
# button 1004 or the close box). "{base}" is the test server, "{bad}" one that answers 200 with
# the Content-Length text ahead; the digest "md5" is the package's own, "MD5" it in capitals,
# "sha256" another file's SHA-256.
CANCEL, CLOSE_BOX = ("click", 1004), ("sys", SC_CLOSE)
FAILURES = {
    "wrong_digest": ("{base}/setup.exe", "0123456789abcdef0123456789abcdef", "服务器返回数据异常",
                     CANCEL),
    "digest_in_capitals": ("{base}/setup.exe", "MD5", "服务器返回数据异常", CANCEL),
    "wrong_sha256": ("{base}/setup.exe", "sha256", "服务器返回数据异常", CLOSE_BOX),
    "not_found": ("{base}/nothing-here.exe", "", "服务器返回数据异常", CLOSE_BOX),     # code 4
    "cut_short": ("{base}/cut/5000/setup.exe", "md5", "数据传输时发生网络错误", CLOSE_BOX),  # 8
    "not_a_program": ("{base}/broken.exe", "md5", "启动程序错误", CLOSE_BOX),          # code 11
    "error_body": ("{base}/status/500", "", "服务器返回数据异常", CLOSE_BOX),  # an error page: 4
    "stalled": ("{base}/stall/4096/setup.exe", "", "数据传输时发生网络错误", CLOSE_BOX),  # 8
    "length_not_32_bit": ("{bad}99999999999", "", "服务器返回数据异常", CANCEL),  # query fails
    "length_negative": ("{bad}-5", "", "数据传输时发生网络错误", CLOSE_BOX),  # 4294967291: short
}


class BadLengthServer:
    """Answers every request with 200, the given Content-Length text and a 5-byte body."""

    def __init__(self, length_text):
        self.sock = socket.create_server(("127.0.0.1", 0))
        self.port = self.sock.getsockname()[1]
        self.answer = b"HTTP/1.1 200 OK\r\nContent-Length: %s\r\nConnection: close\r\n\r\nhello" % length_text
        threading.Thread(target=self.serve, daemon=True).start()

    def serve(self):
        while True:
            try:
                conn, _ = self.sock.accept()
            except OSError:
                return
            with conn:
                conn.recv(4096)
                conn.sendall(self.answer)


# Cases that run with a short network time limit (a test-only setting of the programs).
SHORT_LIMIT = {"stalled": {"ST_TEST_ONLY_NET_TIMEOUT_MS": "1000"}}


@pytest.mark.parametrize("name", FAILURES)
def test_failure_shows_its_reason_and_installs_nothing(site, client, runs, name):
    address, digest, reason, end = FAILURES[name]
    md5 = site["md5"].get(address.rsplit("/", 1)[-1], "")
    digest = {"md5": md5, "MD5": md5.upper(), "sha256": site["sha256"]["broken.exe"]}.get(digest, digest)
    server = None
    if address.startswith("{bad}"):
        server = BadLengthServer(address[len("{bad}"):].encode())
        address = "http://127.0.0.1:%d/setup.exe" % server.port
    try:
        run = runs(address.format(base=site["base"]), digest, client, extra=SHORT_LIMIT.get(name))
        expect_failure(run, reason)
        assert run.stub_records() == []
        probe(*end)
        assert run.wait() == 0
    finally:
        if server:
            server.sock.close()


def test_connection_refused_and_manual_download_page(site, client, runs, tmp_path):
    page = tmp_path / "page" / "browser.exe"        # what the download page opens in this test
    page.parent.mkdir()
    shutil.copy(WIN_BIN / "update_stub.exe", page)
    url = "http://127.0.0.1:%d/setup.exe" % free_port()
    run = runs(url, "", client, exe="UpdateTest.exe",
               extra={"UPDATE_TEST_DOWNLOAD_PAGE": windows_path(page)})
    expect_failure(run, "网络无法连接")
    probe("sys", IDM_ABOUTBOX)                        # the about box from the system menu
    about = wait_until(lambda: probe("about"), 10, "the about box")
    assert {"Update 1.0 版", "确定"} <= set(about["texts"])
    probe("aboutok")
    wait_until(lambda: probe("about") is None)
    probe("click", 1003)
    assert run.wait() == 0
    wait_until(lambda: any(r[0] == "start" and r[1] == windows_path(page) for r in run.stub_records()))


@pytest.mark.parametrize("exit_code, reason", [(3010, None), (2, "安装程序执行失败")])
def test_installer_exit_code_decides_the_result(site, client, runs, exit_code, reason):
    run = runs(site["base"] + "/setup.exe", site["md5"]["setup.exe"], client,
               extra={"UPDATE_STUB_EXIT": str(exit_code)})
    if reason:
        expect_failure(run, reason)
        assert "Installer exit code %d: failure 12, installation failed" % exit_code in run.trace()
    else:
        assert wait_for(result_state, what="success state")["1002"]["text"] == "    升级完成!"
    assert [r[0] for r in run.stub_records()] == ["start", "end"]


def test_installer_refused_without_elevation_starts_through_the_shell(site, client, runs):
    # Wine has no UAC: the test build acts as if CreateProcessA had failed with error 740. The
    # shell starts the installer, and its exit code (2) comes from the process the shell handed back.
    run = runs(site["base"] + "/setup.exe", site["md5"]["setup.exe"], client, exe="UpdateTest.exe",
               stub_sleep_ms=1000, extra={"UPDATE_TEST_ELEVATION_REQUIRED": "1", "UPDATE_STUB_EXIT": "2"})
    expect_failure(run, "安装程序执行失败")
    records = run.stub_records()
    assert [r[0] for r in records] == ["start", "end"]
    assert records[0][1].endswith("_korvane.exe") and records[0][2].endswith(" /S")
    trace = run.trace()
    assert "CreateProcess: elevation required, installer started through ShellExecuteEx" in trace
    assert "Installer exit code 2: failure 12, installation failed" in trace


def test_installer_time_limit(site, client, runs):
    run = runs(site["base"] + "/setup.exe", site["md5"]["setup.exe"], client, exe="UpdateTest.exe",
               stub_sleep_ms=4000, extra={"UPDATE_TEST_INSTALL_LIMIT_MS": "1000"})
    expect_failure(run, "安装超时")
    records = run.stub_records()
    assert [r[0] for r in records] == ["start"]      # the installer goes on running
    probe("click", 1004)
    assert run.wait() == 0
    wait_until(lambda: [r[0] for r in run.stub_records()] == ["start", "end"])


@pytest.mark.parametrize("send", ["window", "broadcast"])
def test_installer_that_sends_to_the_dialog_gets_its_answer(site, client, runs, send):
    # The installer announces a settings change with a plain SendMessage and waits for the hidden
    # dialog's answer; the dialog answers while it waits for the installer, so the run succeeds
    # instead of running into the time limit.
    run = runs(site["base"] + "/setup.exe", site["md5"]["setup.exe"], client, exe="UpdateTest.exe",
               extra={"UPDATE_STUB_SEND": send, "UPDATE_TEST_INSTALL_LIMIT_MS": "20000"})
    state = wait_for(result_state, what="result state")
    assert state["1002"]["text"] == "    升级完成!"
    assert [r[:2] for r in run.stub_records()][1:] == [["sent", send], ["end", run.stub_records()[0][1]]]


def test_no_guid_text_is_reported_even_before_the_window_exists(site, client, runs):
    # The worker fails at once; the dialog comes a second later and still shows the report.
    run = runs(site["base"] + "/setup.exe", "", client, exe="UpdateTest.exe",
               extra={"UPDATE_TEST_NO_GUID_TEXT": "1", "UPDATE_TEST_DIALOG_DELAY_MS": "1000"})
    expect_failure(run, "无法创建临时文件")


def test_second_instance_leaves_first_alone(site, client, runs):
    first = runs(site["base"] + "/slow/50000/setup.exe", "", client)
    wait_for(lambda s: s["1000"]["visible"], what="first dialog")
    second = runs(site["base"] + "/setup.exe", "", client)
    assert second.wait(15) == 0
    assert second.trace() == ["CUpdateApp::InitInstance() called", "Find PreInstance"]
    state = wait_for(result_state, what="first run's result")
    assert state["1002"]["text"] == "    升级完成!"
    assert first.proc.poll() is None


def test_offline_machine_ends_without_window(site, client, runs):
    run = runs(site["base"] + "/setup.exe", "", client, exe="UpdateTest.exe",
               extra={"UPDATE_TEST_OFFLINE": "1"})
    assert run.wait(15) == 0
    assert run.trace()[-1] == "InternetGetConnectedState() Error"
    assert len(run.trace()) == 6 and probe("state") is None


@pytest.mark.parametrize("args", [("a", "b"), ("a", "b", "c", "d")])
def test_wrong_argument_count_ends_without_window(site, runs, args):
    run = runs(*args)
    assert run.wait(15) == 0
    assert run.trace() == ["CUpdateApp::InitInstance() called"]
    assert probe("state") is None


def temp_packages():
    """The packages in the temporary folder of Wine's user, by path."""
    users = Path(os.environ["WINEPREFIX"]) / "drive_c" / "users"
    return set(users.glob("*/Temp/*_korvane.exe"))


def test_killed_mid_download_then_run_again_installs_once(site, client, runs):
    """Update killed with SIGKILL at a random moment of the package download; the next run starts
    over in a new file, checks the digest and installs once; the partial package never runs."""
    big = (site["www"] / "big.exe").read_bytes()
    seed = random.randrange(1 << 30)
    target = random.Random(seed).randrange(64 << 10, len(big) - (4 << 20))
    url = site["base"] + "/slow/8000000/big.exe"
    earlier = temp_packages()
    first = runs(url, site["md5"]["big.exe"], client)
    partial = wait_until(lambda: next(iter(temp_packages() - earlier), None), what="the package file")
    while partial.stat().st_size < target and first.proc.poll() is None:
        time.sleep(0.002)
    kill_wine("Update.exe", url)
    first.proc.wait(10)
    kept = partial.read_bytes()
    assert 0 < len(kept) < len(big) and kept == big[:len(kept)], seed
    assert first.stub_records() == []                  # the partial package never ran

    second = runs(site["base"] + "/big.exe", site["md5"]["big.exe"], client)
    state = wait_for(result_state, what="the second run's result")
    assert state["1002"]["text"] == "    升级完成!"
    started = [r for r in second.stub_records() if r[0] == "start"]
    new = temp_packages() - earlier - {partial}
    print("update kill: seed %d, killed at %d of %d bytes, installers started after the rerun: %d"
          % (seed, len(kept), len(big), len(started)))
    assert len(started) == 1 and len(new) == 1
    package = new.pop()
    assert started[0][1].endswith("\\Temp\\" + package.name)
    assert hashlib.md5(package.read_bytes()).hexdigest() == site["md5"]["big.exe"]
    assert partial.read_bytes() == kept                # the partial file is left as it was
