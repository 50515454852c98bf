"""Soak run of vocalis.dll under Wine (run by scripts/soak inside scripts/with-services).

Two phases, each one help-client harness process sampling itself every few seconds:
  call      one long call against the voice peer, 5% loss, reordering and duplicates both ways;
  sessions  many sessions in one process: Init, Start, 5 s of speech, End; every tenth one is
            ended by the peer instead (it closes the control connection).
The microphone (PulseAudio null sink) is fed looped speech throughout. analysis.py reads the logs.
"""
import argparse
import os
import socket
import subprocess
import sys
import threading
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(ROOT / "scripts" / "lib"))
sys.path.insert(0, str(ROOT / "tools" / "voicepeer"))
import analysis  # noqa: E402
from peerlog import free_port, wait_logged  # noqa: E402
from proctools import stop_process, windows_path  # noqa: E402

FAULTS = "0.05,0.05,0.05"  # loss, reorder, duplicate fractions, each direction
MODES = {  # call seconds, sessions, seconds between samples, warm-up (call seconds, sessions)
    "short": dict(call=30, sessions=10, every=2, warm_call=8, warm_sessions=2),
    "full": dict(call=1800, sessions=200, every=5, warm_call=120, warm_sessions=20),
    # the full run's 30-minute call alone, for a rerun of the call when its sessions are known
    "call": dict(call=1800, sessions=0, every=5, warm_call=120, warm_sessions=0),
}
SESSION_SPEECH_MS = 5000


class Runner:
    def __init__(self, out, arch, build, speech):
        self.out = Path(out)
        self.speech = Path(speech)
        tree, self.wine = ("win32", "/usr/lib/wine/wine") if arch == "i686" else ("win64", "/usr/lib/wine/wine64")
        self.bin = Path(build) / tree / "bin"
        self.peer_bin = Path(build) / "native" / "bin" / "voicepeer"
        self.tcp = free_port(socket.SOCK_STREAM)
        self.udp = free_port(socket.SOCK_DGRAM)
        self.procs = []

    def feed_mic(self):
        """pacat plays looped speech into the "mic" sink for as long as the run lasts."""
        proc = subprocess.Popen(["pacat", "-p", "-d", "mic", "--raw", "--rate=8000", "--channels=1",
                                 "--format=s16le"], stdin=subprocess.PIPE)
        self.procs.append(proc)
        speech = self.speech.read_bytes()

        def feed():
            try:
                while proc.poll() is None:
                    proc.stdin.write(speech)
            except (BrokenPipeError, ValueError, OSError):
                pass
        threading.Thread(target=feed, daemon=True).start()

    def watch_load(self):
        """The machine's load average every 10 s into loadavg.log: pacing depends on it."""
        log = open(self.out / "loadavg.log", "w")

        def watch():
            while True:
                log.write("%.0f %s" % (time.time(), Path("/proc/loadavg").read_text()))
                log.flush()
                time.sleep(10)
        threading.Thread(target=watch, daemon=True).start()

    def start_peer(self, out, seed, extra, duration):
        out.mkdir(parents=True, exist_ok=True)
        cmd = [str(self.peer_bin), "--tcp", str(self.tcp), "--udp", str(self.udp), "--out", str(out),
               "--send", str(self.speech), "--loop", str(duration + 10), "--duration", str(duration),
               "--wait-accept", "120", "--end-on-close", "1", "--seed", str(seed),
               "--tx-faults", FAULTS, "--rx-faults", FAULTS, *extra]
        proc = subprocess.Popen(cmd, stderr=open(out / "peer.err", "w"))
        self.procs.append(proc)  # stopped with the rest when the run is cut short
        if wait_logged(out / "events.log", "listening", 20, proc):
            return proc
        stop_process(proc)
        raise RuntimeError("voice peer did not start: " + (out / "peer.err").read_text())

    def start_client(self, folder, script):
        (folder / "script.txt").write_text(script)
        env = dict(os.environ, WINEDEBUG=os.environ.get("WINEDEBUG", "-all"))
        args = [self.wine, str(self.bin / "helpclient.exe"), windows_path(folder / "client.log"),
                windows_path(folder / "script.txt")]
        proc = subprocess.Popen(args, env=env, stdout=subprocess.DEVNULL,
                                stderr=open(folder / "client.err", "w"))
        self.procs.append(proc)
        return proc

    def session_steps(self, hang_up_by_peer):
        start = "init; start 127.0.0.1 %d %d; waitmsg begin 15000" % (self.tcp, self.udp)
        talk = "waitmsg end 15000" if hang_up_by_peer else "wait %d" % SESSION_SPEECH_MS
        return "%s; %s; end; sample 0" % (start, talk)

    def run_call(self, seconds, every):
        folder = self.out / "call"
        peer = self.start_peer(folder, 1, [], seconds + 30)
        script = "sample %d; %s; exit" % (every * 1000, self.session_steps(False).replace(
            "wait %d" % SESSION_SPEECH_MS, "wait %d" % (seconds * 1000)))
        client = self.start_client(folder, script)
        client.wait(timeout=seconds + 120)
        peer.wait(timeout=60)

    def run_sessions(self, count, every):
        folder = self.out / "sessions"
        folder.mkdir(parents=True, exist_ok=True)
        steps = ["sample %d" % (every * 1000)]
        for i in range(1, count + 1):
            steps.append("waitfor %s 120000" % windows_path(folder / ("ready%03d" % i)))
            steps.append(self.session_steps(i % 10 == 0))
        client = self.start_client(folder, "; ".join(steps + ["exit"]))
        for i in range(1, count + 1):
            # The peer that ends its session closes the control connection 5.2 s after the accept:
            # its request goes out at 0.2 s, so the client talks for about 5 s, as the others do.
            extra = ["--ctl", "0.2:request"] + (["--ctl", "5.2:close"] if i % 10 == 0 else [])
            peer = self.start_peer(folder / ("s%03d" % i), 100 + i, extra, 30)
            (folder / ("ready%03d" % i)).touch()
            try:
                peer.wait(timeout=60)
            except subprocess.TimeoutExpired:
                stop_process(peer)
            if client.poll() is not None:
                break
        client.wait(timeout=60)

    def stop(self):
        for proc in self.procs:
            stop_process(proc)



def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--mode", choices=sorted(MODES), default="full")
    ap.add_argument("--out", required=True)
    ap.add_argument("--arch", default="i686")
    ap.add_argument("--build", default=str(ROOT / "build"))
    ap.add_argument("--speech", help="raw 8 kHz 16-bit mono speech to play (scripts/lib/speech)")
    ap.add_argument("--report-only", action="store_true", help="analyse the logs already in --out")
    a = ap.parse_args()
    m = MODES[a.mode]
    if a.report_only:
        sys.exit(0 if analysis.report(Path(a.out), a.mode, a.arch, m, 0) else 1)
    if not a.speech:
        ap.error("--speech is needed for a run")
    runner = Runner(a.out, a.arch, a.build, a.speech)
    started = time.time()
    try:
        runner.watch_load()
        runner.feed_mic()
        print("soak %s: call of %d s ..." % (a.mode, m["call"]), flush=True)
        runner.run_call(m["call"], m["every"])
        if m["sessions"]:
            print("soak %s: %d sessions ..." % (a.mode, m["sessions"]), flush=True)
            runner.run_sessions(m["sessions"], m["every"])
    except (RuntimeError, subprocess.TimeoutExpired) as e:
        print("soak: run stopped: %s" % e, flush=True)
    finally:
        runner.stop()
    ok = analysis.report(Path(a.out), a.mode, a.arch, m, time.time() - started)
    sys.exit(0 if ok else 1)


if __name__ == "__main__":
    main()
