"""vocalis.dll as an MSVC-built help client uses it: tests/msvcclient (clang in MSVC mode, linked
by lld-link against vocalis.lib, operator new on ucrtbase.dll's heap) checks the class's binary
contract step by step around one real call with the native voice peer."""
import subprocess

import pytest

from conftest import NATIVE_BIN, WIN_BIN, WINE, wine_env
import peerlog  # tools/voicepeer, on the path through conftest
from test_voice import Session

PACKETS = 50  # speech the peer must receive before the client ends the call (3 s)


@pytest.fixture
def call(services, tmp_path):
    for path in (NATIVE_BIN / "voicepeer", WIN_BIN / "msvcclient.exe", WIN_BIN / "vocalis.dll"):
        if not path.exists():
            pytest.skip(f"{path} is not built")
    s = Session(tmp_path / "call")
    yield s
    s.close()


def test_msvc_client_call(call):
    s = call
    s.start_peer("--ctl", "0.2:request", duration=60)
    flag = s.flag_on_event(f"voice seq={PACKETS} len=")
    client = subprocess.run([WINE, str(WIN_BIN / "msvcclient.exe"), "127.0.0.1", str(s.tcp), str(s.udp), flag],
                            env=wine_env(), capture_output=True, text=True, timeout=120)
    print(client.stdout)
    assert client.returncode == 0, client.stdout + client.stderr
    assert client.stdout.rstrip().endswith("msvcclient: all checks passed")
    assert "FAILED" not in client.stdout and client.stdout.count("WM_TALK_BEGIN seen") == 1

    # The peer saw one accepted talk request, our speech numbered from 1, and End's hang-up.
    assert peerlog.wait_logged(s.dir / "events.log", "ctl-closed", 10), "End closed the control connection"
    s.procs["peer"].terminate()
    s.wait_peer()
    assert len(s.accepts()) == 1
    seqs = [q for _, q in s.received_seqs()]
    assert len(seqs) >= PACKETS and seqs == list(range(1, len(seqs) + 1))
