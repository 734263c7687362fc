#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Packages the build that exists (stripped by CPack, whatever the build type) into OUT_DIR for
# the checks that follow. Without Debian's packaging tools it writes OUT_DIR/skipped, and they
# skip too.
# Usage: make_deb.sh CPACK BUILD_DIR OUT_DIR
set -euo pipefail

cpack=$1
build=$2
out=$3
rm -rf "$out"
mkdir -p "$out"
for tool in dpkg-deb dpkg-shlibdeps file; do
  if ! command -v "$tool" >/dev/null; then
    echo "$tool is not installed (Debian: dpkg-dev, file)" | tee "$out/skipped"
    exit 77
  fi
done

if ! "$cpack" --config "$build/CPackConfig.cmake" -B "$out" >"$out/cpack.log" 2>&1; then
  cat "$out/cpack.log" >&2
  echo "FAIL: cpack" >&2
  exit 1
fi
ls "$out"/*.deb
