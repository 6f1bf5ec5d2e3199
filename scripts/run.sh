#!/usr/bin/env bash
# Installs what is missing, builds, and starts the console.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display found: starting the console on a virtual X server (xvfb-run)."
  exec xvfb-run -a build/app/quorvane "$@"
fi
exec build/app/quorvane "$@"
