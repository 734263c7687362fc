# SPDX-License-Identifier: GPL-3.0-or-later
# Helpers shared by the end-to-end scripts; sourced, not run.

fail() { echo "FAIL: $*" >&2; exit 1; }

# Polls a shell condition for up to 20 s.
wait_for() {
  for _ in $(seq 200); do
    if eval "$1"; then return 0; fi
    sleep 0.1
  done
  fail "timed out waiting for: $1"
}

# Makes $work, a temporary folder for the run, removed at exit with every gateway that
# start_gateway started.
make_work() {
  work=$(mktemp -d)
  gateways=()
  trap cleanup EXIT
}
cleanup() {
  for pid in "${gateways[@]}"; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}

# Starts the scripted loopback gateway and waits for it: its port is then in $work/port$1, the
# requests it receives in $work/requests$1.jsonl.
start_gateway() {
  python3 "$here/gateway.py" "$work/port$1" "$work/requests$1.jsonl" &
  gateways+=($!)
  wait_for "[ -s \"$work/port$1\" ]"
}

# A home for the program in $work/home, its data file's path in $data.
make_home() {
  home="$work/home"
  data="$home/.local/share/Corvane/data.json"
  mkdir -p "$home/.local/share/Corvane" "$home/.config" "$work/runtime"
  chmod 700 "$work/runtime"
}

# Runs $work/drive.sh under a virtual display with the program's home; the script sees $APP,
# $WORK, $DATA and $LIB (this file, for start_app).
run_drive() {
  (unset QT_QPA_PLATFORM
   HOME="$home" XDG_DATA_HOME="$home/.local/share" XDG_CONFIG_HOME="$home/.config" \
     XDG_RUNTIME_DIR="$work/runtime" APP="$app" WORK="$work" DATA="$data" LIB="$here/lib.sh" \
     xvfb-run -a -s "-screen 0 1280x800x24" bash "$work/drive.sh") ||
    fail "the drive script failed: $(cat "$work/app.log")"
}

# Inside drive.sh: starts $APP, waits for its window titled $1 and clicks into it (without a
# window manager nothing has the keyboard until a click). Sets $app and $window.
start_app() {
  "$APP" >"$WORK/app.log" 2>&1 &
  app=$!
  trap 'kill $app 2>/dev/null || true' EXIT
  window=
  for _ in $(seq 100); do
    window=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n1) && [ -n "$window" ] && break
    sleep 0.2
  done
  [ -n "$window" ]
  sleep 1
  xdotool mousemove --window "$window" 600 300 click 1
  sleep 0.5
}
