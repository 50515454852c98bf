"""A small remote helper for the tests of how the library treats its client: it asks every
control connection for a talk at once, optionally hangs up as soon as the talk is accepted, and
keeps what reaches its voice port in arrival order (voice packets, hello datagrams, and the
session marks the help-client harness sends when told to)."""
import selectors
import socket
import struct
import threading
import time

MAGIC = b"TalkFrame\0" + bytes(6)
TALK_REQUEST, TALK_ACCEPT = 0x1000, 0x1001
HEADER = 24
VOICE_PACKET = 76


def control_header(code, body=0):
    return MAGIC + struct.pack("<Ii", code, body)


class TalkPeer:
    def __init__(self, hang_up_after=None, requests=1):
        """hang_up_after: seconds from an accepted talk until the peer closes its connection
        (None: the peer never does). requests: talk requests sent on each connection at once."""
        self.hang_up_after = hang_up_after
        self.requests = requests
        self.listener = socket.socket()
        self.listener.bind(("127.0.0.1", 0))
        self.listener.listen(8)
        self.udp = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        self.udp.bind(("127.0.0.1", 0))
        self.tcp_port = self.listener.getsockname()[1]
        self.udp_port = self.udp.getsockname()[1]
        self.datagrams = []      # ("voice", seq) | ("mark", "begin"/"end") | ("hello",) | ("other", len)
        self.connections = 0
        self.accepts = 0
        self._stop = threading.Event()
        self._thread = threading.Thread(target=self._run, daemon=True)
        self._thread.start()

    def close(self):
        self._stop.set()
        self._thread.join(timeout=5)
        self.listener.close()
        self.udp.close()

    def voice_outside_sessions(self):
        """Voice packets that arrived while no session was marked open."""
        open_session, stray = False, []
        for item in self.datagrams:
            if item[0] == "mark":
                open_session = item[1] == "begin"
            elif item[0] == "voice" and not open_session:
                stray.append(item)
        return stray

    def voiced_sessions(self):
        """How many marked sessions carried at least one voice packet."""
        count, voiced = 0, False
        for item in self.datagrams:
            if item == ("mark", "begin"):
                voiced = False
            elif item[0] == "voice" and not voiced:
                voiced, count = True, count + 1
        return count

    def _run(self):
        sel = selectors.DefaultSelector()
        sel.register(self.listener, selectors.EVENT_READ, "listen")
        sel.register(self.udp, selectors.EVENT_READ, "udp")
        pending, hang_ups = {}, {}
        while not self._stop.is_set():
            now = time.monotonic()
            for conn in [c for c, at in hang_ups.items() if at <= now]:
                del hang_ups[conn]
                if conn in pending:
                    self._drop(conn, pending, sel)
            for key, _ in sel.select(0.01):
                if key.data == "udp":
                    self._on_datagram(self.udp.recv(2048))
                elif key.data == "listen":
                    conn, _ = self.listener.accept()
                    self.connections += 1
                    conn.sendall(control_header(TALK_REQUEST) * self.requests)
                    pending[conn] = b""
                    sel.register(conn, selectors.EVENT_READ, "conn")
                elif self._on_control(key.fileobj, pending, sel) and self.hang_up_after is not None:
                    hang_ups[key.fileobj] = time.monotonic() + self.hang_up_after
        for conn in pending:
            conn.close()
        sel.close()

    def _on_control(self, conn, pending, sel):
        """Reads the client's replies; True when one accepted the talk."""
        try:
            data = conn.recv(4096)
        except OSError:
            data = b""
        pending[conn] += data
        accepted = False
        while len(pending[conn]) >= HEADER:
            code = struct.unpack_from("<I", pending[conn], 16)[0]
            pending[conn] = pending[conn][HEADER:]
            if code == TALK_ACCEPT:
                self.accepts += 1
                accepted = True
        if not data:
            self._drop(conn, pending, sel)
        return accepted

    @staticmethod
    def _drop(conn, pending, sel):
        sel.unregister(conn)
        del pending[conn]
        conn.close()

    def _on_datagram(self, data):
        if len(data) == VOICE_PACKET:
            self.datagrams.append(("voice", struct.unpack_from("<I", data)[0]))
        elif data == b"wer\0":
            self.datagrams.append(("hello",))
        elif data.startswith(b"mark "):
            self.datagrams.append(("mark", data[5:].decode()))
        else:
            self.datagrams.append(("other", len(data)))
