"""How vocalis.dll treats a help client that does what real clients do: end the call or delete
the interface inside a talk notification, show a message box there while the peer hangs up, or
live in the background without an active window. The help-client harness plays the client under
Wine with Wine's heap checking on; a small peer on loopback plays the remote helper."""
import socket
import threading
import time

import pytest

from conftest import windows_path, wine_env, wine_run, WIN_BIN
from talkpeer import TalkPeer

ROUNDS = 50


@pytest.fixture
def harness(services, tmp_path):
    if not (WIN_BIN / "helpclient.exe").exists():
        pytest.skip("helpclient.exe is not built")

    def run(script, timeout=180, timed=False):
        (tmp_path / "script.txt").write_text(script)
        log = tmp_path / "client.log"
        proc = wine_run("helpclient.exe", [windows_path(log), windows_path(tmp_path / "script.txt")],
                        env=wine_env({"WINEDEBUG": "warn+heap"}), capture_output=True, timeout=timeout)
        lines = [line.split(None, 2) for line in log.read_text(errors="replace").splitlines()]
        heap = [line for line in proc.stderr.decode(errors="replace").splitlines() if "heap" in line]
        lines = [tuple(parts) for parts in lines if len(parts) == 3]
        return proc.returncode, lines if timed else [parts[1:] for parts in lines], heap
    return run


@pytest.fixture
def peer(request):
    p = TalkPeer(**getattr(request, "param", {}))
    yield p
    p.close()


def results(lines, prefix):
    """The results of the logged steps that start with prefix."""
    return [int(text.rsplit(" -> ", 1)[1]) for kind, text in lines
            if kind == "step:" and text.startswith(prefix)]


# The handler's step, whether the peer hangs up once the talk is accepted, the message each round
# waits for, and what End returns inside the handler (1: the talk was still on).
ENDING_CASES = {
    "End in WM_TALK_BEGIN": ("onbegin end", None, "begin", 1),
    "delete in WM_TALK_BEGIN": ("onbegin destroy", None, "begin", 1),
    "End in WM_TALK_END": ("onend end", 0, "end", 0),
    "delete in WM_TALK_END": ("onend destroy", 0, "end", 1),
}


@pytest.mark.parametrize("peer,case", [({"hang_up_after": c[1]}, name) for name, c in ENDING_CASES.items()],
                         indirect=["peer"], ids=list(ENDING_CASES))
def test_client_ends_the_call_inside_a_notification(harness, peer, case):
    """The client ends the call (End or delete) from its handler, round after round in one
    process: no crash, no heap damage, and no voice packet after the end."""
    action, _, message, end_result = ENDING_CASES[case]
    script = (f"marks; {action}; loop {ROUNDS}; init; start 127.0.0.1 {peer.tcp_port} {peer.udp_port};"
              f"waitmsg {message} 5000; endloop; exit")
    rc, lines, heap = harness(script)
    assert rc == 0, lines[-5:]
    assert heap == []
    assert results(lines, "waitmsg") == [1] * ROUNDS
    handler = "end in handler" if action.endswith("end") else "delete in handler"
    assert results(lines, handler) == [end_result if handler.startswith("end") else 1] * ROUNDS
    assert peer.accepts == ROUNDS
    assert peer.voice_outside_sessions() == []


@pytest.mark.parametrize("peer", [{"hang_up_after": 0.2}], indirect=True)
def test_message_box_in_begin_while_the_peer_hangs_up(harness, peer):
    """The client's WM_TALK_BEGIN handler shows a message box; the peer hangs up while it is up.
    The end is handled inside the box's loop, and when the box returns the talk stays ended:
    the next start succeeds and no voice packet follows the end."""
    script = (f"marks; onbegin msgbox; init; loop {ROUNDS}; start 127.0.0.1 {peer.tcp_port} {peer.udp_port};"
              "waitmsg begin 5000; wait 200; endloop; end; exit")
    rc, lines, heap = harness(script)
    assert rc == 0, lines[-5:]
    assert heap == []
    assert results(lines, "start") == [1] * ROUNDS
    assert results(lines, "waitmsg") == [1] * ROUNDS
    infos = [text for kind, text in lines if kind == "info:"]
    assert infos.count("box closed after the end") == ROUNDS
    # The box was the active window, so the end went to it and not to the client's window.
    messages = [text for kind, text in lines if kind == "msg:"]
    assert messages.count("WM_TALK_END to another window") == ROUNDS
    assert "WM_TALK_END" not in messages
    assert results(lines, "end") == [0]
    assert peer.voice_outside_sessions() == []
    voiced = peer.voiced_sessions()
    print(f"\n{voiced} of {ROUNDS} talks carried speech while the box was up")
    assert voiced >= ROUNDS // 2, "speech flowed while the box was up, so the check means something"


@pytest.mark.parametrize("peer", [{"hang_up_after": 0.3}], indirect=True)
def test_client_without_an_active_window_hears_begin_and_end(harness, peer):
    """A client whose window is not active (hidden, as in the tray) gets both notifications
    at the window it gave the constructor."""
    script = (f"activate 0; init; start 127.0.0.1 {peer.tcp_port} {peer.udp_port};"
              "waitmsg begin 5000; waitmsg end 5000; end; exit")
    rc, lines, heap = harness(script)
    assert rc == 0 and heap == []
    assert results(lines, "activate") == [1], "the thread has no active window"
    assert results(lines, "waitmsg") == [1, 1]
    assert [text for kind, text in lines if kind == "msg:"] == ["WM_TALK_BEGIN", "WM_TALK_END"]


def flag_when(tmp_path, condition, name="flag"):
    """A file that appears once condition() holds, for the harness's waitfor step."""
    flag = tmp_path / name

    def watch():
        deadline = time.monotonic() + 60
        while time.monotonic() < deadline and not condition():
            time.sleep(0.02)
        flag.touch()
    threading.Thread(target=watch, daemon=True).start()
    return windows_path(flag)


def step_times(lines, prefix):
    """The log times of the steps that start with prefix."""
    return [float(t) for t, kind, text in lines if kind == "step:" and text.startswith(prefix)]


def test_log_callback_that_writes_into_the_clients_window(harness):
    """The client's log callback sends each line of the audio threads to its own window. The
    library's waits on the client's thread serve those sends, so the relay threads end on their
    own: no thread is terminated, and every close line reaches the window."""
    rc, lines, heap = harness("loghook ui; loop 10; init; end; endloop; exit", timed=True)
    assert rc == 0 and heap == []
    texts = [text for _, kind, text in lines if kind in ("log:", "ui:")]
    assert not [t for t in texts if "TerminateThread" in t]
    assert results([l[1:] for l in lines], "init") == [1] * 10
    ui = [text for _, kind, text in lines if kind == "ui:"]
    assert ui.count("MM_WOM_CLOSE") == 10 and ui.count("MM_WIM_CLOSE") == 10
    ends = [e - i for i, e in zip(step_times(lines, "init"), step_times(lines, "end"))]
    print("\nEnd took (s):", " ".join(f"{d:.2f}" for d in ends))


def test_end_called_again_from_inside_the_librarys_own_wait(harness, peer):
    """The window's handler of a log line sent from the capture thread during End calls End
    again; the End in progress has already let go of the engine."""
    script = (f"loghook ui-end; loop {ROUNDS}; init; start 127.0.0.1 {peer.tcp_port} {peer.udp_port};"
              "waitmsg begin 5000; end; endloop; exit")
    rc, lines, heap = harness(script)
    assert rc == 0, lines[-5:]
    assert heap == []
    assert results(lines, "end in log handler") == [0] * ROUNDS
    assert results(lines, "end ->") == [1] * ROUNDS


def test_start_towards_a_host_that_drops_connection_attempts(harness, tmp_path):
    """A listener whose accept queue is full: Linux drops the SYNs. Start gives up after 10 s
    with 0, and a message posted to the client window meanwhile is handled after it returns."""
    listener = socket.socket()
    listener.bind(("127.0.0.1", 0))
    listener.listen(0)
    fillers = []
    for _ in range(2):  # the queue holds one connection; the second attempt proves it full
        s = socket.socket()
        s.setblocking(False)
        s.connect_ex(listener.getsockname())
        fillers.append(s)
    try:
        port = listener.getsockname()[1]
        rc, lines, heap = harness(f"init; post; start 127.0.0.1 {port} {port}; end; exit", timed=True)
    finally:
        for s in fillers + [listener]:
            s.close()
    assert rc == 0 and heap == []
    plain = [l[1:] for l in lines]
    assert results(plain, "start") == [0]
    took = step_times(lines, "start")[0] - step_times(lines, "post")[0]
    print(f"\nStart returned after {took:.2f} s")
    assert 9.9 <= took < 10.5
    order = [text for _, kind, text in lines if kind in ("step:", "info:")]
    assert order.index("posted message handled") > order.index("start 127.0.0.1 %d %d -> 0" % (port, port))


@pytest.mark.parametrize("peer", [{"requests": 2}], indirect=True)
def test_second_request_on_one_connection(harness, peer, tmp_path):
    """Two talk requests on one connection: both answered with ACCEPT, one WM_TALK_BEGIN."""
    flag = flag_when(tmp_path, lambda: peer.accepts >= 2)
    script = (f"init; start 127.0.0.1 {peer.tcp_port} {peer.udp_port}; waitfor {flag} 10000;"
              "end; exit")
    rc, lines, heap = harness(script)
    assert rc == 0 and heap == []
    assert peer.accepts == 2
    assert [text for kind, text in lines if kind == "msg:"] == ["WM_TALK_BEGIN"]


def test_assignment_over_a_live_engine_and_copies(harness, peer):
    """Assigning a new object over one with a live talk ends that talk (its sockets and devices
    go, so a new engine can start on the thread); a copy made by assignment shares the engine."""
    start = f"start 127.0.0.1 {peer.tcp_port} {peer.udp_port}"
    script = (f"init; {start}; waitmsg begin 5000; assign; init; end;"
              f"init; {start}; waitmsg begin 5000; copy; end; exit")
    rc, lines, heap = harness(script)
    assert rc == 0 and heap == []
    assert results(lines, "init") == [1, 1, 1]
    assert results(lines, "end") == [0, 1], "the copy ends the talk the original started"
