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
