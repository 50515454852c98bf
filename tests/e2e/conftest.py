"""Shared fixtures for the end-to-end tests (run under scripts/with-services)."""
import contextlib
import os
import signal
import subprocess
import sys
import time
import uuid
from pathlib import Path

import pytest

ROOT = Path(__file__).resolve().parents[2]
BUILD = Path(os.environ.get("ST_BUILD", ROOT / "build"))
NATIVE_BIN = BUILD / "native" / "bin"
DIST = ROOT / "dist"
# ST_WIN_ARCH picks the Windows build a run tests: x86_64 (the win64 tree under 64-bit Wine) or
# i686 (the win32 tree, whose deliverables are the very files copied to dist/, under 32-bit Wine).
ARCH = os.environ.get("ST_WIN_ARCH", "x86_64")
if ARCH == "i686":
    WIN_BIN = BUILD / "win32" / "bin"
    WINE = "/usr/lib/wine/wine"
else:
    WIN_BIN = BUILD / "win64" / "bin"
    WINE = "/usr/lib/wine/wine64"
SHIPPED = ("vocalis.dll", "fetchkit.exe", "Update.exe")

sys.path.insert(0, str(ROOT / "tools" / "voicepeer"))
from peerlog import free_port  # noqa: E402,F401  the tests import it from here
from proctools import stop_process, windows_path  # noqa: E402,F401  windows_path: as free_port


def own_speech():
    """Path of the project's speech recording (scripts/lib/speech renders it into the build tree
    once): raw 8 kHz 16-bit mono, about 33 s, two voices."""
    env = dict(os.environ, ST_BUILD=str(BUILD))
    done = subprocess.run([str(ROOT / "scripts" / "lib" / "speech")], env=env, check=True,
                          capture_output=True, text=True)
    return Path(done.stdout.strip())


def wine_env(extra=None, chinese=False):
    """Environment for a Wine process; chinese=True gives it ANSI code page 936."""
    env = dict(os.environ)
    env.setdefault("WINEDEBUG", "-all")
    env["WINEARCH"] = "win64"
    env["WINEDLLOVERRIDES"] = "mscoree,mshtml="
    if chinese and env.get("ST_LOCPATH"):
        env.update(LOCPATH=env["ST_LOCPATH"], LANG="zh_CN.UTF-8", LC_ALL="zh_CN.UTF-8")
    if extra:
        env.update(extra)
    return env


@contextlib.contextmanager
def http_server(root, log=None, tls=None, redirect=None):
    """tools/httpserver serving the folder root on a free port; yields its base URL, then stops it.
    tls=(cert, key) serves HTTPS under the name localhost; redirect=BASE sends every request there."""
    root = Path(root)
    port_file = root.with_name("%s.%s.port" % (root.name, uuid.uuid4().hex))
    args = [sys.executable, str(ROOT / "tools" / "httpserver" / "httpserver.py"), "--root", str(root),
            "--port-file", str(port_file)] + (["--log", str(log)] if log else [])
    args += (["--tls", str(tls[0]), str(tls[1])] if tls else []) + (["--redirect", redirect] if redirect else [])
    proc = subprocess.Popen(args, stdout=subprocess.DEVNULL)
    try:
        deadline = time.time() + 10
        while not port_file.exists() and time.time() < deadline and proc.poll() is None:
            time.sleep(0.05)
        if not port_file.exists():
            raise RuntimeError("httpserver did not report its port (exit code %s)" % proc.poll())
        port = port_file.read_text().strip()
        yield "https://localhost:%s" % port if tls else "http://127.0.0.1:%s" % port
    finally:
        stop_process(proc, signal.SIGTERM, grace=10)
        port_file.unlink(missing_ok=True)


def wine_popen(exe, args=(), env=None, **kw):
    """Start a Windows program of the win64 tree under Wine."""
    return subprocess.Popen([WINE, str(WIN_BIN / exe), *args], env=env or wine_env(), **kw)


def wine_run(exe, args=(), env=None, **kw):
    """Run a Windows program of the win64 tree under Wine to its end (as subprocess.run)."""
    return subprocess.run([WINE, str(WIN_BIN / exe), *args], env=env or wine_env(), **kw)


def pytest_sessionstart(session):
    """An i686 run tests what ships: its deliverables must be byte for byte those in dist/."""
    if ARCH != "i686":
        return
    for name in SHIPPED:
        built, shipped = WIN_BIN / name, DIST / name
        if not shipped.exists() or built.read_bytes() != shipped.read_bytes():
            raise pytest.UsageError("%s differs from %s: build the win32 tree first" % (built, shipped))


def pytest_report_header(config):
    return "Windows binaries: %s (%s, %s)" % (ARCH, WIN_BIN, WINE)


@pytest.fixture(scope="session")
def services():
    """Skips a test that needs the Windows services when they are not running."""
    if not os.environ.get("WINEPREFIX") or not os.environ.get("DISPLAY"):
        pytest.skip("needs scripts/with-services (WINEPREFIX, DISPLAY)")
    return os.environ
