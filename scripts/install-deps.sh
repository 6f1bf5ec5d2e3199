#!/usr/bin/env bash
# Installs the Debian packages the console needs to build, run and test, when any is missing.
# Uses sudo when not run as root.
set -euo pipefail
packages=(cmake ninja-build g++ clang clang-tidy cppcheck libclang-rt-14-dev pkg-config
          qt6-base-dev qt6-serialport-dev libgl-dev
          xvfb xauth fonts-dejavu-core)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi
echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
