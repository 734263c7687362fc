#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# End-to-end test of the real program: starts it in a virtual X display with a temporary home
# and a loopback gateway, drives it with xdotool (new conversation, a message and Return, the
# zoom keys, a second message answered by a reasoning model), starts it a second time, types into
# the Settings window and sends SIGTERM at once, then checks data.json, the requests the gateway
# received, the zoom setting and grabs of the screen.
# Usage: e2e_app.sh path/to/corvane [screenshot.png [thinking.png]]
set -euo pipefail

app=$(realpath "$1")
shot=${2:-}
thinking=${3:-}
here=$(dirname "$(realpath "$0")")
for tool in xvfb-run xdotool import python3; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done

# shellcheck source=lib.sh
. "$here/lib.sh"

make_work
start_gateway ""
port=$(cat "$work/port")

home="$work/home"
mkdir -p "$home/.local/share/Corvane" "$home/.config" "$work/runtime"
chmod 700 "$work/runtime"
cat > "$home/.local/share/Corvane/data.json" <<JSON
{"settings":{"baseURL":"http://127.0.0.1:$port/v1","apiKey":"sk-e2e","model":"e2e-model","systemPrompt":"","models":[]},"conversations":[]}
JSON
data="$home/.local/share/Corvane/data.json"
conf="$home/.config/Corvane/Corvane.conf"

# The part that runs inside the virtual display.
cat > "$work/drive.sh" <<'DRIVE'
set -euo pipefail
# QSG_INFO: the log says how frames are drawn.
QSG_INFO=1 "$APP" >"$WORK/app.log" 2>&1 &
app=$!
trap 'kill $app 2>/dev/null || true' EXIT
# The visible windows whose name matches, waiting up to 20 s for one. A search fails with
# BadWindow when a window (a popup, a tooltip) goes away while it looks: it is tried again.
windows() {
  local found
  for _ in $(seq 100); do
    found=$(xdotool search --onlyvisible --name "$1" 2>/dev/null) && [ -n "$found" ] &&
      { echo "$found"; return 0; }
    sleep 0.2
  done
  return 1
}
window=$(windows '^Corvane$' | head -n1)
sleep 1
# Without a window manager nothing has the keyboard until a click.
xdotool mousemove --window "$window" 600 300 click 1
xdotool key --clearmodifiers ctrl+n
for _ in $(seq 100); do grep -q '"title":"新对话"' "$DATA" && break; sleep 0.1; done
sleep 0.5
xdotool type --delay 20 'Hello e2e'
xdotool key Return
for _ in $(seq 200); do grep -q 'test gateway.' "$DATA" && break; sleep 0.1; done
xdotool key --clearmodifiers ctrl+plus ctrl+plus ctrl+equal ctrl+minus
sleep 0.5
# A reasoning reply: grabbed while it thinks, and once it has answered.
xdotool type --delay 20 'Think e2e'
xdotool key Return
sleep 2
import -window root "$WORK/thinking.png"
for _ in $(seq 200); do grep -q '这是答案' "$DATA" && break; sleep 0.1; done
sleep 0.5
import -window root "$WORK/shot.png"

# A second start on the same data leaves it to the first and ends.
status=0
timeout 20 "$APP" >"$WORK/second.log" 2>&1 || status=$?
echo "$status" >"$WORK/second.status"
windows '^(Hello e2e|Corvane)$' | wc -l >"$WORK/windows"

# Typing in Settings, then SIGTERM before the delayed save: the text reaches the file.
xdotool key --clearmodifiers ctrl+comma
settings=$(windows '^设置$' | head -n1)
sleep 0.5
# The first gateway's API Key field.
xdotool mousemove --window "$settings" 480 131 click 1
xdotool key ctrl+a
xdotool type --delay 10 'sk-typed'
kill -TERM $app
status=0
wait $app || status=$?
echo "$status" >"$WORK/quit.status"
trap - EXIT
DRIVE

unset QT_QPA_PLATFORM
HOME="$home" XDG_DATA_HOME="$home/.local/share" XDG_CONFIG_HOME="$home/.config" \
  XDG_RUNTIME_DIR="$work/runtime" APP="$app" WORK="$work" DATA="$data" \
  xvfb-run -a -s "-screen 0 1280x800x24" bash "$work/drive.sh" || fail "the drive script failed: $(cat "$work/app.log")"

[ -n "$shot" ] && cp "$work/shot.png" "$shot"
[ -n "$thinking" ] && cp "$work/thinking.png" "$thinking"

python3 - "$data" "$work/requests.jsonl" "$conf" "$work" <<'CHECK'
import json, subprocess, sys
data_path, requests_path, conf_path, work = sys.argv[1:]

def check(condition, what):
    if not condition:
        sys.exit(f"FAIL: {what}")

def read(name):
    return open(f"{work}/{name}", encoding="utf-8").read().strip()

data = json.load(open(data_path, encoding="utf-8"))
convs = data["conversations"]
check(len(convs) == 1, f"one conversation, got {len(convs)}")
messages = [(m["role"], m["content"], m.get("reasoning")) for m in convs[0]["messages"]]
check(messages == [("user", "Hello e2e", None), ("assistant", "Hello from the test gateway.", None),
                   ("user", "Think e2e", None),
                   ("assistant", "思考完毕：这是答案。", "用户想看看**思考过程**是否单独显示。\n\n- 先想一想\n- 再回答")],
      f"messages {messages}")
check(convs[0]["title"] == "Hello e2e", f"title {convs[0]['title']!r}")

requests = [json.loads(line) for line in open(requests_path, encoding="utf-8")]
check(len(requests) == 2, f"two requests, got {len(requests)}")
r = requests[0]
check((r["path"], r["authorization"]) == ("/v1/chat/completions", "Bearer sk-e2e"), f"request {r}")
check(r["body"] == {"model": "e2e-model", "stream": True,
                    "messages": [{"role": "user", "content": "Hello e2e"}]}, f"body {r['body']}")
# The history sent back holds contents only.
check(requests[1]["body"]["messages"] == [
    {"role": "user", "content": "Hello e2e"},
    {"role": "assistant", "content": "Hello from the test gateway."},
    {"role": "user", "content": "Think e2e"}], f"history {requests[1]['body']['messages']}")

# ctrl+plus twice, the ctrl+= alias, ctrl+minus: 1.1, 1.2, 1.3, 1.2
zoom = [l.split("=", 1)[1].strip() for l in open(conf_path) if l.startswith("textZoom=")]
check(zoom == ["1.2"], f"textZoom {zoom}")

# Xvfb offers no direct rendering, so OpenGL would run on the processor: Qt Quick's software
# renderer draws instead.
check("Loading backend software" in read("app.log"), "frames are not drawn by the software renderer")

# The grab shows a drawn window, not an empty screen.
spread = subprocess.run(["convert", f"{work}/shot.png", "-format", "%[fx:standard_deviation]", "info:"],
                        capture_output=True, text=True, check=True).stdout
check(float(spread) > 0.05, f"screen grab looks empty (deviation {spread})")
# The second start ends with 0 and leaves one main window; SIGTERM ends the first with 0.
ends = [read(name) for name in ("second.status", "windows", "quit.status")]
check(ends == ["0", "1", "0"], f"second start, windows, SIGTERM: {ends}")
check("sk-typed" in data["settings"]["apiKey"] + data["settings"]["baseURL"],
      f"the typed text is not in the file: {data['settings']}")
print("PASS: end-to-end")
CHECK
