#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The running window is matched to its launcher on X11: starts the real program in a virtual X
# display, reads its window's WM_CLASS with xprop and checks that the class is the desktop
# entry's StartupWMClass and the instance the program its Exec line starts.
# Usage: e2e_wmclass.sh path/to/corvane path/to/entry.desktop
set -euo pipefail

app=$(realpath "$1")
entry=$2
here=$(dirname "$(realpath "$0")")
for tool in xvfb-run xdotool xprop; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# shellcheck source=lib.sh
. "$here/lib.sh"

# Inside the virtual display: starts the program, writes its window's WM_CLASS to $WORK/class,
# then ends it.
cat > "$work/drive.sh" <<'DRIVE'
set -euo pipefail
. "$HERE/lib.sh"
"$APP" >"$WORK/app.log" 2>&1 &
app=$!
trap 'kill $app 2>/dev/null || true' EXIT
window=
wait_for 'window=$(xdotool search --onlyvisible --pid $app 2>/dev/null | head -n1); [ -n "$window" ]'
xprop -id "$window" WM_CLASS >"$WORK/class"
kill -TERM $app
wait $app
trap - EXIT
DRIVE

home="$work/home"
mkdir -p "$home" "$work/runtime" && chmod 700 "$work/runtime"
HOME="$home" XDG_DATA_HOME="$home/.local/share" XDG_CONFIG_HOME="$home/.config" \
  XDG_RUNTIME_DIR="$work/runtime" APP="$app" WORK="$work" HERE="$here" \
  QT_QPA_PLATFORM= xvfb-run -a -s "-screen 0 1280x800x24" bash "$work/drive.sh" ||
  fail "the program did not run: $(cat "$work/app.log")"

# WM_CLASS(STRING) = "instance", "Class"
line=$(cat "$work/class")
[[ $line =~ ^WM_CLASS\(STRING\)\ =\ \"([^\"]*)\",\ \"([^\"]*)\"$ ]] || fail "no WM_CLASS: $line"
instance=${BASH_REMATCH[1]}
class=${BASH_REMATCH[2]}

wmclass=$(sed -n 's/^StartupWMClass=//p' "$entry")
[ -n "$wmclass" ] || fail "$entry has no StartupWMClass"
[ "$class" = "$wmclass" ] || fail "the window's class is '$class', the entry's StartupWMClass '$wmclass'"
exec=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$entry")
[ "$instance" = "$(basename "$exec")" ] ||
  fail "the window's instance is '$instance', the entry starts '$exec'"
echo "PASS: the window's class $instance/$class matches $(basename "$entry")"
