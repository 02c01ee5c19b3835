#!/usr/bin/env bash
# Installs what a fresh Debian 12 machine lacks to build, run and test msrconfig.
# Both README commands and CI call this; it is a no-op once everything is there.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  libgtest-dev libgmock-dev googletest
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libqt6svg6 qt6-qpa-plugins
  xvfb xauth xdotool imagemagick
  clang libclang-rt-14-dev dpkg-dev
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; else SUDO=; fi
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update
  $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi
