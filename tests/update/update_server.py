#!/usr/bin/env python3
"""Serves the files of one folder on 127.0.0.1 for the update checker's tests.

Usage: update_server.py FOLDER. Prints "<port> <closed port> <silent port>" on its first line;
the closed port is bound but never listened on, so connecting to it is refused; the silent
port takes connections and never answers. Paths:
  /NAME          the file FOLDER/NAME, or 404
  /hold/NAME     sends the head and half of FOLDER/NAME, then waits for /release
  /release       lets every held answer finish
  /short/NAME    announces the length of FOLDER/NAME, sends half of it and hangs up
  /auth/NAME     FOLDER/NAME for the credentials quillon:secret, else 401 (realm "updates")
  /opensig/NAME  FOLDER/NAME; a NAME ending in ".sig" is sent without a length and the
                 connection kept open until /release
  /redirect/NAME a redirection (302) to /old/NAME
  /trickle/NAME  FOLDER/NAME at one byte every tenth of a second
  /log           the paths asked for so far (this one excepted), one per line
  /nocachelog    those of them asked for with "Pragma: no-cache", one per line
Ends when its standard input closes.
"""
import base64
import os
import socket
import sys
import threading
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

ROOT = sys.argv[1]
released = threading.Event()
CREDENTIALS = "Basic " + base64.b64encode(b"quillon:secret").decode()
log = []
nocache = []
log_lock = threading.Lock()


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def head(self, status, length):
        self.send_response(status)
        self.send_header("Content-Type", "application/octet-stream")
        self.send_header("Content-Length", str(length))
        self.end_headers()

    def do_GET(self):
        path = self.path.split("?")[0]
        if path in ("/log", "/nocachelog"):
            with log_lock:
                body = "".join(p + "\n" for p in (log if path == "/log" else nocache)).encode()
            self.head(200, len(body))
            self.wfile.write(body)
            return
        with log_lock:
            log.append(path)
            if self.headers.get("Pragma") == "no-cache":
                nocache.append(path)
        if path == "/release":
            released.set()
            self.head(200, 0)
            return
        if path.startswith("/redirect/"):
            self.send_response(302)
            self.send_header("Location", "/old/" + path[len("/redirect/"):])
            self.send_header("Content-Length", "0")
            self.end_headers()
            return
        mode = ""
        for prefix in ("/hold/", "/short/", "/auth/", "/opensig/", "/trickle/"):
            if path.startswith(prefix):
                mode, path = prefix, "/" + path[len(prefix):]
        if mode == "/auth/" and self.headers.get("Authorization") != CREDENTIALS:
            body = b"who are you"
            self.send_response(401)
            self.send_header("WWW-Authenticate", 'Basic realm="updates"')
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            self.wfile.write(body)
            return
        file = os.path.join(ROOT, path.lstrip("/"))
        if not os.path.isfile(file):
            body = b"not here"
            self.head(404, len(body))
            self.wfile.write(body)
            return
        with open(file, "rb") as f:
            body = f.read()
        if mode == "/opensig/" and path.endswith(".sig"):
            self.send_response(200)
            self.send_header("Content-Type", "application/octet-stream")
            self.send_header("Connection", "close")
            self.end_headers()
            self.wfile.write(body)
            self.wfile.flush()
            released.wait(300)
            self.close_connection = True
            return
        self.head(200, len(body))
        if mode == "/hold/":
            self.wfile.write(body[: len(body) // 2])
            self.wfile.flush()
            released.wait(300)
            self.wfile.write(body[len(body) // 2:])
        elif mode == "/trickle/":
            try:
                for i in range(len(body)):
                    self.wfile.write(body[i:i + 1])
                    self.wfile.flush()
                    if released.wait(0.1):
                        break
            except OSError:
                pass
            self.close_connection = True
        elif mode == "/short/":
            self.wfile.write(body[: len(body) // 2])
            self.wfile.flush()
            self.close_connection = True
        else:
            self.wfile.write(body)


def main():
    server = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    server.daemon_threads = True
    closed = socket.socket()
    closed.bind(("127.0.0.1", 0))
    silent = socket.socket()
    silent.bind(("127.0.0.1", 0))
    silent.listen(16)  # the kernel completes the connections; nobody ever reads them
    print(server.server_address[1], closed.getsockname()[1], silent.getsockname()[1],
          flush=True)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    sys.stdin.read()
    released.set()


if __name__ == "__main__":
    main()
