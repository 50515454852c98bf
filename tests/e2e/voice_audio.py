"""Audio analysis for the voice end-to-end tests and demo: alignment, SNR, correlation, tone ids
and the receive ordering rules, on 8 kHz 16-bit mono signals (numpy arrays)."""
import subprocess
import wave
from pathlib import Path

import numpy as np

RATE = 8000
BLOCK = 480


def read_wav(path):
    with wave.open(str(path), "rb") as w:
        data = w.readframes(w.getnframes())
        rate, channels = w.getframerate(), w.getnchannels()
    samples = np.frombuffer(data, dtype="<i2").astype(np.float64)
    if channels > 1:
        samples = samples.reshape(-1, channels)[:, 0]
    assert rate == RATE, f"{path}: {rate} Hz"
    return samples


def read_raw(path):
    return np.frombuffer(Path(path).read_bytes(), dtype="<i2").astype(np.float64)


def g729_decode(g729a, payloads, workdir):
    """Decodes concatenated 60-byte coded blocks with our codec (a fresh decoder state)."""
    src, dst = Path(workdir) / "decode.g729", Path(workdir) / "decode.raw"
    src.write_bytes(payloads)
    subprocess.run([str(g729a), "decode", str(src), str(dst)], check=True)
    return read_raw(dst)


def best_lag(ref, sig, lo, hi):
    """The lag in [lo, hi] at which sig[lag + n] best matches ref[n] (normalised cross-correlation)."""
    n = 1 << int(np.ceil(np.log2(len(ref) + len(sig))))
    corr = np.fft.irfft(np.fft.rfft(sig, n) * np.conj(np.fft.rfft(ref, n)), n)
    lags = np.arange(max(lo, -len(ref) + 1), min(hi, len(sig)) + 1)
    return int(lags[np.argmax(corr[lags % n])])


def _segment(sig, start, length):
    out = np.zeros(length)
    a, b = max(start, 0), min(start + length, len(sig))
    if b > a:
        out[a - start:b - start] = sig[a:b]
    return out


def aligned_compare(ref, sig, lag_range=(-RATE, 20 * RATE), chunk=2 * RATE, refine=RATE // 5):
    """Aligns sig to ref once overall and then per chunk (playback may slip by whole blocks).
    Returns (overall lag, SNR in dB, correlation) over the chunks of ref that carry signal."""
    lag = best_lag(ref, sig, *lag_range)
    sig_energy = err_energy = 0.0
    cross = ref_sq = sig_sq = 0.0
    for start in range(0, len(ref) - chunk + 1, chunk):
        part = ref[start:start + chunk]
        if np.sqrt(np.mean(part ** 2)) < 100:
            continue
        window = _segment(sig, start + lag - refine, chunk + 2 * refine)
        local = best_lag(part, window, 0, 2 * refine)
        heard = window[local:local + chunk]
        gain = np.dot(part, heard) / max(np.dot(heard, heard), 1e-9)
        sig_energy += np.dot(part, part)
        err_energy += np.sum((part - gain * heard) ** 2)
        cross += np.dot(part, heard)
        ref_sq += np.dot(part, part)
        sig_sq += np.dot(heard, heard)
    snr = 10 * np.log10(sig_energy / max(err_energy, 1e-9))
    corr = cross / max(np.sqrt(ref_sq * sig_sq), 1e-9)
    return lag, float(snr), float(corr)


def _best_match(block, window):
    """Offset in window where block fits best, with its normalised correlation."""
    corr = np.correlate(window, block, mode="valid")
    energy = np.sqrt(np.convolve(window ** 2, np.ones(len(block)), mode="valid"))
    score = corr / (np.linalg.norm(block) * np.maximum(energy, 1e-9))
    i = int(np.argmax(score))
    return i, float(score[i])


def _best_match_anywhere(block, sig):
    """Like _best_match over the whole of sig, by FFT: for a block that is not near where the
    previous one ended (the recording lost a stretch, or the first alignment was wrong)."""
    n = 1 << int(np.ceil(np.log2(len(sig) + len(block))))
    corr = np.fft.irfft(np.fft.rfft(sig, n) * np.conj(np.fft.rfft(block, n)), n)[:len(sig) - len(block) + 1]
    sq = np.concatenate(([0.0], np.cumsum(sig ** 2)))
    energy = np.sqrt(np.maximum(sq[len(block):] - sq[:-len(block)], 0.0))
    score = corr / (np.linalg.norm(block) * np.maximum(energy, 1e-9))
    i = int(np.argmax(score))
    return i, float(score[i])


def _fractional_fit(block, sig, at, margin=16):
    """The stretch of sig at `at`, shifted by the fraction of a sample that fits block best: a
    device that restarts after running dry may resume between two of its resampler's phases."""
    seg = _segment(sig, at - margin, len(block) + 2 * margin)
    spectrum = np.fft.rfft(seg)
    freqs = np.fft.rfftfreq(len(seg))
    best, best_err = seg[margin:margin + len(block)], np.inf
    for d in np.linspace(-0.5, 0.5, 17):
        shifted = np.fft.irfft(spectrum * np.exp(2j * np.pi * freqs * d), len(seg))[margin:margin + len(block)]
        gain = np.dot(block, shifted) / max(np.dot(shifted, shifted), 1e-9)
        err = np.sum((block - gain * shifted) ** 2)
        if err < best_err:
            best, best_err = shifted, err
    return best


def blockwise_compare(ref, sig, start_range=(0, None), back=2 * BLOCK, ahead=8 * BLOCK,
                      floor=100.0, accept=0.6):
    """Playback may pause between blocks (the device runs dry) or lose samples, so each 60 ms
    block of ref is looked for in sig near where the previous one ended, to a fraction of a
    sample. A block whose best match correlates below `accept` counts as not heard. Returns a
    dict: overall and median per-block SNR (dB) and correlation over the heard blocks, the
    number of blocks heard and of blocks that carry signal inside the recording."""
    lo, hi = start_range
    cursor = best_lag(ref, sig, lo, hi if hi is not None else len(sig))
    sums = np.zeros(5)  # ref energy, error energy, cross, ref squares, heard squares
    block_snrs, loud = [], 0
    for k in range(len(ref) // BLOCK):
        block = ref[k * BLOCK:(k + 1) * BLOCK]
        expected_at = cursor
        cursor += BLOCK
        if np.sqrt(np.mean(block ** 2)) < floor:
            continue
        base = max(expected_at - back, 0)
        window = sig[base:max(expected_at + BLOCK + ahead, 0)]
        if len(window) < BLOCK:
            continue  # outside the recording
        loud += 1
        offset, score = _best_match(block, window)
        if score < accept and len(sig) >= BLOCK:
            base, offset = 0, 0
            offset, score = _best_match_anywhere(block, sig)
        if score < accept:
            cursor = expected_at  # not heard: the next block takes its place
            continue
        heard = _fractional_fit(block, sig, base + offset)
        gain = np.dot(block, heard) / max(np.dot(heard, heard), 1e-9)
        err = np.sum((block - gain * heard) ** 2)
        sums += [np.dot(block, block), err, np.dot(block, heard), np.dot(block, block), np.dot(heard, heard)]
        block_snrs.append(10 * np.log10(np.dot(block, block) / max(err, 1e-9)))
        cursor = base + offset + BLOCK
    return {"snr": float(10 * np.log10(max(sums[0], 1e-9) / max(sums[1], 1e-9))),
            "median_snr": float(np.median(block_snrs)) if block_snrs else 0.0,
            "corr": float(sums[2] / max(np.sqrt(sums[3] * sums[4]), 1e-9)),
            "heard": len(block_snrs), "loud": loud}


def tone_of_packet(seq, count=40):
    """The test tone index j (400 + 60 j Hz) that the peer puts in packet seq."""
    return (seq - 1) * 17 % count


def tone_ids(sig, count=40, window=240, hop=80, floor=300.0):
    """Per 10 ms hop, the index j of the strongest test tone 400 + 60 j Hz (-1 for silence)."""
    freqs = 400 + 60 * np.arange(count)
    t = np.arange(window) / RATE
    basis = np.exp(-2j * np.pi * np.outer(freqs, t)) * np.hanning(window)
    ids = []
    for start in range(0, len(sig) - window, hop):
        seg = sig[start:start + window]
        if np.sqrt(np.mean(seg ** 2)) < floor:
            ids.append(-1)
            continue
        ids.append(int(np.argmax(np.abs(basis @ seg))))
    return ids


def tone_runs(ids, min_len=3, hop_ms=10):
    """Runs of one tone at least min_len hops long: (tone, start ms, end ms)."""
    runs, i = [], 0
    while i < len(ids):
        j = i
        while j < len(ids) and ids[j] == ids[i]:
            j += 1
        if ids[i] >= 0 and j - i >= min_len:
            runs.append((ids[i], i * hop_ms, j * hop_ms))
        i = j
    return runs


def play_order(arrivals):
    """The order in which the receive ordering store plays packets that arrive in this order."""
    last, waiting, played = 0, [], []
    for seq in arrivals:
        if seq == last + 1:
            played.append(seq)
            last = seq
            while waiting and waiting[0] == last + 1:
                last = waiting.pop(0)
                played.append(last)
        else:
            pos = 0
            while pos < len(waiting) and waiting[pos] <= seq:
                pos += 1
            waiting.insert(pos, seq)
            if len(waiting) == 8:
                last = waiting[-1]
                played.extend(waiting)
                waiting = []
    return played


def _join_repeats(runs):
    joined = []
    for tone, start, end in runs:
        if joined and joined[-1][0] == tone:
            joined[-1] = (tone, joined[-1][1], end)
        else:
            joined.append((tone, start, end))
    return joined


def heard_blocks(runs):
    """The blocks as they were played, from the tone runs.

    Runs of one tone are joined even across a pause: when Wine's playback runs dry in the middle of
    a block, the rest of that block is heard after a gap. A block played twice in a row would be
    joined too, so callers compare against an order with no tone twice in a row.

    A run one tone step (60 Hz) away from the block before or after it, and shorter than that block,
    is the coded tone smeared at a block's edge, not a block of its own: it is dropped. Callers use
    tones that never follow their neighbours, so no real block is lost this way."""
    blocks = _join_repeats(runs)
    kept = []
    for i, (tone, start, end) in enumerate(blocks):
        beside = [blocks[k] for k in (i - 1, i + 1) if 0 <= k < len(blocks)]
        if not any(abs(b[0] - tone) == 1 and b[2] - b[1] > end - start for b in beside):
            kept.append((tone, start, end))
    return _join_repeats(kept)


def is_subsequence(part, whole):
    it = iter(whole)
    return all(any(x == y for y in it) for x in part)
