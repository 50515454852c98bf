"""How vocalis.dll treats a help client that does what real clients do: end the call or delete
the interface inside a talk notification, show a message box there while the peer hangs up, or
live in the background without an active window. The help-client harness plays the client under
Wine with Wine's heap checking on; a small peer on loopback plays the remote helper."""
import pytest

from conftest import windows_path, wine_env, wine_run, WIN_BIN
from talkpeer import TalkPeer

ROUNDS = 50


@pytest.fixture
def harness(services, tmp_path):
    if not (WIN_BIN / "helpclient.exe").exists():
        pytest.skip("helpclient.exe is not built")

    def run(script, timeout=180):
        (tmp_path / "script.txt").write_text(script)
        log = tmp_path / "client.log"
        proc = wine_run("helpclient.exe", [windows_path(log), windows_path(tmp_path / "script.txt")],
                        env=wine_env({"WINEDEBUG": "warn+heap"}), capture_output=True, timeout=timeout)
        lines = [line.split(None, 2)[1:] for line in log.read_text(errors="replace").splitlines()]
        heap = [line for line in proc.stderr.decode(errors="replace").splitlines() if "heap" in line]
        return proc.returncode, [tuple(parts) for parts in lines if len(parts) == 2], heap
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
