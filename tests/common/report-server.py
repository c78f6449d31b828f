#!/usr/bin/env python3
"""Keeps every POST body it receives as OUTDIR/reportNNN and answers 200.

usage: report-server.py PORTFILE OUTDIR  (listens on 127.0.0.1, a free port)
"""
import http.server
import os
import sys

port_file, out_dir = sys.argv[1], sys.argv[2]


class Handler(http.server.BaseHTTPRequestHandler):
    def do_POST(self):
        body = self.rfile.read(int(self.headers.get("Content-Length", "0")))
        name = os.path.join(out_dir, "report%03d" % len(os.listdir(out_dir)))
        with open(name + ".tmp", "wb") as f:
            f.write(body)
        os.rename(name + ".tmp", name)
        self.send_response(200)
        self.send_header("Content-Length", "2")
        self.end_headers()
        self.wfile.write(b"OK")

    def log_message(self, *args):
        pass


server = http.server.HTTPServer(("127.0.0.1", 0), Handler)
with open(port_file + ".tmp", "w") as f:
    f.write(str(server.server_address[1]))
os.rename(port_file + ".tmp", port_file)
server.serve_forever()
