#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The MCP conformance suite's client scenarios that apply to a client of tools, each run against
# "corvane --mcp-probe", with the Node 22 the suite needs. The auth/* scenarios (OAuth) and
# elicitation are not offered by the program, so they are not run.
# Usage: conformance.sh PARTNERS_DIR CORVANE
set -u
partners=$1
corvane=$2
node=$partners/node_modules/.bin/node
cli=$partners/node_modules/@modelcontextprotocol/conformance/dist/index.js
if [ ! -x "$node" ] || [ ! -f "$cli" ]; then
  echo "SKIP: the MCP test partners are not installed (npm ci in the build tree)"
  exit 77
fi
# The probe is a terminal program: it needs no display and must not touch the user's files.
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
export HOME=$home XDG_DATA_HOME=$home/share XDG_CONFIG_HOME=$home/config
unset DISPLAY WAYLAND_DISPLAY

passed=0
failed=0
for scenario in initialize tools_call sse-retry; do
  if out=$("$node" "$cli" client --command "$corvane --mcp-probe" --scenario "$scenario" \
      --timeout 30000 2>&1); then
    passed=$((passed + 1))
    echo "PASS $scenario"
  else
    failed=$((failed + 1))
    echo "FAIL $scenario"
    echo "$out" | tail -n 40
  fi
done
if [ -e "$home/share/Corvane" ]; then
  echo "FAIL the probe created a data folder"
  failed=$((failed + 1))
fi
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
