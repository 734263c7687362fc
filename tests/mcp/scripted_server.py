#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""A tool server that misbehaves on purpose, for the MCP client's tests.

    scripted_server.py MODE

Speaks newline-delimited JSON-RPC on stdin and stdout; what it notices goes to stderr, which the
client keeps as the server's log. Modes:
  paged     three pages of tools; "grow" adds a tool and says the list changed; "wait" never
            answers; asks the client for a ping and for something it does not offer
  crash     dies with exit code 3 in the middle of a call
  silent    reads everything, answers nothing
  garbage   writes lines that are not JSON-RPC between its answers
  version   answers the handshake with a version nobody knows
  group     starts a child that ignores SIGTERM in its own process group, then serves as paged
"""
import json
import os
import signal
import subprocess
import sys

mode = sys.argv[1]
tools = [f"tool{i}" for i in range(5)]


def send(message):
    sys.stdout.write(json.dumps(message) + "\n")
    sys.stdout.flush()


def log(text):
    sys.stderr.write(text + "\n")
    sys.stderr.flush()


def answer(request, result):
    send({"jsonrpc": "2.0", "id": request["id"], "result": result})


log(f"started in {os.getcwd()} with CORVANE_TEST_VALUE={os.environ.get('CORVANE_TEST_VALUE')}"
    f" HOME={os.environ.get('HOME')}")

if mode == "group":
    child = subprocess.Popen(
        [sys.executable, "-c",
         "import signal, time; signal.signal(signal.SIGTERM, signal.SIG_IGN); time.sleep(600)"])
    log(f"child {child.pid}")
    mode = "paged"

for line in sys.stdin:
    message = json.loads(line)
    method = message.get("method")
    if mode == "silent":
        continue
    if mode == "garbage":
        sys.stdout.write("Starting server... (not JSON)\n{\"half\":\n[1,2,3]\n\n")
        sys.stdout.flush()
    if "method" not in message:
        # The client's answer to one of our requests.
        log(f"answer {message.get('id')} {json.dumps(message.get('result', message.get('error')))}")
        continue
    if method == "initialize":
        version = "1999-01-01" if mode == "version" else message["params"]["protocolVersion"]
        log(f"client {json.dumps(message['params'], sort_keys=True)}")
        answer(message, {"protocolVersion": version, "capabilities": {"tools": {"listChanged": True}},
                         "serverInfo": {"name": "scripted", "version": "1"}})
    elif method == "notifications/initialized":
        if mode == "paged":
            send({"jsonrpc": "2.0", "id": "s1", "method": "ping"})
            send({"jsonrpc": "2.0", "id": "s2", "method": "sampling/createMessage", "params": {}})
    elif method == "notifications/cancelled":
        log(f"cancelled {message['params']['requestId']} {message['params'].get('reason')}")
    elif method == "tools/list":
        cursor = int((message.get("params") or {}).get("cursor") or 0)
        page = tools[cursor:cursor + 2]
        result = {"tools": [{"name": t, "description": f"about {t}",
                             "inputSchema": {"type": "object"}} for t in page]}
        if mode == "paged":
            result["tools"].append({"name": "background", "inputSchema": {"type": "object"},
                                    "execution": {"taskSupport": "required"}})
        if cursor + 2 < len(tools):
            result["nextCursor"] = str(cursor + 2)
        answer(message, result)
    elif method == "tools/call":
        name = message["params"]["name"]
        if mode == "crash":
            log("boom: the database went away")
            sys.exit(3)
        if name == "wait":
            continue
        if name == "grow":
            tools.append(f"tool{len(tools)}")
            send({"jsonrpc": "2.0", "method": "notifications/tools/list_changed"})
        answer(message, {"content": [{"type": "text", "text": f"called {name}"}]})
    elif "id" in message:
        send({"jsonrpc": "2.0", "id": message["id"],
              "error": {"code": -32601, "message": "Method not found"}})
