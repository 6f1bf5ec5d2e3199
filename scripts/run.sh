#!/usr/bin/env bash
# Installs what is missing, builds, and starts the console.
#   bash scripts/run.sh          one console (on a simulated module when the machine has no
#                                serial adapter and the settings name no device)
#   bash scripts/run.sh --two    two consoles on simulated modules A and B that hear each
#                                other: try the link test and file sending between them
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo
run=(build/app/quorvane)
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display found: starting the console on a virtual X server (xvfb-run)."
  run=(xvfb-run -a build/app/quorvane)
fi
if [ "${1:-}" = "--two" ]; then
  QV_SIM_MODULE=A "${run[@]}" &
  first=$!
  QV_SIM_MODULE=B "${run[@]}"
  wait "$first"
  exit 0
fi
exec "${run[@]}"
