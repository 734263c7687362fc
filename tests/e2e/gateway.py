#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""A loopback chat-completions gateway for the end-to-end test.

Listens on 127.0.0.1 (a free port, written to PORT_FILE), records every request as one JSON
line in LOG_FILE and answers each with a short event stream that ends with [DONE].
Usage: gateway.py PORT_FILE LOG_FILE
"""
import json
import sys
from http.server import BaseHTTPRequestHandler, HTTPServer

REPLY = ["Hello", " from the ", "test gateway."]


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def do_POST(self):
        length = int(self.headers.get("Content-Length", "0"))
        body = self.rfile.read(length)
        with open(sys.argv[2], "a", encoding="utf-8") as log:
            log.write(json.dumps({
                "path": self.path,
                "authorization": self.headers.get("Authorization"),
                "contentType": self.headers.get("Content-Type"),
                "body": json.loads(body.decode("utf-8")),
            }, ensure_ascii=False) + "\n")
        events = [{"choices": [{"delta": {"content": text}}]} for text in REPLY]
        payload = "".join(f"data: {json.dumps(e)}\n\n" for e in events) + "data: [DONE]\n\n"
        data = payload.encode("utf-8")
        self.send_response(200)
        self.send_header("Content-Type", "text/event-stream")
        self.send_header("Content-Length", str(len(data)))
        self.end_headers()
        self.wfile.write(data)

    def log_message(self, *args):
        pass


server = HTTPServer(("127.0.0.1", 0), Handler)
with open(sys.argv[1], "w") as f:
    f.write(str(server.server_address[1]))
server.serve_forever()
