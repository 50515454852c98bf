"""soak.png: the call's samples and uplink rate over time, beside the sessions' samples."""
import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402

SERIES = [("handles", "handles"), ("threads", "threads"), ("windows", "windows (USER stand-in)"),
          ("private", "private MiB")]


def window_rates(times, width=10.0):
    """Packets per second in consecutive windows of `width` seconds."""
    if not times:
        return [], []
    xs, ys, start, n = [], [], times[0], 0
    for t in times:
        while t >= start + width:
            xs.append((start + width / 2) / 60)
            ys.append(n / width)
            start, n = start + width, 0
        n += 1
    return xs, ys


def column(axes, samples, t0, title, marked=()):
    """One panel per counter; the samples in `marked` (between sessions) drawn as red dots."""
    for ax, (key, label) in zip(axes, SERIES):
        scale = 1 / 2 ** 20 if key == "private" else 1
        for pts, style in ((samples, dict(fmt=".-", ms=2, lw=0.6)),
                           (marked, dict(fmt="o", ms=3, color="red"))):
            pts = [(t, s.get(key)) for t, s in pts if s.get(key) is not None]
            fmt = style.pop("fmt")
            ax.plot([(t - t0) / 60 for t, _ in pts], [v * scale for _, v in pts], fmt, **style)
        ax.set_ylabel(label)
    axes[0].set_title(title)


def draw(path, call, sess):
    fig, grid = plt.subplots(len(SERIES) + 1, 2, figsize=(13, 11), sharex="col")
    t0 = call["samples"][0][0] if call["samples"] else 0
    column(grid[:-1, 0], call["samples"], t0, "call (samples every few seconds)")
    xs, ys = window_rates(call["times"])
    grid[-1, 0].plot(xs, ys, lw=0.7)
    grid[-1, 0].axhline(1000 / 60, color="grey", ls=":")
    grid[-1, 0].set_ylabel("uplink pkt/s (10 s)")
    grid[-1, 0].set_xlabel("minutes")
    s0 = sess["samples"][0][0] if sess["samples"] else 0
    idle = [(r["idle_t"], r["idle"]) for r in sess["results"] if r["idle"] and r["idle_t"] is not None]
    column(grid[:-1, 1], sess["samples"], s0, "sessions (red: after each End)", idle)
    res = sess["results"]
    grid[-1, 1].plot([(r["t"] - s0) / 60 for r in res if r["t"] is not None and r["rate"]],
                     [r["rate"] for r in res if r["t"] is not None and r["rate"]], ".", ms=3)
    grid[-1, 1].axhline(1000 / 60, color="grey", ls=":")
    grid[-1, 1].set_ylabel("uplink pkt/s per session")
    grid[-1, 1].set_xlabel("minutes")
    fig.suptitle("vocalis.dll soak: process resources and uplink pacing")
    fig.tight_layout()
    fig.savefig(path, dpi=90)
    plt.close(fig)
    return path
