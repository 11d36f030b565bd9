#!/usr/bin/env python3
"""A small HTTP server on 127.0.0.1 for the transfer client's tests.

Prints "<port> <closed port> <silent port> <full port>" on its first line: the second is a port
that is bound but never listened on, so connecting to it is refused; the third listens but never
accepts, so a connection is made and never answered; the fourth has its accept queue filled by
connections that are never accepted, so the kernel drops every new connection request and a
client's connect never completes. Ends when its standard input closes, or after five minutes at
most.
"""
import base64
import socket
import sys
import threading
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from urllib.parse import parse_qs, urlsplit

LIFETIME_S = 300
SLOW_STALL_S = 10  # how long /slow stays silent after its first bytes
CREDENTIALS = "Basic " + base64.b64encode(b"quillon:secret").decode()


def pattern(size):
    return bytes(i % 251 for i in range(size))


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def answer(self, status, body, length=None, headers=()):
        self.send_response(status)
        self.send_header("Content-Type", "application/octet-stream")
        if length is not None:
            self.send_header("Content-Length", str(length))
        for name, value in headers:
            self.send_header(name, value)
        self.end_headers()
        self.wfile.write(body)
        self.wfile.flush()

    def do_GET(self):
        url = urlsplit(self.path)
        query = parse_qs(url.query)
        if url.path == "/data":
            size = int(query.get("n", ["0"])[0])
            self.answer(200, pattern(size), size,
                        [("Last-Modified", "Sun, 06 Nov 1994 08:49:37 GMT"),
                         ("ETag", '"v1"'), ("Content-Language", "en")])
        elif url.path == "/missing":
            body = pattern(int(query["n"][0])) if "n" in query else b"no such file here"
            self.answer(404, body, len(body))
        elif url.path == "/short":
            # Announces 1000 bytes, delivers 600, hangs up.
            self.answer(200, pattern(600), 1000)
            self.close_connection = True
        elif url.path == "/nolength":
            # No length: the end of the connection is the end of the body.
            self.answer(200, pattern(700), None, [("Connection", "close")])
            self.close_connection = True
        elif url.path == "/stream":
            # n bytes without a length: the end of the connection is the end of the body.
            size = int(query.get("n", ["0"])[0])
            self.answer(200, pattern(size), None, [("Connection", "close")])
            self.close_connection = True
        elif url.path == "/stall":
            # Its first bytes, then a minute of silence.
            self.answer(200, pattern(1000), 100000)
            time.sleep(60)
            self.close_connection = True
        elif url.path == "/slow":
            self.answer(200, pattern(1000), 100000)
            deadline = time.monotonic() + SLOW_STALL_S
            while time.monotonic() < deadline:
                time.sleep(0.05)
            self.close_connection = True
        elif url.path == "/auth":
            if self.headers.get("Authorization") == CREDENTIALS:
                self.answer(200, b"welcome", 7)
            else:
                self.answer(401, b"denied", 6,
                            [("WWW-Authenticate", 'Basic realm="Varnholt updates"')])
        elif url.path == "/redirect":
            self.answer(302, b"", 0, [("Location", "/echo?redirected")])
        elif url.path == "/echo":
            text = self.requestline + "\r\n" + str(self.headers)
            body = text.encode("latin-1")
            self.answer(200, body, len(body))
        elif url.path == "/bighead":
            # A head that never seems to end: 200 KB of header lines.
            self.send_response(200)
            for i in range(4000):
                self.send_header("X-Filler-%d" % i, "f" * 40)
            self.end_headers()
            self.wfile.flush()
            self.close_connection = True
        elif url.path == "/garbage":
            self.wfile.write(b"NOT HTTP AT ALL\r\n\r\n")
            self.wfile.flush()
            self.close_connection = True
        else:
            self.answer(404, b"", 0)


def full_listener():
    """A listener with a backlog of 0 whose queue is full: one connection completes and waits
    to be accepted, the next ones stay unanswered, and so does any later one."""
    full = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    full.bind(("127.0.0.1", 0))
    full.listen(0)
    fillers = []
    for _ in range(3):
        filler = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        filler.setblocking(False)
        filler.connect_ex(full.getsockname())
        fillers.append(filler)
    time.sleep(0.2)  # the first handshake completes on the loopback meanwhile
    return full, fillers


def main():
    server = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    server.daemon_threads = True
    closed = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    closed.bind(("127.0.0.1", 0))
    silent = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    silent.bind(("127.0.0.1", 0))
    silent.listen(16)  # the kernel completes the connections; nobody ever reads them
    full, fillers = full_listener()
    print(server.server_address[1], closed.getsockname()[1], silent.getsockname()[1],
          full.getsockname()[1], flush=True)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    watchdog = threading.Timer(LIFETIME_S, server.shutdown)
    watchdog.daemon = True
    watchdog.start()
    stdin_closed = threading.Event()

    def wait_stdin():
        sys.stdin.read()
        stdin_closed.set()

    threading.Thread(target=wait_stdin, daemon=True).start()
    stdin_closed.wait(LIFETIME_S)
    server.shutdown()
    closed.close()
    silent.close()
    for s in fillers + [full]:
        s.close()


if __name__ == "__main__":
    main()
