#!/usr/bin/env bash
# Installs the Debian 12 packages that building, running and testing need.
set -euo pipefail
packages=(
  build-essential cmake pkg-config
  qt6-base-dev qt6-serialport-dev qt6-charts-dev qt6-multimedia-dev qt6-httpserver-dev
  qt6-websockets-dev libqt6opengl6-dev libxkbcommon-dev libgl-dev qt6-qpa-plugins
  libgtest-dev libgmock-dev
  indi-bin curl help2man dpkg-dev desktop-file-utils systemd
  libqt6sql6-sqlite libsqlite3-dev chromium locales
  mosquitto mosquitto-clients libmosquitto-dev prometheus libindi-dev libsystemd-dev libcurl4-openssl-dev
  python3-aiosmtpd xvfb openbox
  libsodium-dev libssl-dev nginx
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi
as_root=()
if [ "$(id -u)" -ne 0 ]; then
  as_root=(sudo)
fi
echo "Installing: ${missing[*]}"
"${as_root[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y -qq "${missing[@]}"
