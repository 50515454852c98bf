"""A voice session end to end: the help-client harness drives vocalis.dll under Wine with
PulseAudio devices; the native voice peer plays the remote helper on loopback."""
import re
import signal
import socket
import subprocess
import threading
import time
from pathlib import Path

import numpy as np
import pytest

from conftest import NATIVE_BIN, WIN_BIN, free_port, own_speech, windows_path, wine_env, wine_popen
import peerlog  # tools/voicepeer, on the path through conftest
import voice_audio as va

SPEECH = own_speech()
TALK_ACCEPT = 4097


class Session:
    """One run of the peer and the harness, with optional microphone feed and speaker recording.
    Every process it starts is stopped by close()."""

    def __init__(self, workdir):
        self.dir = Path(workdir)
        self.dir.mkdir(parents=True, exist_ok=True)
        self.tcp = free_port()
        self.udp = free_port(socket.SOCK_DGRAM)
        self.procs = {}

    def start_peer(self, *args, duration=10):
        cmd = [str(NATIVE_BIN / "voicepeer"), "--tcp", str(self.tcp), "--udp", str(self.udp),
               "--out", str(self.dir), "--duration", str(duration), "--wait-accept", "20", *args]
        self.procs["peer"] = subprocess.Popen(cmd, stderr=open(self.dir / "peer.err", "w"))
        if not peerlog.wait_logged(self.dir / "events.log", "listening", 10, self.procs["peer"]):
            raise AssertionError("voice peer did not start: " + (self.dir / "peer.err").read_text())

    def feed_mic(self, raw):
        self.procs["mic"] = subprocess.Popen(
            ["pacat", "-p", "-d", "mic", "--raw", "--rate=8000", "--channels=1", "--format=s16le", str(raw)])

    def record_speaker(self):
        self.procs["speaker"] = subprocess.Popen(
            ["parec", "--latency-msec=20", "-d", "speaker.monitor", "--rate=8000", "--channels=1",
             "--format=s16le", "--file-format=wav", str(self.dir / "speaker.wav")])

    def run_client(self, script, timeout=60, playout=None):
        """playout="classic" runs the library with the ordering store that plays on arrival."""
        (self.dir / "script.txt").write_text(script)
        args = [windows_path(self.dir / "client.log"), windows_path(self.dir / "script.txt")]
        proc = wine_popen("helpclient.exe", args, env=wine_env({"VOCALIS_PLAYOUT": playout or ""}))
        self.procs["client"] = proc
        proc.wait(timeout=timeout)
        return proc.returncode

    def flag_on_event(self, needle, name="flag"):
        """A file that appears once the peer has logged `needle`, for the harness's waitfor."""
        flag, events = self.dir / name, self.dir / "events.log"

        def watch():
            deadline = time.time() + 30
            while time.time() < deadline and not flag.exists():
                if peerlog.logged(events, needle):
                    flag.touch()
                time.sleep(0.02)
        threading.Thread(target=watch, daemon=True).start()
        return windows_path(flag)

    def wait_peer(self, timeout=30):
        self.procs["peer"].wait(timeout=timeout)

    def close(self):
        for name in ("speaker", "mic"):
            proc = self.procs.get(name)
            if proc and proc.poll() is None:
                time.sleep(0.3 if name == "speaker" else 0)
                proc.send_signal(signal.SIGINT)
        for proc in self.procs.values():
            try:
                proc.wait(timeout=5)
            except subprocess.TimeoutExpired:
                proc.kill()
                proc.wait()

    # What happened, from the two logs.
    def events(self, kind=None):
        return peerlog.events(self.dir / "events.log", kind)

    def client_lines(self, prefix):
        text = (self.dir / "client.log").read_text(encoding="gbk", errors="replace")
        return [parts[2] for parts in (line.split(None, 2) for line in text.splitlines())
                if len(parts) == 3 and parts[1] == prefix]

    def step_results(self):
        return [(m.group(1), int(m.group(2))) for m in
                (re.match(r"(.*) -> (-?\d+)$", s) for s in self.client_lines("step:")) if m]

    def received_seqs(self):
        return [(t, int(f["seq"])) for t, _, f in self.events("voice")]

    def accepts(self):
        return [t for t, _, f in self.events("ctl-recv") if f.get("code") == str(TALK_ACCEPT)]


@pytest.fixture
def session(services, tmp_path, request):
    s = Session(tmp_path / request.node.name)
    yield s
    s.close()


@pytest.fixture(scope="session")
def tools():
    for path in (NATIVE_BIN / "voicepeer", NATIVE_BIN / "g729a", WIN_BIN / "helpclient.exe", WIN_BIN / "vocalis.dll"):
        if not path.exists():
            pytest.skip(f"{path} is not built")
    return NATIVE_BIN / "g729a"


@pytest.fixture(scope="session")
def mic_speech(tmp_path_factory):
    """About 30 s of synthetic speech (espeak-ng, resampled to 8 kHz), different from the peer's."""
    out = tmp_path_factory.mktemp("mic") / "mic.raw"
    text = ("The quick brown fox jumps over the lazy dog. A voice session carries speech both ways. "
            "Every sixty milliseconds one packet leaves the client and one arrives from the helper. ") * 3
    wav = out.with_suffix(".wav")
    subprocess.run(["espeak-ng", "-s", "150", "-w", str(wav), text], check=True)
    subprocess.run(["sox", "-G", str(wav), "-r", "8000", "-c", "1", "-b", "16", "-e", "signed-integer",
                    "-t", "raw", str(out)], check=True)
    return out


def gaps(times):
    return np.diff(np.asarray(times)) if len(times) > 1 else np.zeros(0)


def test_session_lifecycle_and_control_messages(session, tools):
    """Calls out of order, a closed control port, and the answering side's handling of repeated,
    hostile and malformed control messages, in one session."""
    s = session
    closed_tcp = free_port()
    hello_sink = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    hello_sink.bind(("127.0.0.1", 0))
    s.start_peer("--ctl", "0.3:request", "--ctl", "0.8:request", "--ctl", "1.3:badmagic+body=24",
                 "--ctl", "1.8:request+body=4", "--ctl", "2.3:request+body=5000",
                 "--ctl", "2.8:code=4097", "--ctl", "3.0:code=4098", duration=5)
    script = (f"start 127.0.0.1 {s.tcp} {s.udp}; sound 1; end; init; init; end; init;"
              f"start 127.0.0.1 {closed_tcp} {hello_sink.getsockname()[1]};"
              f"start 127.0.0.1 {s.tcp} {s.udp}; start 127.0.0.1 {s.tcp} {s.udp};"
              "wait 3800; loghook 0; end; exit")
    assert s.run_client(script) == 0
    s.wait_peer()
    results = [r for _, r in s.step_results()]
    assert results == [0, 1, 0, 1, 1, 0, 1, 0, 1, 0, 0, 1, 1], s.step_results()
    # Without a hook the devices' stop lines (logged with one) go nowhere.
    lines = (s.dir / "client.log").read_text(encoding="gbk", errors="replace").splitlines()
    off = next(i for i, line in enumerate(lines) if "loghook 0 -> 0" in line)
    assert any(" log: " in line for line in lines[:off])
    assert not any(" log: " in line for line in lines[off:])

    # Nothing reached the closed port's voice address: no hello after a failed Start.
    hello_sink.settimeout(0.2)
    with pytest.raises(socket.timeout):
        hello_sink.recvfrom(64)
    hello_sink.close()

    # Two requests, the request hidden in a bad-magic message's unread body, a 4-byte body and a
    # 5000-byte body are each answered once; TALK_ACCEPT and TALK_REFUSE are not answered. All
    # come on one connection, so the talk begins once.
    sent = [t for t, _, f in s.events("ctl-sent")]
    accepts = s.accepts()
    assert len(accepts) == 5, s.events("ctl-recv")
    assert all(reply >= request for request, reply in zip(sent[:5], accepts)), (sent, accepts)
    assert s.client_lines("msg:").count("WM_TALK_BEGIN") == 1, "one talk: one WM_TALK_BEGIN"
    assert len(s.events("hello")) == 1

    # Speech went out from the first accept on, numbered from 1 without a gap.
    seqs = [q for _, q in s.received_seqs()]
    assert seqs and seqs == list(range(1, len(seqs) + 1))
    assert s.received_seqs()[0][0] >= accepts[0]


def test_mute_and_peer_close(session, tools):
    """EnableSound(0/1) switches only the uplink; the peer's close ends the session once,
    stops sending and leaves playback of arriving packets going."""
    s = session
    s.record_speaker()
    s.start_peer("--send", str(SPEECH), "--send-seconds", "9", "--ctl", "0.2:request",
                 "--ctl", "6.5:close", duration=9.5)
    flowing = s.flag_on_event(" voice ")
    script = ("init; start 127.0.0.1 %d %d; waitmsg begin 3000; waitfor %s 8000; wait 600; sound 0;"
              "wait 1200; sound 1; waitmsg end 8000; wait 3500; end; exit" % (s.tcp, s.udp, flowing))
    assert s.run_client(script) == 0
    s.wait_peer()
    s.close()
    assert s.client_lines("msg:").count("WM_TALK_END") == 1
    assert ("end", 0) in s.step_results()

    arrivals = s.received_seqs()
    times = [t for t, _ in arrivals]
    seqs = [q for _, q in arrivals]
    assert seqs == list(range(1, len(seqs) + 1)), "numbering runs on across the mute"
    # The client holds back for the 1.2 s of the mute (less the arrival times' jitter).
    longest = float(gaps(times).max())
    print(f"\nmute gap {longest:.2f} s")
    assert longest > 0.9, f"mute gap {longest:.2f} s"
    close_time = [t for t, _, f in s.events("ctl-sent") if f["action"] == "close"][0]
    assert times[int(np.argmax(gaps(times))) + 1] < close_time, "sending resumed after the mute"
    # After the close only what was under way arrives (the blocks captured while the client's
    # thread was busy), where a client that went on would send some 58 until its End 3.5 s later.
    late = [t for t in times if t > close_time]
    print(f"packets arriving after the close: {len(late)}")
    assert len(late) < 20, "client stopped sending when the peer closed"

    # What the peer sent during the mute and after its close was still played.
    expected = va.g729_decode(tools, (s.dir / "sent.g729").read_bytes(), s.dir)
    heard = va.read_wav(s.dir / "speaker.wav")
    mute_start = times[int(np.argmax(gaps(times)))]
    for name, lo, hi in (("during the mute", mute_start + 0.2, mute_start + longest - 0.2),
                         ("after the close", close_time + 0.2, 1e9)):
        sent = [int(f["seq"]) for t, _, f in s.events("sent") if lo < t < hi]
        ref = expected[(sent[0] - 1) * va.BLOCK:sent[-1] * va.BLOCK]
        played = va.blockwise_compare(ref, heard, start_range=(-len(ref), len(heard)))
        print(f"\nplayback {name}: {len(sent)} packets sent, {played}")
        assert played["heard"] >= 0.7 * played["loud"] and played["median_snr"] > 15


def test_no_speech_before_request_or_enable_sound(session, tools):
    """Without a talk request nothing is sent until EnableSound(1); then speech goes to the
    host and voice port given to Start."""
    s = session
    s.start_peer("--ctl", "60:close", duration=7)  # never asks for a talk
    script = "init; start 127.0.0.1 %d %d; wait 4500; sound 1; wait 1500; end; exit" % (s.tcp, s.udp)
    assert s.run_client(script) == 0
    s.wait_peer()
    arrivals = s.received_seqs()
    assert not s.accepts() and s.client_lines("msg:") == []
    # Capture delivers from about 2 s after Init on; nothing may go out before the switch.
    assert len(arrivals) >= 10 and arrivals[0][0] > 4.0
    assert [q for _, q in arrivals] == list(range(1, len(arrivals) + 1))


def test_stalled_control_message_does_not_freeze(session, tools):
    """A peer that sends part of a control header, stalls 3.5 s and then sends two whole
    requests: the client's thread is not held meanwhile, so speech keeps its pace, and the
    stream finds its place again: the requests after the stall are answered."""
    s = session
    # The partial header goes out once the client's speech flows (capture starts ~2 s after Init).
    s.start_peer("--ctl", "0.2:request", "--ctl", "4:partial=10", "--ctl", "7.5:request",
                 "--ctl", "7.6:request", "--ctl", "10:close", duration=10.5)
    script = "init; start 127.0.0.1 %d %d; waitmsg begin 3000; wait 8000; end; exit" % (s.tcp, s.udp)
    assert s.run_client(script, timeout=30) == 0
    s.wait_peer()
    assert ("end", 1) in s.step_results()
    times = np.array([t for t, _ in s.received_seqs()])
    actions = [(f["action"], t) for t, _, f in s.events("ctl-sent")]
    partial = next(t for a, t in actions if a == "partial")
    last_request = [t for a, t in actions if a == "request"][-1]
    assert len(times) and times[0] < partial, "speech flowed before the stall"
    call = times[times < actions[-1][1]]
    stall = float(gaps(call).max())
    print(f"\nlongest uplink gap around the stalled partial control message: {stall * 1000:.0f} ms")
    assert stall < 0.2
    assert len([t for t in s.accepts() if t >= partial]) == 2, "both requests after the stall"
    assert max(s.accepts()) >= last_request


CONTROL_BODIES = (0, 4, 1000, 5000)


def test_control_messages_mid_call_keep_the_uplink_paced(session, tools):
    """Talk requests with bodies of several sizes, each whole and split in two sends, arrive
    during a call: each gets its one reply and the uplink keeps its pace around every one."""
    s = session
    messages = [(body, how) for body in CONTROL_BODIES for how in ("request", "split")]
    first, spacing = 4.0, 1.0   # the first message once capture runs (~2 s after Init)
    ctl = ["--ctl", "0.2:request"]
    for i, (body, how) in enumerate(messages):
        ctl += ["--ctl", f"{first + i * spacing:.2f}:{how}+body={body}"]
    last = first + (len(messages) - 1) * spacing
    s.start_peer(*ctl, duration=last + 1.5)
    script = "init; start 127.0.0.1 %d %d; waitmsg begin 3000; wait %d; end; exit" % (
        s.tcp, s.udp, int((last + 1.2) * 1000))
    assert s.run_client(script, timeout=60) == 0
    s.wait_peer()

    # When each message went out (a split one: its first half) and the replies that came back.
    sent = [t for t, _, f in s.events("ctl-sent") if f["action"] in ("request", "head")][1:]
    assert len(sent) == len(messages)
    accepts = s.accepts()
    times = np.array([t for t, _ in s.received_seqs()])
    assert len(times) and times[0] < sent[0], "speech flowed before the first message"
    starts, ends = times[:-1], times[1:]

    def longest_over(lo, hi):
        """The longest gap between uplink packets that overlaps the time from lo to hi."""
        overlap = (ends > lo) & (starts < hi)
        return float((ends - starts)[overlap].max()) if overlap.any() else float("inf")

    report = []
    for i, ((body, how), at) in enumerate(zip(messages, sent)):
        until = sent[i + 1] if i + 1 < len(sent) else at + spacing
        replies = [t for t in accepts if at <= t < until]
        # While the client read the message (until its reply), and up to the next message.
        reading = longest_over(at, replies[0]) if replies else float("inf")
        report.append((body, how, len(replies), reading, longest_over(at, until)))
    call = times[(times >= sent[0] - spacing / 2) & (times < sent[-1] + spacing)]
    longest = float(gaps(call).max())
    print("\nbody  sent     replies  longest uplink gap: while reading, up to the next message")
    for body, how, n, reading, around in report:
        print(f"{body:5d}  {how:7s}  {n:7d}  {reading * 1000:6.0f} ms  {around * 1000:6.0f} ms")
    print(f"longest uplink gap over the messages: {longest * 1000:.0f} ms "
          f"({len(call)} packets, {len(accepts)} replies)")
    assert [row[2] for row in report] == [1] * len(messages), report
    assert len(accepts) == len(messages) + 1
    # A read that waits for a header that is not coming holds the uplink for up to 3 s, or
    # until the peer's next message: speech must arrive between each reply and the next message.
    for i, at in enumerate(sent):
        until = sent[i + 1] if i + 1 < len(sent) else at + spacing
        reply = next(t for t in accepts if at <= t < until)
        assert ((times > reply) & (times < until)).any(), (messages[i], report)


def heard_tones(s):
    blocks = va.heard_blocks(va.tone_runs(va.tone_ids(va.read_wav(s.dir / "speaker.wav"))))
    print(f"\nblocks heard (tone, from ms, to ms) {blocks}")
    return [tone for tone, _, _ in blocks], blocks


def without_concealed(heard):
    """A concealed block continues the tone before it, and the analysis may read it a step or two
    off; no block the peer sent follows one so close (the tones step by 17 of 40)."""
    return [t for i, t in enumerate(heard) if i == 0 or abs(t - heard[i - 1]) > 3]


def test_loss_and_reordering_follow_the_ordering_rules(session, tools):
    """Tone blocks with a repeated packet, a swapped pair and a lost packet, with the classic
    switch: the blocks heard on the speaker come in the order the ordering store prescribes."""
    s = session
    s.record_speaker()
    # The request comes late enough for the recording to be running when the tones start.
    s.start_peer("--tones", "40", "--dup", "5", "--swap", "10", "--drop", "15",
                 "--ctl", "1.5:request", duration=7)
    script = "init; start 127.0.0.1 %d %d; wait 6000; destroy; exit" % (s.tcp, s.udp)
    assert s.run_client(script, playout="classic") == 0
    s.wait_peer()
    s.close()
    arrivals = [int(f["seq"]) for _, _, f in s.events("sent")]
    order = va.play_order(arrivals)
    expected = [va.tone_of_packet(q) for q in order]
    heard, blocks = heard_tones(s)
    print(f"play order {order}\nexpected tones {expected}\nheard tones    {heard}")
    # heard_blocks joins a tone heard twice in a row and drops a run one tone from its neighbour,
    # so the prescribed order must have neither; the tones step by 17 of 40.
    assert all(abs(a - b) > 1 for a, b in zip(expected, expected[1:]))
    # Playback may lose a block when the device runs dry, and the recording starts late, so the
    # heard blocks must be an in-order part of the prescribed order that covers most of it.
    assert va.is_subsequence(heard, expected) and len(heard) >= 0.75 * len(expected)
    tone = va.tone_of_packet
    # The repeat of 5 waits in front, so 11 (sent before 10) is not released when 10 fills its
    # gap; the lost 15 leaves 12..18 waiting until eight packets wait, and the flush plays the
    # repeated 5 again, then 11..18 without 15.
    assert order[9:13] == [10, 5, 11, 12] and 15 not in order
    assert tone(15) not in heard
    # The repeated 5 is heard twice. The in-order check above already puts the second one after
    # 10; where 10 itself was heard (a dry device may lose it), its block ends no later than the
    # second 5 starts (adjacent blocks share the boundary).
    fives = [b for b in blocks if b[0] == tone(5)]
    tens = [b for b in blocks if b[0] == tone(10)]
    assert len(fives) == 2 and (not tens or fives[1][1] >= tens[0][2]), (fives, tens)
    # Destroying the interface during the session hung up the control connection, like End.
    assert s.events("ctl-closed")


def test_playout_plays_in_order_once_and_conceals_the_lost(session, tools):
    """The same faults on the device-clock playout: every block heard once and in order (the
    repeat not again), the lost packet not heard (a concealed block continues its predecessor)."""
    s = session
    s.record_speaker()
    s.start_peer("--tones", "40", "--dup", "5", "--swap", "10", "--drop", "15",
                 "--ctl", "1.5:request", duration=7)
    assert s.run_client("init; start 127.0.0.1 %d %d; wait 6000; destroy; exit" % (s.tcp, s.udp)) == 0
    s.wait_peer()
    s.close()
    # A sent block plays 60 ms whole; a run under 45 ms is the tail of a concealed block (its
    # pitch drifts as concealment lengthens the delay, so it may read as any tone) or a block
    # the analysis split. Neither says anything about order.
    heard = without_concealed([t for t, start, end in heard_tones(s)[1] if end - start >= 45])
    tone = va.tone_of_packet
    # The swapped 10 comes a block late: it plays, or is concealed when the queue had no room
    # for that lateness yet; either way nothing plays out of order.
    expected = [tone(q) for q in range(1, 41) if q != 15]
    print(f"expected tones {expected}\nheard tones    {heard}")
    assert va.is_subsequence(heard, expected) and len(heard) >= 0.75 * len(expected)
    assert heard.count(tone(5)) == 1 and tone(15) not in heard


@pytest.mark.parametrize("playout", ["classic", None])
def test_second_call_plays_nothing_of_the_first(session, tools, playout):
    """A call whose last packets wait behind a lost one ends when its peer hangs up; the next call
    on the same engine, to another peer, starts afresh: nothing of the first plays in it."""
    s = session
    second = Session(s.dir / "second")
    try:
        s.record_speaker()
        s.start_peer("--tones", "20", "--drop", "15", "--ctl", "1.0:request", duration=3)
        second.start_peer("--tones", "20", "--ctl", "0.5:request", duration=4)
        script = ("init; start 127.0.0.1 %d %d; waitmsg end 8000; start 127.0.0.1 %d %d; wait 3500; "
                  "end; exit" % (s.tcp, s.udp, second.tcp, second.udp))
        assert s.run_client(script, playout=playout) == 0
        s.wait_peer()
        second.wait_peer()
    finally:
        second.close()
    s.close()
    heard = without_concealed(heard_tones(s)[0])
    tone = va.tone_of_packet
    # The ordering store never plays the packets waiting behind 15; the playout conceals 15.
    first = range(1, 15) if playout else [q for q in range(1, 21) if q != 15]
    expected = [tone(q) for q in first] + [tone(q) for q in range(1, 21)]
    print(f"expected tones {expected}\nheard tones    {heard}")
    # The device may take a second or two to start playing, so part of the first call is lost.
    assert va.is_subsequence(heard, expected) and len(heard) >= 0.5 * len(expected)


def test_datagrams_from_another_address_are_not_played(session, tools):
    """During a call tone packets reach the client's voice port from 127.0.0.2, then from the
    peer's address 127.0.0.1: only the second lot is heard."""
    s = session
    s.record_speaker()
    s.start_peer("--ctl", "0.5:request", duration=6)
    tones = s.dir / "tones.g729"
    subprocess.run([str(tools), "encode", str(tone_raw(s.dir)), str(tones)], check=True,
                   capture_output=True)
    coded = tones.read_bytes()
    stop = threading.Event()
    sender = threading.Thread(target=send_foreign_then_peer, args=(s, coded, stop), daemon=True)
    sender.start()
    try:
        assert s.run_client("init; start 127.0.0.1 %d %d; wait 5000; end; exit" % (s.tcp, s.udp)) == 0
    finally:
        stop.set()
        sender.join()
    s.wait_peer()
    s.close()
    heard, _ = heard_tones(s)
    print(f"heard tones {heard}")
    assert heard and set(heard) == {PEER_TONE}


FOREIGN_TONE, PEER_TONE = 3, 20


def tone_raw(workdir):
    """One second of each test tone j (400 + 60 j Hz): the foreign one, then the peer's."""
    t = np.arange(va.RATE) / va.RATE
    sig = np.concatenate([8000 * np.sin(2 * np.pi * (400 + 60 * j) * t) for j in (FOREIGN_TONE, PEER_TONE)])
    path = Path(workdir) / "tones.raw"
    path.write_bytes(sig.astype("<i2").tobytes())
    return path


def send_foreign_then_peer(s, coded, stop):
    """Once the client's hello has told its voice port: a second of packets from 127.0.0.2, then
    a second from the peer's address (another port), one every 60 ms."""
    deadline = time.time() + 20
    hello = []
    while not hello and time.time() < deadline and not stop.is_set():
        hello = s.events("hello")
        time.sleep(0.02)
    if not hello:
        return
    host, port = hello[0][2]["from"].rsplit(":", 1)
    time.sleep(1.0)  # the call has begun: the request went at 0.5 s
    blocks = [coded[i:i + 60] for i in range(0, len(coded) - 59, 60)]
    half = len(blocks) // 2
    for source, part, first in (("127.0.0.2", blocks[:half], 1), ("127.0.0.1", blocks[half:], 1)):
        with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as sock:
            sock.bind((source, 0))
            for i, block in enumerate(part):
                if stop.is_set():
                    return
                sock.sendto((first + i).to_bytes(4, "little") + bytes(12) + block, (host, int(port)))
                time.sleep(0.06)


def test_call_both_ways(session, tools, mic_speech):
    """24 s of real speech from the peer and synthetic speech into the microphone, both ways."""
    s = session
    s.feed_mic(mic_speech)
    s.record_speaker()
    s.start_peer("--send", str(SPEECH), "--send-seconds", "25", "--ctl", "0.2:request", duration=26)
    script = "init; start 127.0.0.1 %d %d; waitmsg begin 3000; wait 25500; end; exit" % (s.tcp, s.udp)
    assert s.run_client(script) == 0
    s.wait_peer()
    s.close()

    # Uplink: 76-byte packets numbered 1, 2, 3 ... at 16.7 per second.
    arrivals = s.received_seqs()
    assert all(f["len"] == "76" for _, _, f in s.events("voice")) and not s.events("udp-other")
    seqs = [q for _, q in arrivals]
    assert seqs == list(range(1, len(seqs) + 1))
    span = arrivals[-1][0] - arrivals[0][0]
    rate = (len(arrivals) - 1) / span
    # Uplink audio: the peer's decoding of what it received against the microphone feed.
    received = va.read_wav(s.dir / "received.wav")
    mic = va.read_raw(mic_speech)
    _, up_snr, up_corr = va.aligned_compare(received, mic, lag_range=(0, len(mic)))
    # What the codec alone allows: the microphone signal coded and decoded natively.
    coded = s.dir / "mic.g729"
    subprocess.run([str(tools), "encode", str(mic_speech), str(coded)], check=True, capture_output=True)
    roundtrip = va.g729_decode(tools, coded.read_bytes(), s.dir)
    _, _, codec_corr = va.aligned_compare(roundtrip, mic, lag_range=(-va.RATE, va.RATE))
    # Downlink audio: the speaker against our native decoding of the peer's packets.
    expected = va.g729_decode(tools, (s.dir / "sent.g729").read_bytes(), s.dir)
    heard = va.read_wav(s.dir / "speaker.wav")
    down = va.blockwise_compare(expected, heard, start_range=(-len(expected), len(heard)))
    figures = (f"uplink {len(seqs)} packets over {span:.1f} s = {rate:.2f}/s, decoded vs mic: "
               f"SNR {up_snr:.1f} dB, corr {up_corr:.3f} (codec alone: corr {codec_corr:.3f}); downlink speaker vs native decode: "
               f"{down['heard']}/{down['loud']} blocks heard, median block SNR {down['median_snr']:.1f} dB, "
               f"overall SNR {down['snr']:.1f} dB, corr {down['corr']:.3f}")
    print("\n" + figures)
    (s.dir / "figures.txt").write_text(figures + "\n")
    assert span >= 20 and abs(rate - 16.7) <= 0.5
    assert np.sqrt(np.mean(received ** 2)) > 200, "the received payloads decode to speech"
    assert up_corr > 0.5
    assert down["heard"] >= 0.8 * down["loud"] and down["median_snr"] > 20
