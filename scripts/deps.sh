#!/usr/bin/env bash
# Installs the Debian 12 packages Corvane needs to build, run and test.
# As root it runs apt-get itself; otherwise it prints the one command to run.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-declarative-dev qt6-declarative-dev-tools
  qt6-l10n-tools qt6-tools-dev qt6-tools-dev-tools
  libgl-dev libxcb1-dev libicu-dev libsimdjson-dev
  qml6-module-qtqml qml6-module-qtqml-models qml6-module-qtqml-workerscript
  qml6-module-qtquick qml6-module-qtquick-controls qml6-module-qtquick-templates
  qml6-module-qtquick-layouts qml6-module-qtquick-window qml6-module-qtquick-dialogs
  qml6-module-qtquick-shapes qml6-module-qt-labs-qmlmodels qml6-module-qt-labs-folderlistmodel
  qml6-module-qttest
  fonts-noto-cjk fonts-noto-color-emoji fonts-material-design-icons-iconfont node-prismjs
  qt6-translations-l10n libproxy1-plugin-gsettings libqt6svg6 qt6-svg-dev
  libmd4c-dev libmd4c-html0-dev libbenchmark-dev
  libpoppler-qt6-dev qt6-image-formats-plugins xclip libdbus-1-dev
  qt6-xdgdesktopportal-platformtheme qt6-gtk-platformtheme
  clang-14 libclang-rt-14-dev
  xvfb xauth xdotool x11-apps x11-utils imagemagick python3 dbus-daemon
  desktop-file-utils appstream dpkg-dev file groff-base
)
# npm installs MathJax to build the formula typesetter; one that came with Node.js will do too.
command -v npm >/dev/null 2>&1 || packages+=(npm)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -eq 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
else
  echo "Corvane needs some Debian packages. Run this once, then try again:" >&2
  echo "  sudo apt-get install -y --no-install-recommends ${missing[*]}" >&2
  exit 1
fi
