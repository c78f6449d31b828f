#!/usr/bin/env python3
"""Serves the demo's web checks on 127.0.0.1: check.txt, ad.json and a small ad.png.
Writes the base URL to the file named by the first argument, then serves until killed."""
import http.server
import struct
import sys
import zlib


def png(width, height):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)
    rows = b"".join(b"\0" + bytes([200, 120, 40, 255]) * width for _ in range(height))
    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b"")


class Handler(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        base = "http://127.0.0.1:%d" % self.server.server_port
        pages = {
            "/check.txt": (b"demo-ok", "text/plain"),
            "/ad.json": (('{"timestamp": "2026-01-01", "media": {"itemCount": 1, "item0": '
                          '{"image": "%s/ad.png", "link": "%s/game", "type": "image/png"}}}' % (base, base)).encode(),
                         "application/json"),
            "/ad.png": (png(8, 4), "image/png"),
        }
        body, kind = pages.get(self.path, (b"not here", "text/plain"))
        self.send_response(200 if self.path in pages else 404)
        self.send_header("Content-Type", kind)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def log_message(self, *args):
        pass


server = http.server.HTTPServer(("127.0.0.1", 0), Handler)
with open(sys.argv[1], "w") as out:
    out.write("http://127.0.0.1:%d\n" % server.server_port)
server.serve_forever()
