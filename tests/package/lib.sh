# SPDX-License-Identifier: GPL-3.0-or-later
# Shared by the package checks; sourced, not run.

# The package names in a relationship field of a .deb, one a line, without versions; each
# alternative counts.
deb_field_names() {
  dpkg-deb -f "$1" "$2" | tr ',|' '\n\n' | sed 's/(.*)//; s/[[:space:]]//g' | sed '/^$/d'
}

# Exits 77 (skipped) when make_deb.sh could not package.
skip_if_unpackaged() {
  if [ -e "$1/skipped" ]; then
    echo "SKIP: $(cat "$1/skipped")"
    exit 77
  fi
}
