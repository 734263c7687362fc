#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Checks the package make_deb.sh made: its name, fields and files, that Depends names what the
# program loads at run time, that the program is stripped, the size, and that the program it
# installs answers --version without a display.
# Usage: check_deb.sh DEB_DIR VERSION APP_ID SOURCE_DIR
set -euo pipefail

dir=$1
version=$2
id=$3
src=$4
source "$(dirname "$0")/lib.sh"
skip_if_unpackaged "$dir"
fail() { echo "FAIL: $*" >&2; exit 1; }

arch=$(dpkg --print-architecture)
deb=$dir/corvane_${version}_${arch}.deb
[ -f "$deb" ] || fail "no $(basename "$deb") in $dir: $(ls "$dir")"
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = corvane ] || fail "Package: $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version: $(field Version), not $version"
[ "$(field Architecture)" = "$arch" ] || fail "Architecture: $(field Architecture)"

depends=$(deb_field_names "$deb" Depends)
needs() {
  grep -qx "$1" <<<"$depends" || fail "Depends lacks $1 ($2): $(field Depends)"
}
# Found by dpkg-shlibdeps in the program.
for lib in libc6 libqt6core6 libqt6gui6 libqt6network6 libqt6qml6 libqt6quick6; do
  needs "$lib" "a library the program links"
done
# Every QML module the interface imports is its own package: QtQuick.Controls is
# qml6-module-qtquick-controls, Qt.labs.platform qml6-module-qt-labs-platform.
imports=$(grep -rhoE '^import +Qt[A-Za-z0-9.]*' "$src/src" --include='*.qml' |
  awk '{print $2}' | sort -u)
[ -n "$imports" ] || fail "found no QML imports under $src/src"
for module in $imports; do
  # A style and a module's ".impl" part ship in the module's own package.
  package=$(sed -E 's/\.(Basic|Fusion|Imagine|Material|Universal)(\.impl)?$//; s/\.impl$//' <<<"$module")
  needs "qml6-module-$(tr 'A-Z.' 'a-z-' <<<"$package")" "import $module"
done
needs libqt6svg6 "the icon and formulas are SVG"
needs fonts-noto-cjk "the interface is Chinese"
needs qt6-translations-l10n "Qt's own texts in Chinese"
needs qt6-wayland "Wayland desktops"
deb_field_names "$deb" Recommends | grep -qx xdg-desktop-portal-gtk ||
  fail "Recommends: $(field Recommends)"

# Exactly these files, owned by root, with the modes a package needs.
listing=$(dpkg-deb -c "$deb")
files=$(awk '$1 !~ /^d/ {print $1, $2, $6}' <<<"$listing" | sort)
expected=$(sort <<EOT
-rwxr-xr-x root/root ./usr/bin/corvane
-rw-r--r-- root/root ./usr/share/applications/$id.desktop
-rw-r--r-- root/root ./usr/share/doc/corvane/changelog.Debian.gz
-rw-r--r-- root/root ./usr/share/doc/corvane/copyright
-rw-r--r-- root/root ./usr/share/icons/hicolor/scalable/apps/$id.svg
-rw-r--r-- root/root ./usr/share/man/man1/corvane.1.gz
-rw-r--r-- root/root ./usr/share/metainfo/$id.metainfo.xml
EOT
)
[ "$files" = "$expected" ] || fail "the files differ:$(diff <(echo "$expected") <(echo "$files"))"
awk '$1 ~ /^d/ && ($1 != "drwxr-xr-x" || $2 != "root/root") {bad = 1; print} END {exit bad}' \
  <<<"$listing" >&2 || fail "folders with other modes or owners"

# Measured at 0.1: 1.3 MiB packed and 3.5 MiB installed (stripped RelWithDebInfo), 1.4 and
# 3.7 MiB (Release).
# Unstripped, the program alone is over 40 MiB.
size=$(stat -c %s "$deb")
[ "$size" -lt $((2 * 1024 * 1024)) ] || fail "the package is $size bytes"
installed=$(field Installed-Size)
[ "$installed" -lt $((5 * 1024)) ] || fail "Installed-Size is $installed KiB"

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"
program=$root/usr/bin/corvane
if readelf -S --wide "$program" | grep -E '\.(debug_|symtab)'; then
  fail "the program keeps debug sections or symbols"
fi
file -b "$program" | grep -q ', stripped' || fail "file says: $(file -b "$program")"

# As over ssh: no display, no platform chosen.
out=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM HOME="$root" \
  timeout 20 "$program" --version 2>&1) || fail "--version: $out"
[[ $out =~ ^Corvane\ ${version//./\\.}\ \(Qt\ [0-9.]+\)$ ]] || fail "--version printed: $out"

grep -qx "Exec=corvane" "$root/usr/share/applications/$id.desktop" ||
  fail "the desktop entry starts another program"
grep -q "<release version=\"$version\"" "$root/usr/share/metainfo/$id.metainfo.xml" ||
  fail "the metainfo's release is not $version"

doc=$root/usr/share/doc/corvane
gunzip -c "$doc/changelog.Debian.gz" >"$root/changelog"
got=$(dpkg-parsechangelog -l "$root/changelog" -S Version) || fail "the changelog does not parse"
[ "$got" = "$version" ] || fail "the changelog's version is $got"
head -1 "$doc/copyright" |
  grep -qx 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' ||
  fail "the copyright file is not machine-readable"
grep -qx 'License: GPL-3.0-or-later' "$doc/copyright" || fail "the copyright file names no GPL"

gunzip -c "$root/usr/share/man/man1/corvane.1.gz" >"$root/corvane.1"
grep -q "^\.TH CORVANE 1 .*\"Corvane ${version//./\\.}\"" "$root/corvane.1" ||
  fail "the man page is not of version $version"
if command -v groff >/dev/null; then
  warnings=$(groff -man -ww -z "$root/corvane.1" 2>&1)
  [ -z "$warnings" ] || fail "groff: $warnings"
fi
echo "PASS: $(basename "$deb"), $((size / 1024)) KiB"
