#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# End-to-end test of two gateways in the real program: two loopback gateways on two ports with
# two keys; the conversation on the first sends to it, and a new conversation, made on the
# default gateway (the second), sends to that one with its key and its first model. Checks the
# requests each gateway received and what data.json keeps of each conversation's gateway.
# Usage: e2e_gateways.sh path/to/corvane
set -euo pipefail

app=$(realpath "$1")
here=$(dirname "$(realpath "$0")")
for tool in xvfb-run xdotool python3; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done

# shellcheck source=lib.sh
. "$here/lib.sh"

make_work
start_gateway 1
start_gateway 2

make_home
relay=1B4E28BA-2FA1-11D2-883F-0016D3CCA427
cat > "$data" <<JSON
{"settings":{"baseURL":"http://127.0.0.1:$(cat "$work/port1")/v1","apiKey":"sk-first","model":"first-model","systemPrompt":"","models":[],"providers":[{"id":"$relay","name":"中转","baseURL":"http://127.0.0.1:$(cat "$work/port2")/v1","apiKey":"sk-second","models":["second-model","other"]}],"defaultProvider":"$relay"},"conversations":[{"id":"0F8FAD5B-D9CB-469F-A165-70867728950E","title":"First","messages":[],"createdAt":1}]}
JSON

cat > "$work/drive.sh" <<'DRIVE'
set -euo pipefail
. "$LIB"
start_app '^First$'
xdotool type --delay 20 'On the first'
xdotool key Return
for _ in $(seq 200); do [ -s "$WORK/requests1.jsonl" ] && grep -q 'test gateway.' "$DATA" && break; sleep 0.1; done
xdotool key --clearmodifiers ctrl+n
sleep 0.5
xdotool type --delay 20 'On the second'
xdotool key Return
for _ in $(seq 200); do [ -s "$WORK/requests2.jsonl" ] && [ "$(grep -o 'test gateway.' "$DATA" | wc -l)" = 2 ] && break; sleep 0.1; done
kill -TERM $app
wait $app || true
trap - EXIT
DRIVE

run_drive

python3 - "$data" "$work" "$relay" <<'CHECK'
import json, sys
data_path, work, relay = sys.argv[1:]

def check(condition, what):
    if not condition:
        sys.exit(f"FAIL: {what}")

def requests(n):
    try:
        return [json.loads(line) for line in open(f"{work}/requests{n}.jsonl", encoding="utf-8")]
    except FileNotFoundError:
        return []

one, two = requests(1), requests(2)
check(len(one) == 1 and len(two) == 1, f"one request each, got {len(one)} and {len(two)}")
check((one[0]["authorization"], one[0]["body"]["model"]) == ("Bearer sk-first", "first-model"),
      f"first gateway's request {one[0]}")
check(one[0]["body"]["messages"] == [{"role": "user", "content": "On the first"}], f"first body {one[0]['body']}")
check((two[0]["authorization"], two[0]["body"]["model"]) == ("Bearer sk-second", "second-model"),
      f"second gateway's request {two[0]}")
check(two[0]["body"]["messages"] == [{"role": "user", "content": "On the second"}], f"second body {two[0]['body']}")

convs = {c["title"]: c for c in json.load(open(data_path, encoding="utf-8"))["conversations"]}
check(set(convs) == {"First", "On the second"}, f"titles {list(convs)}")
check("provider" not in convs["First"], f"the first stays on the first gateway: {convs['First']}")
check(convs["On the second"].get("provider") == relay and convs["On the second"].get("model") == "second-model",
      f"the new one is on the default gateway: {convs['On the second']}")
print("PASS: two gateways end to end")
CHECK
