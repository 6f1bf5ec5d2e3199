#!/usr/bin/env bash
# Installs what is missing, builds, and starts the console.
#   bash scripts/run.sh          one console; on a simulated module when the machine has no
#                                USB serial adapter and the settings file maps no device
#   bash scripts/run.sh --two    two consoles on simulated modules A and B that hear each
#                                other: try the link test and file sending between them
# Arguments after these are handed to the program.
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
  shift
  "${run[@]}" --simulate=A "$@" &
  first=$!
  "${run[@]}" --simulate=B "$@"
  wait "$first"
  exit 0
fi

# The program never simulates on its own: a module on an on-board UART (/dev/ttyS0,
# /dev/ttyAMA0) must be opened, not answered for. Only here, for a first try on a machine
# with no adapter and no mapping, is the simulated module asked for, and said so.
config=${XDG_CONFIG_HOME:-}
case "$config" in /*) ;; *) config=$HOME/.config ;; esac
settings=$config/Quorvane.ini
has_entry() {
  [ -f "$settings" ] && awk '
    { l = tolower($0); gsub(/^[ \t]+|[ \t\r]+$/, "", l) }
    l ~ /^\[/ { section = l }
    section == "[devices]" && l ~ /^com[0-9]+[ \t]*=[ \t]*[^ \t]/ { found = 1 }
    END { exit !found }' "$settings"
}
has_adapter() {
  compgen -G '/dev/serial/by-id/*' >/dev/null || compgen -G '/dev/ttyUSB*' >/dev/null ||
    compgen -G '/dev/ttyACM*' >/dev/null
}
if ! has_entry && ! has_adapter; then
  cat <<MSG
No USB serial adapter found and no [Devices] entry in $settings:
starting the console on a simulated module (quorvane --simulate).
To use another port, such as an on-board UART, map a COM name to it in that file:
  [Devices]
  COM1=/dev/ttyAMA0
and start again. See docs/user-guide.md, "Which device each COM name opens".
MSG
  exec "${run[@]}" --simulate "$@"
fi
exec "${run[@]}" "$@"
