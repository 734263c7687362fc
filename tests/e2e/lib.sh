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
