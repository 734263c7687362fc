#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs a build into a temporary prefix and checks what a desktop needs: the program, a
# desktop entry and metainfo that their validators accept without a remark, and the icon they
# name, all under the one application id.
# Usage: check_install.sh BUILD_DIR APP_ID
set -euo pipefail

build=$1
id=$2
for tool in desktop-file-validate appstreamcli; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done

prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" >/dev/null
desktop="$prefix/share/applications/$id.desktop"
metainfo="$prefix/share/metainfo/$id.metainfo.xml"
icon="$prefix/share/icons/hicolor/scalable/apps/$id.svg"
for f in "$desktop" "$metainfo" "$icon"; do [ -s "$f" ] || fail "not installed: $f"; done
[ -x "$prefix/bin/corvane" ] || fail "bin/corvane is not installed"

out=$(desktop-file-validate "$desktop" 2>&1) || fail "desktop-file-validate: $out"
[ -z "$out" ] || fail "desktop-file-validate: $out"
appstreamcli validate --no-net --strict "$metainfo" >"$prefix/asc.log" 2>&1 ||
  fail "appstreamcli: $(cat "$prefix/asc.log")"

grep -qx "Icon=$id" "$desktop" || fail "the entry names another icon"
grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo" ||
  fail "the metainfo names another entry"
grep -q "<content_rating" "$metainfo" || fail "the metainfo has no content rating"
for key in 'Name' 'Comment' 'Comment\[zh_CN\]'; do
  grep -q "^$key=" "$desktop" || fail "the entry has no $key"
done
echo "PASS: install"
