#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Every package the .deb depends on or recommends exists in the distribution apt knows, so that
# `apt install ./corvane_*.deb` can resolve it. Skipped where apt has no package lists (no
# network, or apt-get update never ran): that says nothing about the names.
# Usage: check_deb_names.sh DEB_DIR
set -euo pipefail

dir=$1
source "$(dirname "$0")/lib.sh"
skip_if_unpackaged "$dir"
command -v apt-cache >/dev/null || { echo "SKIP: apt-cache is not installed"; exit 77; }
lists=$(apt-get indextargets --format '$(FILENAME)' 'Created-By: Packages' 2>/dev/null || true)
have=0
for f in $lists; do
  compgen -G "$f*" >/dev/null && have=1
done
[ "$have" = 1 ] || { echo "SKIP: apt has no package lists (apt-get update)"; exit 77; }

debs=("$dir"/corvane_*.deb)
[ -f "${debs[0]}" ] || { echo "FAIL: no package in $dir" >&2; exit 1; }
names=$(for f in Depends Recommends; do deb_field_names "${debs[0]}" "$f"; done | sort -u)
[ -n "$names" ] || { echo "FAIL: the package names no other package" >&2; exit 1; }
# One look-up for all of them (each one alone reads apt's lists again).
# shellcheck disable=SC2086
known=$(apt-cache show --no-all-versions $names 2>/dev/null | sed -n 's/^Package: //p' | sort -u)
missing=$(comm -23 <(echo "$names") <(echo "$known"))
if [ -n "$missing" ]; then
  echo "FAIL: apt knows no package" $missing >&2
  exit 1
fi
echo "PASS: apt knows all $(wc -l <<<"$names") names"
