#!/usr/bin/env bash
# Installs what a fresh Debian 12 machine lacks for msrconfig; a no-op once it is there.
# Both README commands and CI call it: "run" installs what building and running need,
# "test" (the default) adds the test, sanitizer, fuzzing, packaging and screenshot tools, and
# the Windows cross compiler with Wine to run its build.
set -euo pipefail

run_packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev libqt6svg6 qt6-qpa-plugins
  nlohmann-json3-dev # JSON records, header-only, for both builds
  xvfb xauth # xvfb-run, which scripts/run.sh suggests on a machine without a display
)
test_packages=(
  libgtest-dev libgmock-dev googletest
  clang libclang-rt-14-dev
  dpkg-dev debhelper # dpkg-buildpackage, for the Debian packages
  lintian appstream desktop-file-utils # the packages' own checks
  at-spi2-core python3-pyatspi dbus-daemon # the window's accessible tree, on a bus of its own
  qt6-wayland # the window on a Wayland-only desktop, and its failures there
  xdotool imagemagick
  ansible-core # the fleet guide's playbook
  time # the benchmark's memory figures
  g++-mingw-w64-x86-64-posix wine64 wine fonts-wine nsis
  wixl msitools # the MSI: wixl builds it, msibuild adds the PATH entry
  osslsigncode openssl python3-pefile # signing and checking the Windows packages
)

packages=("${run_packages[@]}")
[ "${1:-test}" = run ] || packages+=("${test_packages[@]}")

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  # As root (CI) it installs them; anyone else is asked, and sudo is used only when told to.
  sudo=""
  if [ "$(id -u)" -ne 0 ]; then
    if [ "${MSRCONFIG_SUDO:-}" != 1 ]; then
      echo "missing: ${missing[*]}"
      echo "install them with: sudo apt-get install --no-install-recommends ${missing[*]}"
      echo "(or run this again with MSRCONFIG_SUDO=1 to let it use sudo)"
      exit 1
    fi
    sudo=sudo
  fi
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update
  $sudo apt-get install -y --no-install-recommends "${missing[@]}"
fi
