"""Mouth-to-ear delay of a voice call, measured from outside with tone bursts on one clock.

Everything is timed on the machine's monotonic clock: the feeder writes the microphone's audio in
real time and notes when each burst was written; the recorder reads a sink's monitor and maps each
sample to the time it was captured (the earliest time consistent with every read); the voice peer
logs when each packet left or arrived. The same feeder and recorder without the library give the
platform's share (Wine, PulseAudio, the pipes)."""
import argparse
import array
import fcntl
import os
import re
import signal
import socket
import subprocess
import sys
import termios
import threading
import time
from pathlib import Path

import numpy as np

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "tools" / "voicepeer"))
import peerlog  # noqa: E402
from procs import finish  # noqa: E402
from proctools import stop_process  # noqa: E402

STARTED = []  # every process the measurement starts; whatever is left runs is stopped at the end


def start(argv, **kw):
    proc = subprocess.Popen(argv, **kw)
    STARTED.append(proc)
    return proc


RATE = 8000
BLOCK = 480
BURST = 240           # 30 ms of 1 kHz
BURST_LEVEL = 16000
SPEECH_PEAK = 3000    # the speech around the downlink bursts stays well under the detector
THRESHOLD = 8000
PERIOD = 1.5          # seconds between bursts


def burst():
    n = np.arange(BURST)
    ramp = np.minimum(1.0, np.minimum(n, BURST - 1 - n) / 16.0)
    return BURST_LEVEL * ramp * np.sin(2 * np.pi * 1000 * n / RATE)


def onsets(sig, quiet=0.3):
    """Sample indices where the signal first rises above the threshold after `quiet` s below it."""
    loud = np.flatnonzero(np.abs(sig) > THRESHOLD)
    out, last = [], -10 * RATE
    for i in loud:
        if i - last > quiet * RATE:
            out.append(int(i))
        last = i
    return out


def match(expected, found, window=PERIOD - 0.1):
    """For each expected time, the delay to the first found time within the window, or None."""
    found = sorted(found)
    out = []
    for t in expected:
        d = next((f - t for f in found if 0 <= f - t < window), None)
        out.append(d)
    return out


class Recorder:
    """parec of a source, each sample mapped to its capture time."""

    def __init__(self, source):
        self.proc = start(
            ["parec", "--raw", "--latency-msec=10", "-d", source, "--rate=8000", "--channels=1",
             "--format=s16le"], stdout=subprocess.PIPE)
        self.chunks, self.offset = [], float("inf")
        self.count = 0
        self.thread = threading.Thread(target=self._read, daemon=True)
        self.thread.start()

    def _read(self):
        while True:
            data = self.proc.stdout.read1(640) if hasattr(self.proc.stdout, "read1") else \
                self.proc.stdout.read(640)
            if not data:
                return
            now = time.monotonic()
            self.chunks.append(data)
            self.count += len(data) // 2
            self.offset = min(self.offset, now - self.count / RATE)

    def stop(self):
        stop_process(self.proc)
        self.thread.join(2)
        raw = b"".join(self.chunks)
        return np.frombuffer(raw[:len(raw) // 2 * 2], dtype="<i2").astype(np.float64)

    def time_of(self, index):
        return self.offset + index / RATE


class PaWatch:
    """PulseAudio's own accounting of the playback streams (buffer and sink latency, ms), sampled
    every half second: the witness that a recorder's time line must agree with."""

    def __init__(self):
        self.samples, self.done = [], threading.Event()
        self.thread = threading.Thread(target=self._run, daemon=True)
        self.thread.start()

    def _run(self):
        while not self.done.wait(0.5):
            text = subprocess.run(["pactl", "list", "sink-inputs"], capture_output=True,
                                  text=True).stdout
            for block in text.split("\n\n"):
                app = re.search(r'application.name = "([^"]*)"', block)
                buf = re.search(r"Buffer Latency: (\d+) usec", block)
                sink = re.search(r"Sink Latency: (\d+) usec", block)
                if app and buf and sink:
                    self.samples.append((app.group(1), int(buf.group(1)) / 1000,
                                         int(sink.group(1)) / 1000))

    def stop(self, app):
        """Median buffer and sink latency of the streams whose application name holds app."""
        self.done.set()
        self.thread.join(5)
        mine = [(b, k) for a, b, k in self.samples if app in a]
        return tuple(float(np.median(x)) for x in zip(*mine)) if mine else None


def device_share(plat):
    """The playback device's own share: PulseAudio's accounting of bareplay's stream (the bare
    wave-out figure also holds the block waiting behind the playing one, and what Wine buffers
    for it), or the bare figure when PulseAudio showed nothing."""
    if plat["pa"]:
        return sum(plat["pa"])
    return plat["stats"]["median"] if plat["stats"] else 0.0


def pa_text(pa):
    return "no stream seen" if not pa else f"buffer {pa[0]:.1f} + sink {pa[1]:.1f} = {sum(pa):.1f} ms"


class Feeder:
    """Writes audio in real time, 20 ms at a time, into a program's standard input (pacat into the
    mic sink, or bareplay); notes the write time of every burst."""

    def __init__(self, argv, signal_, bursts, chunk=160, ready=None):
        self.proc = start(argv, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                          stderr=subprocess.STDOUT)
        self.name = next((Path(a).name for a in argv if a.endswith(".exe")), Path(argv[0]).name)
        # Audio written before the program takes it would wait in the pipe for the whole run.
        is_ready = threading.Event()
        self.lines = []

        def drain():
            for line in self.proc.stdout:
                self.lines.append(line.decode(errors="replace").strip())
                if ready and ready in self.lines[-1]:
                    is_ready.set()
        threading.Thread(target=drain, daemon=True).start()
        if ready and not is_ready.wait(60):
            stop_process(self.proc)
            raise RuntimeError("%s did not say %r within 60 s" % (self.name, ready))
        self.signal, self.bursts, self.chunk = signal_, set(bursts), chunk
        self.times = {}
        self.backlog = []  # ms of audio waiting in the pipe after each write
        self.stopped = False
        self.thread = threading.Thread(target=self._write, daemon=True)
        self.thread.start()

    def _write(self):
        start = time.monotonic()
        pcm = np.clip(self.signal, -32768, 32767).astype("<i2").tobytes()
        step = self.chunk * 2
        for k in range(0, len(pcm), step):
            if self.stopped:
                break
            due = start + k / 2 / RATE
            wait = due - time.monotonic()
            if wait > 0:
                time.sleep(wait)
            now = time.monotonic()
            for b in self.bursts:
                if k // 2 <= b < k // 2 + self.chunk:
                    self.times[b] = now + (b - k // 2) / RATE
            try:
                self.proc.stdin.write(pcm[k:k + step])
                self.proc.stdin.flush()
            except BrokenPipeError:
                break
            self.backlog.append(self._waiting_ms())
        try:
            self.proc.stdin.close()
        except BrokenPipeError:
            pass

    def _waiting_ms(self):
        count = array.array("i", [0])
        try:
            fcntl.ioctl(self.proc.stdin.fileno(), termios.FIONREAD, count)
        except OSError:
            return 0.0
        return count[0] / 2 / RATE * 1000

    def pipe_ms(self):
        """Median wait in the pipe over the second half of the run (the standing backlog)."""
        half = self.backlog[len(self.backlog) // 2:]
        return float(np.median(half)) if half else 0.0

    def stop(self, wait=True):
        """wait: until all audio is written (the signal's length and 30 s more at most)."""
        if not wait:
            self.stopped = True
        self.thread.join(len(self.signal) / RATE + 30 if wait else 30)
        if self.thread.is_alive():
            stop_process(self.proc)  # the program stopped reading: a write is stuck
            raise RuntimeError("%s stopped taking audio" % self.name)
        finish(self.proc, 60, self.name)


def mic_feeder(sig, bursts):
    return Feeder(["pacat", "-v", "-p", "--raw", "--latency-msec=30", "-d", "mic", "--rate=8000",
                   "--channels=1", "--format=s16le"], sig, bursts, ready="Stream successfully created")


def with_bursts(base, seconds, first=1.0):
    """base (looped to `seconds`) with a burst every PERIOD s from `first`, each at a block start;
    returns the signal and the burst sample indices."""
    n = int(seconds * RATE)
    sig = np.resize(base, n).astype(np.float64) if len(base) else np.zeros(n)
    starts = [int(round(t * RATE / BLOCK)) * BLOCK for t in np.arange(first, seconds - 0.5, PERIOD)]
    for s in starts:
        sig[s:s + BURST] = burst()
    return sig, starts


def speech(path):
    raw = np.frombuffer(Path(path).read_bytes(), dtype="<i2")
    raw = raw.astype(np.float64)
    return raw * (SPEECH_PEAK / max(1.0, np.abs(raw).max()))


def stats(delays):
    d = np.array([x for x in delays if x is not None]) * 1000
    if not len(d):
        return None
    return {"n": len(d), "median": float(np.median(d)), "p95": float(np.percentile(d, 95)),
            "max": float(d.max())}


def fmt(s):
    return "no bursts found" if not s else \
        f"median {s['median']:6.1f}  p95 {s['p95']:6.1f}  max {s['max']:6.1f} ms  ({s['n']} bursts)"


def platform(args, work):
    """bareplay (the wave-out device alone) fed like the library feeds it, recorded from the
    speaker sink. The uplink's reference needs no such run: its bursts are timed where the
    capture device takes them, in the mic sink's own recording. bareplay lets the device reach
    full speed before the clock starts: blocks written to a device still starting stand in its
    queue for the whole run, a wait the feeding makes and PulseAudio never sees."""
    secs = args.platform_seconds
    down_sig, down_b = with_bursts(speech(args.speech), secs)
    rec_spk = Recorder("speaker.monitor")
    pa = PaWatch()
    time.sleep(0.5)
    play = Feeder([args.wine, str(args.bin / "bareplay.exe")], down_sig, down_b, chunk=BLOCK,
                  ready="ready")
    play.stop()
    time.sleep(0.5)
    spk = rec_spk.stop()
    down = match([play.times[b] for b in down_b if b in play.times],
                 [rec_spk.time_of(i) for i in onsets(spk)])
    held = [int(l.split()[1]) for l in play.lines if l.startswith("held ")]
    return {"stats": stats(down), "pa": pa.stop("bareplay"),
            "held": float(np.median(held)) if held else None}


def read_events(path):
    """The peer's clock at the accept, and when each packet left it and arrived there, on the
    machine's monotonic clock."""
    clock, sent, voice = 0.0, {}, []
    for t, name, f in peerlog.events(path):
        if name == "clock":
            clock = float(f["monotonic"])
        elif name == "sent":
            sent[int(f["seq"])] = t
        elif name == "voice":
            voice.append(t)
    return clock, {k: clock + v for k, v in sent.items()}, [clock + v for v in voice]


def call(args, work, name, seconds, slot_ms=60.0, stall=0.0, peer_args=(), playout=""):
    """One call; returns per-burst (time, delay) for both directions and the library's log.
    peer_args: the peer's network faults; playout: the library's VOCALIS_PLAYOUT."""
    out = work / re.sub(r"[^\w.-]+", "_", f"{name} {playout}")
    out.mkdir(parents=True)
    tcp, udp = peerlog.free_port(), peerlog.free_port(socket.SOCK_DGRAM)
    down_sig, down_b = with_bursts(speech(args.speech), seconds + 2)
    (out / "peer-send.raw").write_bytes(np.clip(down_sig, -32768, 32767).astype("<i2").tobytes())
    up_sig, up_b = with_bursts([], seconds + 4)
    peer = start(
        [str(args.native / "voicepeer"), "--tcp", str(tcp), "--udp", str(udp), "--out", str(out),
         "--duration", str(seconds + 4), "--send", str(out / "peer-send.raw"),
         "--slot-ms", str(slot_ms), "--ctl", "0.2:request", *peer_args])
    events = out / "events.log"
    if not peerlog.wait_logged(events, "listening", 10, peer, poll=0.05):
        raise RuntimeError("the voice peer did not listen within 10 s")
    rec = Recorder("speaker.monitor")
    rec_mic = Recorder("mic.monitor")
    pa = PaWatch()
    feed = mic_feeder(up_sig, up_b)
    winlog = "Z:" + str(out / "client.log").replace("/", "\\")
    client = start(
        [args.wine, str(args.bin / "helpclient.exe"), winlog,
         f"init; start 127.0.0.1 {tcp} {udp}; waitmsg begin 5000; wait {int(seconds * 1000)}; "
         "end; exit"], env=dict(os.environ, VOCALIS_PLAYOUT=playout))
    if stall:
        # The sound server stops taking audio for a while just as the peer's speech starts.
        peerlog.wait_logged(events, "voice-start", 4, peer, poll=0.01)
        pulse = int((Path(os.environ["ST_RUN"]) / "pulse.pid").read_text())
        os.kill(pulse, signal.SIGSTOP)
        time.sleep(stall)
        os.kill(pulse, signal.SIGCONT)
    finish(client, seconds + 60, "helpclient")
    finish(peer, 60, "voicepeer")
    feed.stop(wait=False)
    time.sleep(0.3)
    heard, mic = rec.stop(), rec_mic.stop()
    clock, sent, arrivals = read_events(events)
    # Downlink: packet of the burst leaves the peer -> burst recorded from the speaker.
    d_exp = [(s, sent[s // BLOCK + 1]) for s in down_b if s // BLOCK + 1 in sent]
    d_del = match([t for _, t in d_exp], [rec.time_of(i) for i in onsets(heard)])
    down = [(t - clock, d) for (_, t), d in zip(d_exp, d_del) if d is not None]
    # Uplink: burst in the mic sink (its monitor's recording) -> the packet carrying it arrives at
    # the peer. The feeder's own delay into the sink is the platform's share, measured alongside.
    decoded = np.frombuffer((out / "received.wav").read_bytes()[44:], dtype="<i2").astype(float)
    found = [arrivals[i // BLOCK] for i in onsets(decoded) if i // BLOCK < len(arrivals)]
    in_mic = [rec_mic.time_of(i) for i in onsets(mic)]
    fed = [feed.times[b] for b in up_b if b in feed.times]
    up_plat = stats(match(fed, in_mic))
    up = [(t - clock, d) for t, d in zip(in_mic, match(in_mic, found)) if d is not None]
    log = (out / "client.log").read_text(encoding="gbk", errors="replace").splitlines()
    drops = [l for l in log if "block dropped" in l]
    # The peer sends 2 s beyond the call, which the client has ended by then.
    sending = (min(sent.values()), min(max(sent.values()), clock + seconds)) if sent else (0, 0)
    # Each burst's delay, on the call's clock (seconds from the peer's accept), for a closer look.
    (out / "delays.txt").write_text("".join(f"down {t:.3f} {d * 1000:.1f}\n" for t, d in down) +
                                    "".join(f"up {t:.3f} {d * 1000:.1f}\n" for t, d in up))
    return {"name": name, "playout": playout or "device clock", "up": up, "down": down,
            "drops": drops, "up_plat": up_plat, "pipe_ms": feed.pipe_ms(),
            "pa": pa.stop("helpclient"), "counters": playout_counters(log),
            "silence": silences(heard, rec, *sending),
            "up_stats": stats([d for _, d in up]), "down_stats": stats([d for _, d in down])}


def playout_counters(log):
    """The library's counters of the call, from the line its playout logs when the call ends."""
    for line in log:
        m = re.search(r"call ended: (.*)", line)
        if m:
            counters = dict((k, int(v)) for k, v in re.findall(r"([a-z-]+) (\d+)", m.group(1)))
            dry = re.search(r"(\d+) ms without audio", m.group(1))
            counters["dry-ms"] = int(dry.group(1)) if dry else 0
            for key, pattern in (("cut-ms", r"\((\d+) ms cut\)"),
                                 ("cushion-ms", r"cushion at arrival median (\d+) ms")):
                found = re.search(pattern, m.group(1))
                if found:
                    counters[key] = int(found.group(1))
            return counters
    return None


def silences(heard, rec, first, last, settle=3.0):
    """While the peer was sending, from the first audio on: the time the speaker sink got no audio
    at all (exact zeros, runs of 10 ms or more) as a share of that time, and the longest such run
    in ms, both without the first `settle` seconds (the sound server settling as the device starts
    playing: a pause of 1-2.5 s on this rig, whichever store feeds it), which are given apart."""
    lo = max(0, int((first - rec.offset) * RATE))
    hi = min(len(heard), int((last + 0.06 - rec.offset) * RATE))
    sounding = np.flatnonzero(heard[lo:hi] != 0)
    start = lo + (int(sounding[0]) if len(sounding) else hi - lo)
    part = heard[start:hi] == 0
    edges = np.flatnonzero(np.diff(np.concatenate(([0], part.astype(np.int8), [0]))))
    begins, runs = edges[::2], edges[1::2] - edges[::2]
    keep = runs >= RATE // 100
    begins, runs = begins[keep], runs[keep]
    early = begins < settle * RATE
    later = max(1, hi - start - int(settle * RATE))
    return {"share": float(runs[~early].sum()) / later,
            "longest": float(runs[~early].max(initial=0)) / RATE * 1000,
            "settling": float(runs[early].sum()) / RATE * 1000}


def report(run, plat):
    print(f"\n== {run['name']} ({run['playout']} playout)")
    up, up_plat = run["up_stats"], run["up_plat"]
    print(f"  uplink, burst in the mic sink -> its packet at the peer: {fmt(up)}")
    print("          (Wine's capture, the library's 60 ms block, coding and sending; the library's"
          " own part is the block: 0-60 ms, 30 on average, as the burst falls in it)")
    print(f"          the feeding pipe into the mic sink, not part of the call: {fmt(up_plat)};"
          f" of it {run['pipe_ms']:.0f} ms stand in the pipe that pacat drains only at the"
          " sink's pace")
    down, base = run["down_stats"], device_share(plat)
    print(f"  downlink, packet leaves the peer -> speaker: {fmt(down)}")
    if down:
        print(f"          device's share {base:.1f} ms; library's share median {down['median'] - base:.1f},"
              f" p95 {down['p95'] - base:.1f}, max {down['max'] - base:.1f} ms")
    print(f"          PulseAudio's accounting of the library's stream: {pa_text(run['pa'])}")
    c, sil = run["counters"], run["silence"]
    if c and "cushion-ms" in c:
        print(f"          the library's own account: a packet found the device {c['cushion-ms']} ms"
              " from needing it (median of the call)")
    if c:
        print("  blocks: " + ", ".join(f"{k} {v}" for k, v in c.items()))
    print(f"  speaker without audio while the peer sent, after the first 3 s:"
          f" {100 * sil['share']:.2f}% of the time, longest {sil['longest']:.0f} ms"
          f" (in the first 3 s: {sil['settling']:.0f} ms)")
    if run["down"]:
        # The playback queue seen through the delay: blocks above the call's best tenth.
        floor = np.percentile([d for _, d in run["down"]], 10)
        print(f"  downlink over the call, per 10 s: median delay ms [blocks queued above the call's"
              f" best, {floor * 1000:.0f} ms]")
        line = []
        for start in np.arange(0, run["down"][-1][0] + 10, 10):
            part = [d for t, d in run["down"] if start <= t < start + 10]
            if part:
                med = float(np.median(part))
                line.append(f"{start:.0f}s: {med * 1000:.0f} [{(med - floor) / 0.060:.1f}]")
        for k in range(0, len(line), 6):
            print("    " + "   ".join(line[k:k + 6]))
    print(f"  backlog drops logged: {len(run['drops'])}")
    for l in run["drops"][:12]:
        print("    " + l)
    if len(run["drops"]) > 12:
        print(f"    ... ({len(run['drops']) - 12} more)")


def summary(runs, plat):
    """One line per network run: the two playouts side by side."""
    base = device_share(plat)
    print("\n== network runs: downlink packet -> speaker (ms), library share = median - the device's"
          f" {base:.1f} ms")
    print("  (own: the library's own account of its share, the median cushion at each arrival;"
          " trim+cut: blocks left out + ms cut out of blocks)")
    print("  (dry%, gap ms: the speaker without audio after the call's first 3 s, its share and"
          " longest run; start: ms without audio in the first 3 s)")
    print(f"  {'run':34} {'playout':12} {'median':>7} {'p95':>7} {'max':>7} {'share':>6} {'own':>4}"
          f" {'played':>6} {'conc':>5} {'late':>5} {'trim+cut':>9} {'dry%':>6} {'gap ms':>6}"
          f" {'start':>6}")
    for r in runs:
        d, c = r["down_stats"] or {"median": 0, "p95": 0, "max": 0}, r["counters"] or {}
        trim = f"{c['trimmed']}+{c.get('cut-ms', 0)}ms" if "trimmed" in c else "-"
        print(f"  {r['name']:34} {r['playout']:12} {d['median']:7.1f} {d['p95']:7.1f} {d['max']:7.1f}"
              f" {d['median'] - base:6.1f} {c.get('cushion-ms', '-'):>4} {c.get('played', '-'):>6} {c.get('concealed', '-'):>5}"
              f" {c.get('late-dropped', '-'):>5} {trim:>9}"
              f" {100 * r['silence']['share']:6.2f} {r['silence']['longest']:6.0f}"
              f" {r['silence']['settling']:6.0f}")


def plot(runs, png):
    import matplotlib
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt
    fig, axes = plt.subplots(len(runs), 1, figsize=(9, 3.2 * len(runs)), squeeze=False)
    for ax, run in zip(axes[:, 0], runs):
        for key, label in (("up", "uplink (mic sink to packet at the peer)"),
                           ("down", "downlink (packet leaves the peer to speaker)")):
            if run[key]:
                t, d = zip(*run[key])
                ax.plot(t, np.array(d) * 1000, ".-", label=label, markersize=4, linewidth=0.8)
        ax.axhline(150, color="grey", linestyle=":", linewidth=0.8, label="150 ms")
        ax.set_title(f"{run['name']} ({run['playout']} playout)")
        ax.set_xlabel("call time (s)")
        ax.set_ylabel("delay (ms)")
        ax.set_ylim(bottom=0)
        ax.legend(loc="best", fontsize=8)
    fig.tight_layout()
    Path(png).parent.mkdir(parents=True, exist_ok=True)
    fig.savefig(png, dpi=90)
    print(f"\nplot: {png}")


def plot_network(runs, plat, png):
    """Per network condition: downlink delay of both playouts over the call, and the queue behind
    the device seen through it (blocks above the platform's own delay)."""
    import matplotlib
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt
    names = list(dict.fromkeys(r["name"] for r in runs))
    base = device_share(plat) / 1000
    fig, axes = plt.subplots(len(names), 1, figsize=(9, 3.2 * len(names)), squeeze=False)
    for ax, name in zip(axes[:, 0], names):
        depth = ax.twinx()
        for r in (r for r in runs if r["name"] == name and r["down"]):
            t, d = zip(*r["down"])
            ax.plot(t, np.array(d) * 1000, ".-", markersize=4, linewidth=0.8,
                    label=f"{r['playout']} playout: delay")
            depth.step(t, np.maximum(0, np.array(d) - base) / 0.060, where="post", linewidth=0.6,
                       alpha=0.5, label=f"{r['playout']}: blocks ahead of the device")
        ax.axhline(150, color="grey", linestyle=":", linewidth=0.8)
        ax.set_title(name)
        ax.set_xlabel("call time (s)")
        ax.set_ylabel("packet -> speaker (ms)")
        depth.set_ylabel("queue (blocks)")
        ax.set_ylim(bottom=0)
        depth.set_ylim(bottom=0)
        lines = ax.get_legend_handles_labels()
        more = depth.get_legend_handles_labels()
        ax.legend(lines[0] + more[0], lines[1] + more[1], loc="upper right", fontsize=7)
    fig.tight_layout()
    fig.savefig(png, dpi=90)
    print(f"network plot: {png}")


# The network runs: the peer's faults, each with the device-clock playout and the classic store.
NETWORK = (("3% loss + 40 ms jitter", ["--tx-faults", "0.03,0,0", "--jitter", "40"]),
           ("5% loss in bursts of 2-3", ["--tx-bursts", "0.05,2,3"]),
           ("peer clock 1% fast", [], 59.4),
           ("peer clock 1% slow", [], 60.6))


def network_runs(args):
    runs = []
    for name, peer_args, *slot in NETWORK:
        for playout in ("", "classic"):
            runs.append(call(args, args.work, f"{name}, {args.network_seconds:.0f} s",
                             args.network_seconds, slot_ms=slot[0] if slot else 60.0,
                             peer_args=["--seed", "19", *peer_args], playout=playout))
    return runs


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--bin", type=Path, required=True)
    ap.add_argument("--native", type=Path, required=True)
    ap.add_argument("--wine", required=True)
    ap.add_argument("--speech", required=True, help="raw 8 kHz 16-bit mono speech (scripts/lib/speech)")
    ap.add_argument("--work", type=Path, required=True)
    ap.add_argument("--seconds", type=float, default=30)
    ap.add_argument("--stall", type=float, default=0.5)
    ap.add_argument("--skew-seconds", type=float, default=0)
    ap.add_argument("--network-seconds", type=float, default=0)
    ap.add_argument("--warm-repeats", type=int, default=1,
                    help="warm calls with the device-clock playout (the first is plotted)")
    ap.add_argument("--platform-seconds", type=float, default=15)
    ap.add_argument("--png", required=True)
    ap.add_argument("--network-png")
    args = ap.parse_args()
    print(f"load: {open('/proc/loadavg').read().split()[:3]}, binaries {args.bin} under {args.wine}")
    plat = platform(args, args.work)
    print(f"platform downlink (bare wave-out, block written -> speaker sink) {fmt(plat['stats'])};"
          f" the device held {plat['held']} blocks; PulseAudio: {pa_text(plat['pa'])}, taken as"
          " the device's share")
    runs = []
    repeats = []
    if args.seconds > 0:
        runs.append(call(args, args.work, f"warm call, {args.seconds:.0f} s", args.seconds))
        repeats = [call(args, args.work, f"warm call {k + 2}, {args.seconds:.0f} s", args.seconds)
                   for k in range(args.warm_repeats - 1)]
        runs.append(call(args, args.work, f"warm call, {args.seconds:.0f} s", args.seconds,
                         playout="classic"))
    if args.stall > 0:
        runs.append(call(args, args.work, f"sound server stalled {args.stall:.1f} s as the call "
                         f"starts, {args.seconds:.0f} s", args.seconds, stall=args.stall))
    if args.skew_seconds > 0:
        runs.append(call(args, args.work, f"peer clock 0.1% fast (59.94 ms), "
                         f"{args.skew_seconds:.0f} s", args.skew_seconds, slot_ms=59.94))
    net = network_runs(args) if args.network_seconds > 0 else []
    for run in runs + repeats + net:
        report(run, plat)
    if repeats:
        warm = [runs[0]] + repeats
        meds = [r["down_stats"]["median"] for r in warm if r["down_stats"]]
        own = [r["counters"].get("cushion-ms") for r in warm if r["counters"]]
        print(f"\n== {len(warm)} warm calls, device clock: downlink medians "
              + ", ".join(f"{m:.1f}" for m in meds) + f" ms (median {np.median(meds):.1f});"
              f" the library's own account, median cushion: {own} ms;"
              f" device's share {device_share(plat):.1f} ms")
    if net:
        summary(net, plat)
    print(f"load after: {open('/proc/loadavg').read().split()[:3]}")
    if runs:
        plot(runs, args.png)
    if net:
        plot_network(net, plat, args.network_png or str(Path(args.png).with_name("latency-network.png")))


if __name__ == "__main__":
    try:
        sys.exit(main())
    finally:
        for proc in STARTED:
            stop_process(proc)
