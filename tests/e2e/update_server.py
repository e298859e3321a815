#!/usr/bin/env python3
"""Update server for the launcher's end-to-end tests, on loopback only.

Serves the updater and the awkward roads to it (redirect chains, a cookie
set on a redirect, a password, a missing file) over HTTP, and the same over
HTTPS with a self-signed certificate. Every request goes, with its headers,
as one JSON line into the log file.
"""
import argparse
import base64
import http.server
import json
import os
import ssl
import subprocess
import sys
import tempfile
import threading

USER, PASSWORD = "pilote", "planeur"


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def record(self):
        entry = {"path": self.path, "method": self.command, "version": self.request_version,
                 "secure": isinstance(self.connection, ssl.SSLSocket),
                 "headers": {k: v for k, v in self.headers.items()}}
        with self.server.log_lock, open(self.server.log_path, "a") as log:
            log.write(json.dumps(entry) + "\n")

    def send(self, status, body=b"", headers=()):
        self.send_response(status)
        for name, value in headers:
            self.send_header(name, value)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def updater(self):
        self.send(200, self.server.updater, [("Content-Type", "application/octet-stream")])

    def do_GET(self):
        self.record()
        path = self.path.split("?")[0]
        parts = path.strip("/").split("/")
        if path in ("/updater", "/Lanceur%20Tarvik/updater"):
            self.updater()
        elif parts[0] == "redirect" and len(parts) == 2 and parts[1].isdigit():
            left = int(parts[1])
            if left == 0:
                self.updater()
            elif left % 2:  # absolute and relative addresses in turn
                self.send(302, headers=[("Location", "http://127.0.0.1:%d/redirect/%d" % (self.server.http_port, left - 1))])
            else:
                self.send(301, headers=[("Location", "%d" % (left - 1))])
        elif path == "/not-a-program":
            self.send(200, b"Ceci n'est pas un programme.\n", [("Content-Type", "application/octet-stream")])
        elif path == "/cookie":
            self.send(302, headers=[("Set-Cookie", "tarvik=miel; Path=/"), ("Location", "/cookie-check")])
        elif path == "/cookie-check":
            if "tarvik=miel" in self.headers.get("Cookie", ""):
                self.updater()
            else:
                self.send(403, b"no cookie")
        elif path == "/auth":
            expected = "Basic " + base64.b64encode(("%s:%s" % (USER, PASSWORD)).encode()).decode()
            if self.headers.get("Authorization") == expected:
                self.updater()
            else:
                self.send(401, b"who are you?", [("WWW-Authenticate", 'Basic realm="Tarvik"')])
        elif path == "/redirect-nowhere":
            self.send(302, b"nowhere to go")
        else:
            self.send(404, b"<html><body>Introuvable</body></html>", [("Content-Type", "text/html")])


def serve(server):
    server.serve_forever(poll_interval=0.2)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--http-port", type=int, required=True)
    parser.add_argument("--https-port", type=int, required=True)
    parser.add_argument("--updater", required=True, help="file served as the updater")
    parser.add_argument("--log", required=True)
    parser.add_argument("--ready", required=True, help="file written once both servers listen")
    args = parser.parse_args()

    with open(args.updater, "rb") as f:
        updater = f.read()
    open(args.log, "w").close()
    lock = threading.Lock()
    servers = []
    for port in (args.http_port, args.https_port):
        server = http.server.ThreadingHTTPServer(("127.0.0.1", port), Handler)
        server.updater, server.log_path, server.log_lock, server.http_port = updater, args.log, lock, args.http_port
        servers.append(server)

    with tempfile.TemporaryDirectory() as keys:
        cert, key = os.path.join(keys, "cert.pem"), os.path.join(keys, "key.pem")
        subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "1",
                        "-subj", "/CN=127.0.0.1", "-keyout", key, "-out", cert],
                       check=True, capture_output=True)
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(cert, key)
        servers[1].socket = context.wrap_socket(servers[1].socket, server_side=True)

    threads = [threading.Thread(target=serve, args=(s,), daemon=True) for s in servers]
    for t in threads:
        t.start()
    with open(args.ready, "w") as f:
        f.write("ready\n")
    try:
        threading.Event().wait()
    except KeyboardInterrupt:
        pass
    return 0


if __name__ == "__main__":
    sys.exit(main())
