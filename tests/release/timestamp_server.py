#!/usr/bin/env python3
"""An RFC 3161 time-stamp server on loopback for the signing test.

timestamp_server.py <port> <tsa.pem> <tsa.key> <work folder>

Answers every POST of a time-stamp query with the reply of `openssl ts
-reply`, signed by the given certificate (extended key usage timeStamping).
"""
import http.server
import os
import subprocess
import sys

CONFIG = """[ tsa ]
default_tsa = test_tsa
[ test_tsa ]
serial = {work}/tsa-serial
signer_cert = {cert}
signer_key = {key}
signer_digest = sha256
default_policy = 1.2.3.4.1
digests = sha256, sha384, sha512
ess_cert_id_alg = sha256
"""


def main(argv):
    port, cert, key, work = int(argv[1]), argv[2], argv[3], argv[4]
    config = os.path.join(work, "tsa.cnf")
    with open(config, "w") as out:
        out.write(CONFIG.format(work=work, cert=cert, key=key))
    with open(os.path.join(work, "tsa-serial"), "w") as out:
        out.write("01\n")

    class Handler(http.server.BaseHTTPRequestHandler):
        def do_POST(self):
            query = self.rfile.read(int(self.headers["Content-Length"]))
            reply = subprocess.run(
                ["openssl", "ts", "-reply", "-config", config,
                 "-queryfile", "/dev/stdin", "-out", "/dev/stdout"],
                input=query, capture_output=True, check=True).stdout
            self.send_response(200)
            self.send_header("Content-Type", "application/timestamp-reply")
            self.send_header("Content-Length", str(len(reply)))
            self.end_headers()
            self.wfile.write(reply)

        def log_message(self, *args):
            pass

    http.server.HTTPServer(("127.0.0.1", port), Handler).serve_forever()


if __name__ == "__main__":
    main(sys.argv)
