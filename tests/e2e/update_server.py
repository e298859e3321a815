#!/usr/bin/env python3
"""Update server for the launcher's end-to-end tests, on loopback only.

Serves the updater and the awkward roads to it (redirect chains, a cookie
set on a redirect, a password, a missing file) over HTTP, and the same over
HTTPS with a self-signed certificate. With --ca-https-port, also over HTTPS
for "localhost" with a certificate from a test authority, whose certificate
goes to --test-ca for the client to trust; with --unknown-ca-https-port, the
same from another authority that nobody trusts. Every request goes, with its
headers and the port it came to, as one JSON line into the log file.

With --keys, it also serves the updater signed by Debian's minisign:
/signed/<how>/<comment>/updater and, beside it, updater.minisig, where <how>
is prehashed, legacy, otherkey (a key of its own), tampered (one byte of the
body changed), nosig (no .minisig) or redirect (both answered by a redirect
to prehashed), and <comment> is v<A.B.C.D> (a trusted comment with that
version) or none (minisign's own comment). And roads that test the transfer:
/slow/announced and /slow/unannounced (1 KiB every 100 ms, with and without
Content-Length), /huge/announced and /huge/unannounced (more than 128 MiB),
/short (half the body it announces).
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
import time

USER, PASSWORD = "pilote", "planeur"


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def record(self):
        entry = {"path": self.path, "method": self.command, "version": self.request_version,
                 "secure": isinstance(self.connection, ssl.SSLSocket), "port": self.server.server_port,
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

    def streamed(self, chunks, length=None):
        """Sends the chunks as they come; without a length, the end of the connection ends the body."""
        self.send_response(200)
        if length is None:
            self.send_header("Connection", "close")
            self.close_connection = True
        else:
            self.send_header("Content-Length", str(length))
        self.end_headers()
        try:
            for chunk in chunks:
                self.wfile.write(chunk)
                self.wfile.flush()
        except (BrokenPipeError, ConnectionResetError):
            pass
        self.close_connection = True

    def slow(self):
        data = self.server.updater
        for start in range(0, len(data), 1024):
            time.sleep(0.1)
            yield data[start:start + 1024]

    def signed(self, parts):
        """/signed/<how>/<comment>/updater[.minisig]"""
        how, comment, name = parts[1], parts[2], parts[3]
        if how == "redirect":
            target = "/signed/prehashed/%s/%s" % (comment, name)
            return self.send(302, headers=[("Location", target)])
        if name == "updater":
            body = self.server.updater
            if how == "tampered":
                body = body[:1000] + bytes([body[1000] ^ 1]) + body[1001:]
            return self.send(200, body, [("Content-Type", "application/octet-stream")])
        if how == "nosig":
            return self.send(404, b"no signature here")
        trusted = "timestamp:1765380000\tfile:MaJLanceur.exe"
        if comment.startswith("v"):
            trusted += "\tversion:" + comment[1:]
        key = self.server.other_key if how == "otherkey" else self.server.key
        self.send(200, sign(self.server.updater, key, trusted, legacy=how == "legacy"),
                  [("Content-Type", "text/plain")])

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
        elif path == "/redirect-with-body":
            self.send(302, b"Moved: " + b"x" * 5000, [("Location", "/updater")])
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
        elif parts[0] == "signed" and len(parts) == 4 and parts[3] in ("updater", "updater.minisig"):
            self.signed(parts)
        elif path == "/slow/announced":
            self.streamed(self.slow(), len(self.server.updater))
        elif path == "/slow/unannounced":
            self.streamed(self.slow())
        elif path == "/huge/announced":
            self.streamed((bytes(1 << 20) for _ in range(200)), 200 << 20)
        elif path == "/huge/unannounced":
            self.streamed(bytes(1 << 20) for _ in range(200))
        elif path == "/short":
            half = self.server.updater[:len(self.server.updater) // 2]
            self.streamed([half], len(self.server.updater))
        else:
            self.send(404, b"<html><body>Introuvable</body></html>", [("Content-Type", "text/html")])


def sign(data, key, trusted, legacy):
    """The .minisig of data by Debian's minisign, with this trusted comment."""
    with tempfile.TemporaryDirectory() as work:
        path = os.path.join(work, "updater")
        with open(path, "wb") as f:
            f.write(data)
        subprocess.run(["minisign", "-S", "-s", key, "-m", path, "-t", trusted] + (["-l"] if legacy else []),
                       check=True, capture_output=True)
        with open(path + ".minisig", "rb") as f:
            return f.read()


def openssl(*args):
    subprocess.run(["openssl"] + list(args), check=True, capture_output=True)


def localhost_certificate(folder, name):
    """A certificate authority of its own, and the pair (certificate, key) it issues to "localhost"."""
    ca, ca_key = os.path.join(folder, name + "-ca.pem"), os.path.join(folder, name + "-ca.key")
    cert, key = os.path.join(folder, name + ".pem"), os.path.join(folder, name + ".key")
    openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "1", "-subj", "/CN=Tarvik %s CA" % name,
            "-keyout", ca_key, "-out", ca)
    openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "1", "-subj", "/CN=localhost",
            "-CA", ca, "-CAkey", ca_key, "-addext", "subjectAltName=DNS:localhost",
            "-addext", "basicConstraints=critical,CA:FALSE", "-addext", "extendedKeyUsage=serverAuth",
            "-keyout", key, "-out", cert)
    return ca, cert, key


def secure(server, cert, key):
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(cert, key)
    server.socket = context.wrap_socket(server.socket, server_side=True)


def serve(server):
    server.serve_forever(poll_interval=0.2)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--http-port", type=int, required=True)
    parser.add_argument("--https-port", type=int, required=True)
    parser.add_argument("--ca-https-port", type=int, help="HTTPS for localhost, by the test authority")
    parser.add_argument("--unknown-ca-https-port", type=int, help="HTTPS for localhost, by an unknown authority")
    parser.add_argument("--test-ca", help="where the test authority's certificate goes, in DER")
    parser.add_argument("--updater", required=True, help="file served as the updater")
    parser.add_argument("--log", required=True)
    parser.add_argument("--ready", required=True, help="file written once every server listens")
    parser.add_argument("--keys", help="folder with the minisign key pair test.key/test.pub")
    args = parser.parse_args()

    with open(args.updater, "rb") as f:
        updater = f.read()
    open(args.log, "w").close()
    lock = threading.Lock()
    servers = []
    ports = [args.http_port, args.https_port] + [p for p in (args.ca_https_port, args.unknown_ca_https_port) if p]
    for port in ports:
        server = http.server.ThreadingHTTPServer(("127.0.0.1", port), Handler)
        server.updater, server.log_path, server.log_lock, server.http_port = updater, args.log, lock, args.http_port
        servers.append(server)

    other_keys = tempfile.TemporaryDirectory()
    for server in servers:
        server.key = server.other_key = None
    if args.keys:
        other = os.path.join(other_keys.name, "other.key")
        subprocess.run(["minisign", "-G", "-W", "-p", os.path.join(other_keys.name, "other.pub"), "-s", other],
                       check=True, capture_output=True)
        for server in servers:
            server.key, server.other_key = os.path.join(args.keys, "test.key"), other

    with tempfile.TemporaryDirectory() as keys:
        cert, key = os.path.join(keys, "cert.pem"), os.path.join(keys, "key.pem")
        openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "1", "-subj", "/CN=127.0.0.1",
                "-keyout", key, "-out", cert)
        secure(servers[1], cert, key)
        if args.ca_https_port:
            ca, cert, key = localhost_certificate(keys, "test")
            secure(servers[ports.index(args.ca_https_port)], cert, key)
            with open(ca) as f, open(args.test_ca, "wb") as out:
                out.write(ssl.PEM_cert_to_DER_cert(f.read()))
        if args.unknown_ca_https_port:
            _, cert, key = localhost_certificate(keys, "unknown")
            secure(servers[ports.index(args.unknown_ca_https_port)], cert, key)

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
