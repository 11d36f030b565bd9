#!/usr/bin/env python3
"""A small forward HTTP proxy on 127.0.0.1 for the transfer client's proxy settings.

Usage: loopback_proxy.py [USER:PASSWORD]. Prints its port on the first line. For every request
it prints one line "<request line> | <Proxy-Authorization or '-'>", then fetches the absolute
URL from the server it names and hands the answer back. With USER:PASSWORD a request without
those credentials gets 407. Ends when its standard input closes, or after five minutes.
"""
import base64
import http.client
import sys
import threading
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from urllib.parse import urlsplit

LIFETIME_S = 300
WANTED = ("Basic " + base64.b64encode(sys.argv[1].encode()).decode()) if len(sys.argv) > 1 else None
out_lock = threading.Lock()


class Proxy(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def do_GET(self):
        auth = self.headers.get("Proxy-Authorization")
        with out_lock:
            print(self.requestline, "|", auth or "-", flush=True)
        if WANTED and auth != WANTED:
            self.send_response(407)
            self.send_header("Proxy-Authenticate", 'Basic realm="proxy"')
            self.send_header("Content-Length", "0")
            self.end_headers()
            return
        url = urlsplit(self.path)
        target = http.client.HTTPConnection(url.hostname, url.port or 80, timeout=30)
        headers = {k: v for k, v in self.headers.items()
                   if k.lower() not in ("proxy-authorization", "proxy-connection", "connection")}
        target.request("GET", url.path + ("?" + url.query if url.query else ""), headers=headers)
        answer = target.getresponse()
        body = answer.read()
        self.send_response(answer.status)
        for name, value in answer.getheaders():
            if name.lower() not in ("content-length", "connection", "transfer-encoding"):
                self.send_header(name, value)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)
        target.close()


def main():
    server = ThreadingHTTPServer(("127.0.0.1", 0), Proxy)
    server.daemon_threads = True
    print(server.server_address[1], flush=True)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    done = threading.Event()
    threading.Thread(target=lambda: (sys.stdin.read(), done.set()), daemon=True).start()
    done.wait(LIFETIME_S)
    server.shutdown()


if __name__ == "__main__":
    main()
