#!/usr/bin/env python3
"""Test HTTP server for the downloaders (127.0.0.1 only, Python 3 standard library).

Listens on 127.0.0.1, prints "PORT <n>" on stdout and serves until SIGTERM or SIGINT.
`httpserver.py --help` prints the options and what the paths mean (CONTENT below).
"""
import argparse
import json
import os
import re
import signal
import socket
import ssl
import struct
import sys
import threading
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from urllib.parse import unquote

CONTENT = """\
Content (the last part of the path):
  /gen/<N>            N bytes of generated data (byte k is the same for every N)
  /<relative path>    a file under --root (percent-escapes decoded)
  /status/<code>      answers <code> with the short text body "status <code>\\n"

Modifiers, path prefixes that may be combined in any order before the content:
  /norange/           ignore Range headers: always 200 and the whole body
  /nolength/          no Content-Length; the body ends when the connection closes
  /chunked/           no Content-Length; chunked transfer encoding
  /cut/<K>/           announce the full length but send only K bytes, then close
  /over/<K>/          announce the length but send K extra bytes after the body, then close
  /slow/<R>/          send at about R bytes per second
  /delay/<MS>/        wait MS milliseconds before answering
  /stall/<K>/         send the headers and K bytes of the body, then nothing until the client
                      hangs up
  /silent/            read the request and answer nothing until the client hangs up
  /rangestatus/<C>/   a request with a Range header is answered <C> with a short text body
  /rangereset/        a request with a Range header gets a status line and part of the headers,
                      then the connection is reset

Ranges: "Range: bytes=A-" and "bytes=A-B" give 206 with Content-Range; a start at or beyond the
length gives 416 with "Content-Range: bytes */<length>".
Example: /slow/200000/cut/5000/gen/100000

With --tls the server speaks HTTPS only; with --redirect every request is answered with 302 and
the same path under the given base address.
"""

PERIOD = 1000003  # prime period of the generated pattern, so no power-of-two offset aliases
_pattern = None
_pattern_lock = threading.Lock()


def pattern():
    """The repeating block behind /gen/: pseudo-random bytes from a fixed seed."""
    global _pattern
    with _pattern_lock:
        if _pattern is None:
            import random
            _pattern = random.Random(20261207).randbytes(PERIOD)
    return _pattern


def generated(start, end):
    """Bytes start..end-1 of the generated content (the same for every length)."""
    p = pattern()
    out = bytearray()
    while start < end:
        off = start % PERIOD
        take = min(end - start, PERIOD - off)
        out += p[off:off + take]
        start += take
    return bytes(out)


class Source:
    """What a request names: a length and a way to read any slice of it."""

    def __init__(self, length, reader, status=200):
        self.length, self.read, self.status = length, reader, status


def text_source(text, status):
    """A short text body answered with the given status."""
    body = text.encode()
    return Source(len(body), lambda a, b: body[a:b], status)


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "sttest/1"

    def log_message(self, fmt, *args):  # quiet; requests go to --log
        pass

    def do_HEAD(self):
        self.answer(send_body=False)

    def do_GET(self):
        self.answer(send_body=True)

    # -- request parsing -------------------------------------------------------------------
    def parse_modifiers(self, parts):
        mods = {}
        while parts:
            key = parts[0]
            if key in ("norange", "nolength", "chunked", "silent", "rangereset"):
                mods[key] = True
                parts = parts[1:]
            elif key in ("cut", "over", "slow", "delay", "stall", "rangestatus") and len(parts) > 1 \
                    and parts[1].isdigit():
                mods[key] = int(parts[1])
                parts = parts[2:]
            else:
                break
        return mods, parts

    def find_source(self, parts):
        if len(parts) == 2 and parts[0] == "gen" and parts[1].isdigit():
            n = int(parts[1])
            return Source(n, generated)
        if len(parts) == 2 and parts[0] == "status" and parts[1].isdigit():
            return text_source("status %s\n" % parts[1], int(parts[1]))
        root = self.server.root
        if root:
            path = os.path.realpath(os.path.join(root, *parts))
            if path.startswith(os.path.realpath(root) + os.sep) and os.path.isfile(path):
                return Source(os.path.getsize(path), lambda a, b: read_file(path, a, b))
        return None

    def parse_range(self, length):
        """(start, end) of the requested slice, None for the whole body, or 'bad' for 416."""
        m = re.fullmatch(r"bytes=(\d+)-(\d*)", self.headers.get("Range", "").strip())
        if not m:
            return None
        start = int(m.group(1))
        end = int(m.group(2)) + 1 if m.group(2) else length
        if start >= length or end <= start:
            return "bad"
        return start, min(end, length)

    # -- answer ----------------------------------------------------------------------------
    def answer(self, send_body):
        if self.server.redirect:
            return self.redirect(self.server.redirect + self.path)
        parts = [unquote(p) for p in self.path.split("?")[0].split("/") if p]
        mods, parts = self.parse_modifiers(parts)
        if "delay" in mods:
            time.sleep(mods["delay"] / 1000.0)
        if self.misbehave(mods):
            return
        src = self.find_source(parts)
        if src is None:
            src = text_source("not found\n", 404)
        if "rangestatus" in mods and self.headers.get("Range"):
            src = text_source("status %d\n" % mods["rangestatus"], mods["rangestatus"])
        status, start, end = src.status, 0, src.length
        rng = None if (mods.get("norange") or status != 200) else self.parse_range(src.length)
        if rng == "bad":
            self.send_response(416)
            self.send_header("Content-Range", "bytes */%d" % src.length)
            self.send_header("Content-Length", "0")
            self.end_headers()
            return self.record(416, 0)
        if rng:
            status, (start, end) = 206, rng
        self.send_response(status)
        self.send_header("Content-Type", "application/octet-stream")
        if status == 200 and not mods.get("norange"):
            self.send_header("Accept-Ranges", "bytes")
        if status == 206:
            self.send_header("Content-Range", "bytes %d-%d/%d" % (start, end - 1, src.length))
        framing = "chunked" if mods.get("chunked") else "close" if mods.get("nolength") else "length"
        if framing == "length":
            self.send_header("Content-Length", str(end - start))
        elif framing == "chunked":
            self.send_header("Transfer-Encoding", "chunked")
        if framing == "close" or "cut" in mods or "over" in mods:
            self.send_header("Connection", "close")
            self.close_connection = True
        self.end_headers()
        sent = 0
        if send_body:
            sent = self.send_body(src, start, end, mods, framing)
        self.record(status, sent)

    def redirect(self, location):
        self.send_response(302)
        self.send_header("Location", location)
        self.send_header("Content-Length", "0")
        self.end_headers()
        self.record(302, 0)

    def send_body(self, src, start, end, mods, framing):
        limit = end - start
        if "cut" in mods or "stall" in mods:
            limit = min(limit, mods.get("cut", limit), mods.get("stall", limit))
        rate = mods.get("slow")
        block = 65536 if not rate else max(1, min(65536, rate // 20))
        sent, t0 = 0, time.monotonic()
        try:
            while sent < limit:
                data = src.read(start + sent, start + min(limit, sent + block))
                self.write_piece(data, framing)
                sent += len(data)
                if rate:
                    ahead = sent / rate - (time.monotonic() - t0)
                    if ahead > 0:
                        time.sleep(ahead)
            if "over" in mods:
                self.write_piece(b"\x00" * mods["over"], framing)
                sent += mods["over"]
            if framing == "chunked" and "cut" not in mods and "stall" not in mods:
                self.wfile.write(b"0\r\n\r\n")
            self.wfile.flush()
            if "stall" in mods:
                self.hold()
        except (BrokenPipeError, ConnectionResetError):
            self.close_connection = True
        return sent

    # -- answers that misbehave ---------------------------------------------------------------
    def misbehave(self, mods):
        """Answers /silent/ and a ranged request of /rangereset/; False for everything else."""
        if "silent" in mods:
            self.hold()
            self.record(0, 0)
            return True
        if "rangereset" in mods and self.headers.get("Range"):
            self.reset_mid_answer()
            self.record(0, 0)
            return True
        return False

    def hold(self):
        """Says nothing more until the client hangs up (or gives up waiting)."""
        self.close_connection = True
        try:
            while self.connection.recv(4096):
                pass
        except OSError:
            pass

    def reset_mid_answer(self):
        """A status line and part of the headers, then a reset (RST) instead of the rest."""
        self.close_connection = True
        self.wfile.write(b"HTTP/1.1 206 Partial Content\r\nContent-Type: application/octet-")
        self.wfile.flush()
        self.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
        self.connection.close()

    def write_piece(self, data, framing):
        if framing == "chunked":
            self.wfile.write(b"%x\r\n%s\r\n" % (len(data), data))
        else:
            self.wfile.write(data)

    def record(self, status, sent):
        log = self.server.log
        if not log:
            return
        line = json.dumps({"method": self.command, "path": self.path,
                           "range": self.headers.get("Range"),
                           "agent": self.headers.get("User-Agent"),
                           "status": status, "sent": sent})
        with self.server.log_lock, open(log, "a") as f:
            f.write(line + "\n")


def read_file(path, a, b):
    with open(path, "rb") as f:
        f.seek(a)
        return f.read(b - a)


class TlsServer(ThreadingHTTPServer):
    """HTTPS: the TLS handshake of each connection runs in the connection's own thread, so a
    client that refuses the certificate costs only that connection."""

    def finish_request(self, request, client_address):
        try:
            request = self.tls.wrap_socket(request, server_side=True)
        except (ssl.SSLError, OSError):
            return
        try:
            super().finish_request(request, client_address)
        finally:
            request.close()


def make_server(a):
    if not a.tls:
        return ThreadingHTTPServer(("127.0.0.1", a.port), Handler)
    server = TlsServer(("127.0.0.1", a.port), Handler)
    server.tls = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    try:
        server.tls.load_cert_chain(*a.tls)
    except (OSError, ssl.SSLError) as e:
        server.server_close()
        sys.stderr.write("httpserver.py: cannot use the --tls certificate and key: %s\n" % e)
        sys.exit(2)
    return server


class Parser(argparse.ArgumentParser):
    """argparse with the manners of the project's tools: a bad command line gives one line that
    names the problem and one that points to --help, and exit code 2."""

    def error(self, message):
        sys.stderr.write("%s: %s\ntry '%s --help'\n" % (self.prog, message, self.prog))
        sys.exit(2)


def port_number(text):
    """A TCP port 0..65535 (0: any free one)."""
    if not text.isdigit() or int(text) > 65535:
        raise argparse.ArgumentTypeError("not a port number (0 to 65535): %r" % text)
    return int(text)


def folder(text):
    """A folder that exists."""
    if not os.path.isdir(text):
        raise argparse.ArgumentTypeError("not a folder: %r" % text)
    return text


def parse_args(argv=None):
    ap = Parser(prog="httpserver.py", formatter_class=argparse.RawDescriptionHelpFormatter,
                description="Test HTTP server for the downloaders, on 127.0.0.1 only.\nPrints "
                            "\"PORT <n>\" on stdout once it listens; stops on SIGTERM or SIGINT.",
                epilog=CONTENT)
    ap.add_argument("--root", metavar="DIR", type=folder,
                    help="folder whose files are served (default: none, only /gen/ and /status/)")
    ap.add_argument("--port", metavar="N", type=port_number, default=0,
                    help="port to listen on (default 0: a free one, see PORT and --port-file)")
    ap.add_argument("--port-file", metavar="FILE",
                    help="write the port number to FILE once listening (default: not written)")
    ap.add_argument("--log", metavar="FILE",
                    help="append one JSON line per request to FILE: method, path, range, agent, "
                         "status, sent (default: no log)")
    ap.add_argument("--tls", nargs=2, metavar=("CERT", "KEY"),
                    help="serve HTTPS with the certificate chain and key in these PEM files")
    ap.add_argument("--redirect", metavar="BASE",
                    help="answer every request with 302 to BASE followed by the request's path")
    return ap.parse_args(argv)


def main():
    a = parse_args()
    server = make_server(a)
    server.daemon_threads = True
    server.redirect = a.redirect
    server.root, server.log, server.log_lock = a.root, a.log, threading.Lock()
    port = server.server_address[1]
    signal.signal(signal.SIGTERM, lambda *_: threading.Thread(target=server.shutdown).start())
    if a.port_file:
        tmp = a.port_file + ".tmp"
        with open(tmp, "w") as f:
            f.write("%d\n" % port)
        os.replace(tmp, a.port_file)
    print("PORT %d" % port, flush=True)
    try:
        server.serve_forever(poll_interval=0.1)
    except KeyboardInterrupt:
        pass
    server.server_close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
