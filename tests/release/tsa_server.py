#!/usr/bin/env python3
"""A throw-away RFC 3161 time-stamping service for the signing test.

  tsa_server.py CONFIG      (run in the folder that CONFIG's paths are relative to)

Answers every POST with `openssl ts -reply` for the query in its body, prints
the port it listens on (127.0.0.1) on the first line and serves until killed.
"""
import http.server
import subprocess
import sys
import tempfile


class Handler(http.server.BaseHTTPRequestHandler):
    def do_POST(self):
        query = self.rfile.read(int(self.headers["Content-Length"]))
        with tempfile.NamedTemporaryFile() as q:
            q.write(query)
            q.flush()
            reply = subprocess.run(["openssl", "ts", "-reply", "-config", sys.argv[1], "-queryfile", q.name,
                                    "-out", "/dev/stdout"], capture_output=True)
        self.send_response(200 if reply.returncode == 0 else 500)
        self.send_header("Content-Type", "application/timestamp-reply")
        self.send_header("Content-Length", str(len(reply.stdout)))
        self.end_headers()
        self.wfile.write(reply.stdout)

    def log_message(self, *args):
        pass


server = http.server.HTTPServer(("127.0.0.1", 0), Handler)
print(server.server_address[1], flush=True)
server.serve_forever()
