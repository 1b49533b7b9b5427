#!/usr/bin/env bash
# Installs the Debian packages named on the command line that are missing
# (with sudo when not root). With no arguments: what building and testing need,
# the X server and window manager of the window tests among them.
set -euo pipefail
packages=("$@")
if [ ${#packages[@]} -eq 0 ]; then
  packages=(cmake ninja-build g++ pkg-config libgtest-dev libgmock-dev
            qt6-base-dev qt6-serialport-dev libgl-dev libcli11-dev xvfb openbox x11-utils)
fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
$sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
