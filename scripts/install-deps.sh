#!/usr/bin/env bash
# install-deps.sh [--test]: installs the Debian packages that are missing, through sudo when
# not run as root, then checks that the tools are there.
#   (no option)  what building and running the programs needs (scripts/run.sh)
#   --test       that, and what the tests, the static analysis, the fuzz targets and the
#                checks of the installed files need (scripts/test.sh, scripts/lint.sh)
#   --package    what building and running need, and what building the Debian package
#                needs (scripts/package.sh; --test brings it too, with lintian)
#   --check-package  --package, and debootstrap for a fresh Debian root to try the
#                package in (scripts/check-package.sh)
set -euo pipefail
packages=(cmake ninja-build g++ pkg-config qt6-base-dev qt6-serialport-dev libgl-dev
          libqt6svg6 fonts-dejavu-core)
# Tools each set needs, with the package that brings each.
tools=(cmake:cmake ninja:ninja-build g++:g++)
if [ "${1:-}" = "--test" ]; then
  # fonts-noto-mono: a monospaced family without fontconfig's spacing property, as desktop
  # machines have it, so that the windows are tested where such a font is the fixed one.
  # ser2net and python3-serial: the network port's tests run against their servers.
  packages+=(clang clang-tidy cppcheck libclang-rt-14-dev appstream desktop-file-utils
             help2man fonts-noto-mono ser2net python3-serial)
  tools+=(ctest:cmake clang++:clang clang-tidy:clang-tidy cppcheck:cppcheck
          appstreamcli:appstream desktop-file-validate:desktop-file-utils)
fi

# The Debian package: the manual pages, dpkg-shlibdeps (with file, which CPack needs to find
# the programs) for its dependencies; lintian judges it in the tests.
case "${1:-}" in
  --test | --package | --check-package)
    packages+=(help2man dpkg-dev file)
    tools+=(help2man:help2man dpkg-shlibdeps:dpkg-dev file:file) ;;&
  --test) packages+=(lintian) && tools+=(lintian:lintian) ;;
  --check-package) packages+=(debootstrap) ;;
esac

missing=()
if command -v dpkg-query >/dev/null; then
  for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" ||
      missing+=("$p")
  done
fi
if [ ${#missing[@]} -gt 0 ]; then
  if ! command -v apt-get >/dev/null; then
    echo "install-deps.sh: no apt-get here; install these (Debian names): ${missing[*]}" >&2
    exit 1
  fi
  sudo=""
  if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null || {
      echo "install-deps.sh: not root and no sudo; as root: apt-get install ${missing[*]}" >&2
      exit 1
    }
    sudo="sudo"
  fi
  echo "Installing ${#missing[@]} Debian packages and what they need: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

for t in "${tools[@]}"; do
  command -v "${t%%:*}" >/dev/null || {
    echo "install-deps.sh: ${t%%:*} is missing (Debian package ${t#*:})" >&2
    exit 1
  }
done
