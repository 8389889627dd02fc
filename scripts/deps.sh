#!/usr/bin/env bash
# Installs every Debian package the build, the tests, the benchmarks and the Debian package (scripts/package.sh,
# scripts/check-package-chroot.sh) need; does nothing when all are present.
set -euo pipefail

packages=(
  build-essential cmake ninja-build ccache pkg-config clang-format clang libclang-rt-14-dev
  qt6-base-dev qt6-base-dev-tools qt6-declarative-dev qt6-declarative-dev-tools qt6-tools-dev qt6-tools-dev-tools
  qt6-l10n-tools libqt6svg6 qt6-qpa-plugins libgl-dev
  qml6-module-qtquick qml6-module-qtquick-controls qml6-module-qtquick-layouts qml6-module-qtquick-window
  qml6-module-qtquick-templates qml6-module-qtqml-workerscript qml6-module-qtquick-dialogs qml6-module-qtqml
  qml6-module-qtquick-shapes qml6-module-qtqml-models
  libcurl4-openssl-dev zlib1g-dev libxml2-dev libcpp-httplib-dev libssl-dev libbrotli-dev
  libmpv-dev libpulse-dev libplist-dev libtag1-dev
  qtkeychain-qt6-dev libsecret-1-0 gnome-keyring libsecret-tools libglib2.0-bin
  libgtest-dev libgmock-dev libbenchmark-dev nlohmann-json3-dev rapidjson-dev
  dbus dbus-x11 playerctl xvfb x11-apps imagemagick curl xdotool pulseaudio pulseaudio-utils
  at-spi2-core gir1.2-atspi-2.0 python3-gi
  desktop-file-utils appstream ffmpeg fonts-dejavu-core
  dpkg-dev lintian man-db debootstrap
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  SUDO=sudo
else
  SUDO=
fi
echo "Installing: ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
