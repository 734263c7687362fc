#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The English interface of the real program: started with the setting language=en on a history
# written in Chinese, its window is titled with the English name of the program's own default
# title, and a conversation made in English is still written with the Chinese title. Given a
# folder, it also grabs the screens to look at: the main window with a reply, the 显示 menu and
# its 外观 submenu, and Settings, in light and in dark.
# Usage: e2e_english.sh path/to/corvane [screenshot folder]
set -euo pipefail

app=$(realpath "$1")
shots=${2:+$(realpath "$2")}
here=$(dirname "$(realpath "$0")")
for tool in xvfb-run xdotool import python3; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done

# shellcheck source=lib.sh
. "$here/lib.sh"

make_work
make_home
conf="$home/.config/Corvane/Corvane.conf"
mkdir -p "$(dirname "$conf")"

# A reply with reasoning, a list, code, a table and token counts; a user's own title; a failed
# reply, whose stored description stays as it was written.
cat > "$work/data.py" <<'DATA'
import json, sys
reply = ("Reverse a list in place with `list.reverse()`, or get a reversed copy with a slice:\n\n"
         "```python\nnumbers = [1, 2, 3]\nprint(numbers[::-1])  # [3, 2, 1]\n```\n\n"
         "| Way | Changes the list | Returns |\n|---|---|---|\n"
         "| `reverse()` | yes | `None` |\n| `[::-1]` | no | a new list |\n"
         "| `reversed()` | no | an iterator |\n\n"
         "- Use `reversed()` when you only loop over it.\n- Slices copy: mind large lists.")
data = {
    "settings": {"baseURL": "http://127.0.0.1:9/v1", "apiKey": "sk-e2e", "model": "gpt-4o-mini",
                 "systemPrompt": "", "models": ["gpt-4o-mini", "deepseek-r1"]},
    "conversations": [
        {"id": "0F8FAD5B-D9CB-469F-A165-70867728950E", "title": "新对话", "createdAt": 2,
         "messages": [
             {"id": "7C9E6679-7425-40DE-944B-E07FC1F90AE7", "role": "user",
              "content": "How do I reverse a list in Python?"},
             {"id": "16FD2706-8BAF-433B-82EB-8C7FADA847DA", "role": "assistant",
              "content": reply, "reasoning": "The user wants both ways: in place and a copy.",
              "usage": {"prompt_tokens": 1234, "completion_tokens": 567,
                        "reasoning_tokens": 120}}]},
        {"id": "886313E1-3B8A-5372-9B90-0C9AEE199E5D", "title": "周报 Q3", "createdAt": 1,
         "messages": [
             {"id": "6BA7B810-9DAD-11D1-80B4-00C04FD430C8", "role": "user", "content": "Hello"},
             {"id": "A8098C1A-F86E-11DA-BD1A-00112444BE1E", "role": "assistant",
              "content": "⚠️ 请求失败（HTTP 401）：\n{\"error\":{\"message\":\"Invalid API key\"}}",
              "error": "请求失败（HTTP 401）：\n{\"error\":{\"message\":\"Invalid API key\"}}",
              "errorKind": "http:401"}]},
    ],
}
json.dump(data, open(sys.argv[1], "w", encoding="utf-8"), ensure_ascii=False, separators=(",", ":"))
DATA

# The titles in the file: the new conversation made in English is written as always.
cat > "$work/check.py" <<'CHECK'
import json, sys
data = json.load(open(sys.argv[1], encoding="utf-8"))
titles = sorted(c["title"] for c in data["conversations"])
if titles != sorted(["新对话", "新对话", "周报 Q3"]):
    sys.exit(f"FAIL: titles written {titles}")
if "language=en" not in open(sys.argv[2], encoding="utf-8").read():
    sys.exit("FAIL: the language setting was lost")
CHECK

cat > "$work/drive.sh" <<'DRIVE'
set -euo pipefail
. "$LIB"
grab() { [ -z "$SHOTS" ] || import -window root "$SHOTS/$1.png"; }
start_app '^New Chat$'
xdotool search --onlyvisible --name '^New Chat$' >"$WORK/titled"
grab "reply-$MODE"
# The menus: 文件, then 显示 (the second title of the menu bar) with its 外观 and 界面语言
# submenus.
xdotool mousemove --window "$window" 16 12 click 1
sleep 0.6
grab "file-menu-$MODE"
# Over the next title, the open menu bar shows its menu.
xdotool mousemove --window "$window" 62 12
sleep 0.6
xdotool mousemove --window "$window" 90 42
sleep 1
grab "appearance-menu-$MODE"
xdotool mousemove --window "$window" 90 70
sleep 1
grab "language-menu-$MODE"
xdotool key Escape Escape
sleep 0.3
# The failed reply of the user's own conversation, then Settings.
xdotool mousemove --window "$window" 100 125 click 1
sleep 0.8
grab "failure-$MODE"
xdotool key --clearmodifiers ctrl+comma
for _ in $(seq 100); do xdotool search --onlyvisible --name '^Settings$' >/dev/null 2>&1 && break; sleep 0.2; done
sleep 1
grab "settings-$MODE"
xdotool key --clearmodifiers Escape
sleep 0.3
# A new conversation, made in English, is written as the program always writes it.
xdotool mousemove --window "$window" 600 300 click 1
xdotool key --clearmodifiers ctrl+n
for _ in $(seq 100); do [ "$(grep -o '"title":"新对话"' "$DATA" | wc -l)" = 2 ] && break; sleep 0.1; done
kill -TERM $app
wait $app
trap - EXIT
DRIVE

for mode in light dark; do
  printf '[General]\nlanguage=en\nappearance=%s\n' "$mode" >"$conf"
  python3 "$work/data.py" "$data"
  rm -f "$work/titled"
  (unset QT_QPA_PLATFORM
   HOME="$home" XDG_DATA_HOME="$home/.local/share" XDG_CONFIG_HOME="$home/.config" \
     XDG_RUNTIME_DIR="$work/runtime" APP="$app" WORK="$work" DATA="$data" LIB="$here/lib.sh" \
     SHOTS="$shots" MODE="$mode" xvfb-run -a -s "-screen 0 1280x800x24" bash "$work/drive.sh") ||
    fail "the drive script failed ($mode): $(cat "$work/app.log")"
  [ -s "$work/titled" ] || fail "no window titled New Chat ($mode)"
  python3 "$work/check.py" "$data" "$conf"
done
echo "PASS: English interface, Chinese file"
