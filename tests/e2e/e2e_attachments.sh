#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# End-to-end test of attachments in the real program: a screenshot and a copied source file are
# pasted into the composer with xclip and sent with a line of text. Checks the request's parts,
# that the image sent is the stored file byte for byte, the folder's and files' modes, and that
# data.json holds only the files' descriptions.
# Usage: e2e_attachments.sh path/to/corvane
set -euo pipefail

app=$(realpath "$1")
here=$(dirname "$(realpath "$0")")
for tool in xvfb-run xdotool xclip python3; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done

# shellcheck source=lib.sh
. "$here/lib.sh"

make_work
start_gateway 1

make_home
cat > "$data" <<JSON
{"settings":{"baseURL":"http://127.0.0.1:$(cat "$work/port1")/v1","apiKey":"sk-e2e","model":"vision-model","systemPrompt":"","models":[]},"conversations":[{"id":"0F8FAD5B-D9CB-469F-A165-70867728950E","title":"First","messages":[],"createdAt":1}]}
JSON
printf 'def double(x):\n    return x * 2\n' > "$work/util.py"
# An opaque 640x400 screenshot, as a PNG.
python3 - "$work/shot.png" <<'PNG'
import struct, sys, zlib
w, h = 640, 400
rows = b"".join(b"\0" + b"".join(bytes((x % 256, y % 256, 128, 255)) for x in range(w))
               for y in range(h))
def chunk(kind, body):
    return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))
png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 6, 0, 0, 0)) \
    + chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b"")
open(sys.argv[1], "wb").write(png)
PNG

cat > "$work/drive.sh" <<'DRIVE'
set -euo pipefail
. "$LIB"
start_app '^First$'
xclip -selection clipboard -t image/png -i "$WORK/shot.png"
xdotool key --clearmodifiers ctrl+v
sleep 1
printf 'file://%s\n' "$WORK/util.py" | xclip -selection clipboard -t text/uri-list -i
xdotool key --clearmodifiers ctrl+v
sleep 1
xdotool type --delay 20 'What is this'
xdotool key Return
for _ in $(seq 200); do [ -s "$WORK/requests1.jsonl" ] && grep -q 'test gateway.' "$DATA" && break; sleep 0.1; done
kill -TERM $app
wait $app || true
trap - EXIT
DRIVE

run_drive

python3 - "$data" "$work" <<'CHECK'
import base64, hashlib, json, os, stat, sys
data_path, work = sys.argv[1:]

def check(condition, what):
    if not condition:
        sys.exit(f"FAIL: {what}")

requests = [json.loads(line) for line in open(f"{work}/requests1.jsonl", encoding="utf-8")]
check(len(requests) == 1, f"one request, got {len(requests)}")
parts = requests[0]["body"]["messages"][-1]["content"]
check(isinstance(parts, list) and len(parts) == 2, f"text and image parts, got {parts!r:.300}")
text, image = parts
check(text["type"] == "text" and text["text"].startswith("What is this"), f"text first: {text!r:.200}")
check("util.py" in text["text"] and "return x * 2" in text["text"] and "```py" in text["text"],
      f"the file fenced in the text: {text['text']!r}")
url = image["image_url"]["url"]
prefix = "data:image/jpeg;base64,"
check(image["type"] == "image_url" and url.startswith(prefix), f"an opaque screenshot goes as JPEG: {url[:40]}")
sent = base64.b64decode(url[len(prefix):])

raw = open(data_path, "rb").read()
check(b"base64" not in raw and len(raw) < 4096, f"data.json holds no file bytes ({len(raw)} bytes)")
message = json.loads(raw)["conversations"][0]["messages"][0]
files = message.get("attachments", [])
check([f["name"] for f in files][1:] == ["util.py"] and files[0]["type"] == "image/jpeg",
      f"the message keeps both files in order: {files}")
folder = os.path.join(os.path.dirname(data_path), "attachments")
check(stat.S_IMODE(os.stat(folder).st_mode) == 0o700, "the folder is 0700")
for f in files:
    path = os.path.join(folder, f["sha256"])
    check(stat.S_IMODE(os.stat(path).st_mode) == 0o600, f"{f['name']} is 0600")
    check(hashlib.sha256(open(path, "rb").read()).hexdigest() == f["sha256"], f"{f['name']} is named by its hash")
check(hashlib.sha256(sent).hexdigest() == files[0]["sha256"], "the image sent is the stored file")
print("PASS: attachments end to end")
CHECK
