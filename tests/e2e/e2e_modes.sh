#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The data folder holds the API key, so nothing in it may be open to others. Starts the real
# program in a virtual X display twice, with the usual umask 022:
#  1. in an empty home: a new conversation is made with Ctrl+N; while the program runs and after
#     it quits, the folder is 0700 and every file in it (data.json, the lock) 0600;
#  2. over a folder an earlier version made 0755, holding an unreadable data.json of 0644: the
#     folder is closed to 0700 at start, and the unreadable file kept aside is 0600.
# Usage: e2e_modes.sh path/to/corvane
set -euo pipefail

app=$(realpath "$1")
for tool in xvfb-run xdotool; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
umask 022

# The part that runs inside the virtual display: starts the program, makes a conversation,
# writes what the folder holds while it runs to $WORK/running, then ends it with SIGTERM.
cat > "$work/drive.sh" <<'DRIVE'
set -euo pipefail
"$APP" >"$WORK/app.log" 2>&1 &
app=$!
trap 'kill $app 2>/dev/null || true' EXIT
window=
for _ in $(seq 100); do
  window=$(xdotool search --onlyvisible --name '^Corvane$' 2>/dev/null | head -n1) || true
  [ -n "$window" ] && break
  sleep 0.2
done
[ -n "$window" ] || { echo "no window" >&2; exit 1; }
sleep 1
xdotool mousemove --window "$window" 600 300 click 1
xdotool key --clearmodifiers ctrl+n
for _ in $(seq 200); do grep -qs '"title":"新对话"' "$DIR/data.json" && break; sleep 0.1; done
grep -qs '"title":"新对话"' "$DIR/data.json" || { echo "no conversation saved" >&2; exit 1; }
# Every entry of the folder and the folder itself, with its mode, while the program runs.
find "$DIR" -printf '%m %P\n' | sort >"$WORK/running"
kill -TERM $app
wait $app
trap - EXIT
DRIVE

# Runs the program on home once; the folder's entries are then in $work/running and $work/after.
run() {
  local home=$1
  mkdir -p "$work/runtime" && chmod 700 "$work/runtime"
  HOME="$home" XDG_DATA_HOME="$home/.local/share" XDG_CONFIG_HOME="$home/.config" \
    XDG_RUNTIME_DIR="$work/runtime" APP="$app" WORK="$work" DIR="$home/.local/share/Corvane" \
    QT_QPA_PLATFORM= xvfb-run -a -s "-screen 0 1280x800x24" bash "$work/drive.sh" ||
    fail "the program did not run: $(cat "$work/app.log")"
  find "$home/.local/share/Corvane" -printf '%m %P\n' | sort >"$work/after"
}

# Each line of a listing: the folder ("700 ") or a file of the owner's only ("600 name").
owner_only() {
  local listing=$1 line
  while read -r line; do
    case "$line" in
      "700" | "700 ") ;;
      "600 "?*) ;;
      *) fail "open to others in $(basename "$listing"): '$line' (all: $(tr '\n' ';' <"$listing"))" ;;
    esac
  done <"$listing"
}

# 1. A first start in an empty home.
home="$work/home1"
mkdir -p "$home"
run "$home"
owner_only "$work/running"
owner_only "$work/after"
grep -qx '600 data.json' "$work/running" || fail "no data.json while running: $(cat "$work/running")"
grep -qx '600 data.json.lock' "$work/running" || fail "no lock while running: $(cat "$work/running")"
grep -qx '600 data.json' "$work/after" || fail "no data.json after quitting"

# 2. A folder and an unreadable file left open by an earlier version.
home="$work/home2"
mkdir -p "$home/.local/share/Corvane"
chmod 755 "$home/.local/share/Corvane"
printf 'not json {"apiKey":"sk-old"' >"$home/.local/share/Corvane/data.json"
chmod 644 "$home/.local/share/Corvane/data.json"
run "$home"
owner_only "$work/running"
owner_only "$work/after"
grep -q '^600 data.json.unreadable-' "$work/after" || fail "the unreadable file was not kept: $(cat "$work/after")"
echo "PASS: the data folder and its files are the owner's only"
