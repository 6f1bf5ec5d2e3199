#!/usr/bin/env bash
# Installs what building and running need, builds the programs (not the tests), and starts
# the console.
#   bash scripts/run.sh          one console; on a simulated module when the machine has no
#                                USB serial adapter and the settings file maps no device
#   bash scripts/run.sh --two    two consoles on simulated modules A and B that hear each
#                                other: try the link test and file sending between them
# Arguments after these are handed to the program. Without a display (no DISPLAY, no
# WAYLAND_DISPLAY) the window cannot open: the command-line programmer's demo runs instead,
# on two simulated modules.
set -euo pipefail
cd "$(dirname "$0")/.."
step() { printf '== %s\n' "$*"; }

step "Debian packages for building and running (scripts/install-deps.sh)"
bash scripts/install-deps.sh

headless=false
[ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && headless=true
target=quorvane
$headless && target=quorvane-cli
if [ ! -f build/build.ninja ]; then
  step "Configuring the build in build/ (cmake)"
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
step "Building $target (ninja; a first build takes a few minutes)"
cmake --build build --target "$target"

if $headless; then
  [ "${1:-}" = "--two" ] && shift
  step "No display: the command-line demo on two simulated modules (quorvane-cli demo)"
  status=0
  build/cli/quorvane-cli demo || status=$?
  echo "The console's window needs a desktop: there, start it with bash scripts/run.sh"
  echo "(or bash scripts/run.sh --two for two consoles that hear each other)."
  exit "$status"
fi

run=(build/app/quorvane)
if [ "${1:-}" = "--two" ]; then
  shift
  step "Starting two consoles, on the simulated modules A and B"
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
step "Starting the console"
exec "${run[@]}" "$@"
