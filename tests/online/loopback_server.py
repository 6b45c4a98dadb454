#!/usr/bin/env python3
"""A loopback HTTP(S) server for the online tests.

Serves files below --root. Beside a file, a marker file changes the answer:
  NAME.redirect  302 to the URL it holds       NAME.status  answer with that status
  NAME.stall     headers, then nothing         NAME.hang    no answer at all
  NAME.cut       announce NAME whole, send half, close
  NAME.big       N bytes of 'x' (N is the marker's text)
Every request is appended to --log as one JSON line (method, path, content type, body).
A POST answers with NAME.post when it exists, else "1". Prints the port once listening.
"""
import argparse
import json
import os
import socketserver
import ssl
import sys
import threading
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

args = None
log_lock = threading.Lock()


def marker(path, kind):
    f = os.path.join(args.root, path.lstrip("/") + "." + kind)
    if os.path.isfile(f):
        with open(f, "rb") as fh:
            return fh.read()
    return None


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *a):
        pass

    def record(self, body=b""):
        with log_lock, open(args.log, "a") as fh:
            fh.write(json.dumps({"method": self.command, "path": self.path,
                                 "type": self.headers.get("Content-Type", ""),
                                 "body": body.decode("latin-1")}) + "\n")

    def send_body(self, status, data):
        self.send_response(status)
        self.send_header("Content-Length", str(len(data)))
        self.end_headers()
        self.wfile.write(data)

    def do_GET(self):
        self.record()
        p = self.path.split("?")[0]
        m = marker(p, "redirect")
        if m is not None:
            self.send_response(302)
            self.send_header("Location", m.decode().strip())
            self.send_header("Content-Length", "0")
            self.end_headers()
            return
        m = marker(p, "status")
        if m is not None:
            self.send_body(int(m), b"x")
            return
        if marker(p, "hang") is not None:
            time.sleep(60)
            return
        if marker(p, "stall") is not None:
            self.send_response(200)
            self.send_header("Content-Length", "100000")
            self.end_headers()
            self.wfile.write(b"x" * 10)
            self.wfile.flush()
            time.sleep(60)
            return
        m = marker(p, "big")
        if m is not None:
            n = int(m)
            self.send_response(200)
            self.send_header("Content-Length", str(n))
            self.end_headers()
            chunk = b"x" * 65536
            try:
                while n > 0:
                    k = min(n, len(chunk))
                    self.wfile.write(chunk[:k])
                    n -= k
            except OSError:
                pass
            return
        f = os.path.join(args.root, p.lstrip("/"))
        if not os.path.isfile(f):
            self.send_body(404, b"not found")
            return
        with open(f, "rb") as fh:
            data = fh.read()
        if marker(p, "cut") is not None:
            self.send_response(200)
            self.send_header("Content-Length", str(len(data)))
            self.end_headers()
            self.wfile.write(data[: len(data) // 2])
            self.wfile.flush()
            self.close_connection = True
            return
        self.send_body(200, data)

    def do_POST(self):
        n = int(self.headers.get("Content-Length", "0"))
        body = self.rfile.read(n)
        self.record(body)
        p = self.path.split("?")[0]
        if marker(p, "hang") is not None:
            time.sleep(60)
            return
        m = marker(p, "post")
        self.send_body(200, m if m is not None else b"1")


class Server(ThreadingHTTPServer):
    daemon_threads = True
    allow_reuse_address = True


def main():
    global args
    ap = argparse.ArgumentParser()
    ap.add_argument("--root", required=True)
    ap.add_argument("--log", required=True)
    ap.add_argument("--cert")
    ap.add_argument("--key")
    args = ap.parse_args()
    server = Server(("127.0.0.1", 0), Handler)
    if args.cert:
        ctx = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        ctx.load_cert_chain(args.cert, args.key)
        server.socket = ctx.wrap_socket(server.socket, server_side=True)
    print(server.server_address[1], flush=True)
    # End with the test: standard input closes when the test process goes away.
    threading.Thread(target=lambda: (sys.stdin.read(), os._exit(0)), daemon=True).start()
    server.serve_forever()


if __name__ == "__main__":
    main()
