"""Wave capture and playback on the real devices under Wine: a tone fed into the "mic" null sink
comes back through CWaveIn at the right level and frequency, without a lost or repeated sample; a
known signal played through CWaveOut is recorded from the "speaker" monitor at the right level
and in order. The measured figures (with the rate at which blocks arrived) are printed (run
pytest with -s to see them)."""
import os
import signal
import subprocess
import time

import numpy as np
import pytest

from conftest import WIN_BIN, wine_popen
from proctools import stop_process
from voice_audio import read_raw

RATE = 8000
BLOCK_BYTES = 960
CAPTURE_BLOCKS = 25   # 1.5 s of the tone
PCM_ARGS = ["--rate=8000", "--channels=1", "--format=s16le"]


@pytest.fixture
def pulse(services):
    if not os.environ.get("PULSE_SERVER"):
        pytest.skip("needs the PulseAudio of scripts/with-services")
    if not (WIN_BIN / "audio_probe.exe").exists():
        pytest.skip("audio_probe.exe not built")


def write_pcm(path, samples):
    path.write_bytes(np.round(samples).astype("<i2").tobytes())


def run_probe(*args, timeout=60):
    # The log lines are code page 936 text.
    p = wine_popen("audio_probe.exe", args, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                   encoding="gbk", errors="replace")
    try:
        out, _ = p.communicate(timeout=timeout)
    finally:
        if p.poll() is None:
            p.kill()
            p.wait()
    assert p.returncode == 0, out
    logs = [l[5:] for l in out.splitlines() if l.startswith("log: ")]
    values = dict(l.split(" ", 1) for l in out.splitlines() if not l.startswith("log: ") and " " in l)
    return logs, values


def recorded(path):
    """The samples a recorder has written into path so far."""
    data = path.read_bytes() if path.exists() else b""
    return np.frombuffer(data[:len(data) // 2 * 2], dtype="<i2").astype(np.float64)


def first_loud(x, level=1000):
    """Index of the first sample louder than level, or None."""
    loud = np.flatnonzero(np.abs(x) > level)
    return int(loud[0]) if loud.size else None


def wait_recorded(path, done, what, timeout=20):
    """Polls the recording in path until done(samples) holds."""
    end = time.monotonic() + timeout
    while not done(recorded(path)):
        if time.monotonic() >= end:
            pytest.fail(f"{what}: not in {path} after {timeout} s")
        time.sleep(0.02)


def wait_heard_at(source, path):
    """Records source until a sound shows in it: then what is played into its sink gets there."""
    with open(path, "wb") as out:
        recorder = subprocess.Popen(["parec", "-d", source, "--raw", *PCM_ARGS, "--latency-msec=20"],
                                    stdout=out)
        try:
            wait_recorded(path, lambda x: first_loud(x) is not None, f"sound at {source}")
        finally:
            stop_process(recorder)


def sine_fit(x, freq, t):
    """Least-squares sine of a given frequency: (amplitude, phase, residual)."""
    basis = np.column_stack([np.cos(2 * np.pi * freq * t), np.sin(2 * np.pi * freq * t), np.ones(len(t))])
    coef = np.linalg.lstsq(basis, x, rcond=None)[0]
    return np.hypot(coef[0], coef[1]), np.arctan2(-coef[1], coef[0]), x - basis @ coef


def tone_figures(x):
    """Frequency, amplitude, the RMS that one steady sine leaves unexplained (relative to the
    tone) and the largest phase jump between blocks (radians; a lost or repeated sample at
    440 Hz is 0.35)."""
    n = len(x)
    t = np.arange(n) / RATE
    spectrum = np.abs(np.fft.rfft(x * np.hanning(n)))
    k = int(np.argmax(spectrum[1:])) + 1
    a, b, c = np.log(spectrum[k - 1:k + 2])
    coarse = (k + 0.5 * (a - c) / (a - 2 * b + c)) * RATE / n
    # Refine the frequency from the phase of each block.
    starts = np.arange(0, n - 479, 480)
    phases = np.unwrap([sine_fit(x[i:i + 480], coarse, t[i:i + 480])[1] for i in starts])
    slope, offset = np.polyfit(t[starts], phases, 1)
    jump = float(np.max(np.abs(phases - (slope * t[starts] + offset))))
    freq = coarse + slope / (2 * np.pi)
    amplitude, _, residual = sine_fit(x, freq, t)
    return freq, amplitude, np.sqrt(np.mean(residual ** 2)) / (amplitude / np.sqrt(2)), jump


def signal_attempts(measure, attempts=3):
    """Runs a real-time measurement until its signal is clean, at most `attempts` times.
    measure() returns (figures text, signal clean). On this shared 2-core machine the sound
    server can underrun under load and insert silence; a fault of ours repeats every time."""
    for attempt in range(1, attempts + 1):
        text, clean = measure()
        print(f"\n{text} (attempt {attempt})")
        if clean:
            return
    pytest.fail(f"signal not clean in {attempts} attempts: {text}")


def test_tone_fed_to_the_microphone_comes_back_block_by_block(pulse, tmp_path):
    t = np.arange(6 * RATE) / RATE
    write_pcm(tmp_path / "tone.raw", 10000 * np.sin(2 * np.pi * 440 * t))

    def measure():
        # A deep feed buffer: a feeder that underruns under load puts gaps into the "microphone".
        feeder = subprocess.Popen(["pacat", "-p", "-d", "mic", "--raw", *PCM_ARGS,
                                   "--latency-msec=300", str(tmp_path / "tone.raw")])
        try:
            wait_heard_at("mic.monitor", tmp_path / "mic.raw")   # recording starts on the tone
            logs, values = run_probe("capture", str(CAPTURE_BLOCKS), str(tmp_path / "heard.raw"))
        finally:
            stop_process(feeder, signal.SIGTERM)
        blocks, rate = int(values["blocks"]), float(values["rate"])
        heard = read_raw(tmp_path / "heard.raw")
        assert len(heard) * 2 == blocks * BLOCK_BYTES
        assert blocks >= CAPTURE_BLOCKS
        assert logs == ["AudioInThreadProc start", "MM_WIM_OPEN", "MM_WIM_CLOSE",
                        "AudioInThreadProc exit", "CWaveIn::StopThread: ok"]
        freq, amplitude, unexplained, jump = tone_figures(heard[RATE // 4:])
        text = (f"capture: {blocks} blocks of {BLOCK_BYTES} bytes at {rate:.2f}/s, first after "
                f"{values['first_ms']} ms; 440 Hz amplitude 10000 came back as {freq:.2f} Hz "
                f"amplitude {amplitude:.0f}; unexplained {unexplained:.4f}, largest phase step "
                f"{jump:.3f} rad")
        # No lost, repeated or reordered samples: one steady sine explains everything, and its
        # frequency shows the device delivers 8000 samples per second of the sink's clock.
        return text, (abs(freq - 440) < 1.0 and abs(amplitude - 10000) < 300
                      and unexplained < 0.02 and jump < 0.1)

    signal_attempts(measure)


def align(heard, played):
    """The part of heard that holds played, and played delayed by the fraction of a sample by
    which the two sample rate conversions on the way shifted it."""
    corr = np.correlate(heard, played, mode="valid")
    k = int(np.argmax(corr[1:-1])) + 1
    a, b, c = corr[k - 1:k + 2]
    frac = 0.5 * (a - c) / (a - 2 * b + c)
    f = np.fft.rfftfreq(len(played))
    shifted = np.fft.irfft(np.fft.rfft(played) * np.exp(-2j * np.pi * f * frac), len(played))
    return heard[k:k + len(played)], shifted


def test_signal_played_in_blocks_is_heard_whole_and_in_order(pulse, tmp_path):
    # A rising sweep of 20 blocks: any lost, repeated or reordered block breaks the match with
    # the original. Silent blocks around it keep the stream's start and end out of the comparison.
    n = 20 * 480
    t = np.arange(n) / RATE
    sweep = 8000 * np.sin(2 * np.pi * (300 * t + 500 * t ** 2))
    played = np.round(np.concatenate([np.zeros(2 * 480), sweep, np.zeros(4 * 480)]))
    write_pcm(tmp_path / "played.raw", played)

    def measure():
        heard_path = tmp_path / "heard.raw"
        with open(heard_path, "wb") as heard_file:
            recorder = subprocess.Popen(["parec", "-d", "speaker.monitor", "--raw", *PCM_ARGS,
                                         "--latency-msec=20"], stdout=heard_file)
            try:
                # Silence before the signal, at least as long as the played file's own.
                wait_recorded(heard_path, lambda x: len(x) >= 4 * 480, "the monitor's first data")
                logs, values = run_probe("play", str(tmp_path / "played.raw"))
                # The recording holds the whole signal and the silence after it before parec is
                # interrupted (it loses what it has not written by then).
                tail = len(played) - 2 * 480 + 480
                wait_recorded(heard_path, lambda x: first_loud(x) is not None and
                              len(x) - first_loud(x) >= tail, "the played signal")
            finally:
                stop_process(recorder)
        assert values["played"] == "26"
        assert logs[:2] == ["AudioOutThreadProc start.", "MM_WOM_OPEN"]
        assert logs[-1] == "CWaveOut::StopThread ok"
        heard = read_raw(heard_path)
        assert len(heard) > len(played)
        segment, reference = align(heard, played)
        segment, reference = segment[960:960 + n], reference[960:960 + n]
        gain = float(segment @ reference / (reference @ reference))
        match = float(np.corrcoef(segment, reference)[0, 1])
        worst_block = min(np.corrcoef(segment[i:i + 480], reference[i:i + 480])[0, 1]
                          for i in range(0, n, 480))
        text = (f"playback: {values['played']} blocks heard at gain {gain:.4f} (level "
                f"{gain * 8000:.0f} of 8000), correlation {match:.5f}, worst block {worst_block:.5f}")
        return text, 0.97 < gain < 1.03 and match > 0.995 and worst_block > 0.99

    signal_attempts(measure)
