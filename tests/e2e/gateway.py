#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""A loopback chat-completions gateway for the end-to-end test.

Listens on 127.0.0.1 (a free port, written to PORT_FILE), records every request as one JSON
line in LOG_FILE and answers each with a short event stream that ends with [DONE]. A message
that starts with "Think" is answered by a reasoning model: its reasoning streams for about three
seconds before the answer.
Usage: gateway.py PORT_FILE LOG_FILE
"""
import json
import sys
import time
from http.server import BaseHTTPRequestHandler, HTTPServer

REPLY = ["Hello", " from the ", "test gateway."]
REASONING = ["用户想看看", "**思考过程**", "是否单独显示。\n\n", "- 先想一想\n", "- 再回答"]
ANSWER = ["思考完毕：", "这是答案。"]


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def do_POST(self):
        length = int(self.headers.get("Content-Length", "0"))
        body = self.rfile.read(length)
        with open(sys.argv[2], "a", encoding="utf-8") as log:
            log.write(json.dumps({
                "path": self.path,
                "authorization": self.headers.get("Authorization"),
                "body": json.loads(body.decode("utf-8")),
            }, ensure_ascii=False) + "\n")
        last = json.loads(body.decode("utf-8"))["messages"][-1]["content"]
        # A message with images comes as parts, its text first.
        if isinstance(last, list):
            last = "".join(part.get("text", "") for part in last)
        events = [{"choices": [{"delta": {"content": text}}]} for text in REPLY]
        if last.startswith("Think"):
            events = [{"choices": [{"delta": {"reasoning_content": text, "content": None}}]}
                      for text in REASONING]
            events += [{"choices": [{"delta": {"content": text}}]} for text in ANSWER]
        pieces = [f"data: {json.dumps(e)}\n\n".encode("utf-8") for e in events]
        pieces.append(b"data: [DONE]\n\n")
        self.send_response(200)
        self.send_header("Content-Type", "text/event-stream")
        self.send_header("Content-Length", str(sum(len(p) for p in pieces)))
        self.end_headers()
        for piece in pieces:
            self.wfile.write(piece)
            self.wfile.flush()
            if last.startswith("Think"):
                time.sleep(0.6)

    def log_message(self, *args):
        pass


server = HTTPServer(("127.0.0.1", 0), Handler)
with open(sys.argv[1], "w") as f:
    f.write(str(server.server_address[1]))
server.serve_forever()
