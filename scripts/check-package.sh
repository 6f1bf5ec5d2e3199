#!/usr/bin/env bash
# check-package.sh: tries the Debian package where nothing else was ever installed. A fresh
# Debian 12 root (debootstrap --variant=minbase into build-check-package/root) gets the package
# with apt, as a new machine would, and there a user without a display runs
# `quorvane --version`, `quorvane-cli demo` and the window on Qt's offscreen platform until its
# first frame (QV_EXIT_AFTER_SHOW=1). Builds the package first when build-package/ holds none.
# Needs the network, and root for debootstrap and chroot (through sudo when not root). Takes a
# few minutes; not part of scripts/test.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh --check-package
compgen -G 'build-package/quorvane_*.deb' >/dev/null || bash scripts/package.sh
if [ "$(id -u)" -ne 0 ]; then
  exec sudo bash scripts/check-package.sh "$@"
fi
step() { printf '== %s\n' "$*"; }

deb=$(ls build-package/quorvane_*.deb)
version=$(dpkg-deb --field "$deb" Version)
work=$PWD/build-check-package
root=$work/root
mirror=http://deb.debian.org/debian
unmount() {
  if mountpoint -q "$root/proc"; then umount "$root/proc"; fi
}
trap unmount EXIT
unmount
rm -rf --one-file-system "$root"
mkdir -p "$work/cache"

step "a fresh Debian 12 root: debootstrap --variant=minbase bookworm (log in $work/debootstrap.log)"
debootstrap --variant=minbase --cache-dir="$work/cache" bookworm "$root" "$mirror" \
  >"$work/debootstrap.log" 2>&1 || { tail -20 "$work/debootstrap.log"; exit 1; }
# The suites an installed Debian 12 has; no service starts inside the root.
cat >"$root/etc/apt/sources.list" <<SOURCES
deb $mirror bookworm main
deb $mirror bookworm-updates main
deb http://deb.debian.org/debian-security bookworm-security main
SOURCES
cp /etc/resolv.conf "$root/etc/resolv.conf"
printf '#!/bin/sh\nexit 101\n' >"$root/usr/sbin/policy-rc.d"
chmod 755 "$root/usr/sbin/policy-rc.d"
mount -t proc proc "$root/proc"
cp "$deb" "$root/tmp/"
in_root() {
  chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 \
    DEBIAN_FRONTEND=noninteractive "$@"
}

# Without recommended packages: what the package depends on must be enough by itself.
step "apt install ./${deb##*/} (without recommended packages)"
in_root apt-get update -qq
in_root sh -c "cd /tmp && apt install -y -q --no-install-recommends ./${deb##*/}" 2>&1 |
  { grep -v -e '^WARNING: apt does not have a stable CLI' -e '^$' || true; } | tail -5
in_root dpkg-query -W -f='${Package} ${Version} ${Status}\n' quorvane

in_root useradd --create-home tester
uid=$(in_root id -u tester)
install -d -m 700 -o "$uid" -g "$uid" "$root/run/user/$uid"
as_user() {
  chroot --userspec="$uid:$uid" "$root" env -i PATH=/usr/bin:/bin HOME=/home/tester \
    LANG=C.UTF-8 XDG_RUNTIME_DIR="/run/user/$uid" "$@"
}
failed=0
check() {
  if "$@"; then echo "ok: ${what}"; else echo "FAILED: ${what}" >&2; failed=1; fi
}

step "quorvane --version"
out=$(as_user quorvane --version) || true
echo "$out"
what="quorvane --version names $version"
check grep -q "^quorvane $version\$" <<<"$out"

step "quorvane-cli demo"
what="quorvane-cli demo"
check as_user quorvane-cli demo

step "the window, until its first frame: QV_EXIT_AFTER_SHOW=1 quorvane -platform offscreen"
out=$(as_user env QV_EXIT_AFTER_SHOW=1 quorvane -platform offscreen 2>&1) || true
echo "$out"
what="the window showed its first frame"
check grep -q '^startup_ms=' <<<"$out"
out=$(as_user env QV_EXIT_AFTER_SHOW=1 QT_DEBUG_PLUGINS=1 quorvane -platform offscreen 2>&1) ||
  true
what="Qt's SVG icon plugin (libqt6svg6) loaded for the window's icon"
check grep -q 'libqsvgicon.so" loaded library' <<<"$out"

step "the window on a simulated module: quorvane --simulate -platform offscreen"
out=$(as_user env QV_EXIT_AFTER_SHOW=1 quorvane --simulate -platform offscreen 2>&1) || true
echo "$out"
guide=$(grep -o '/usr/share/doc/quorvane/simulator.md' <<<"$out" || true)
what="the terminal line points at the installed simulator's guide"
check test -n "$guide" -a -f "$root$guide"

if [ "$failed" -ne 0 ]; then
  echo "check-package.sh: the installed package failed (root kept in $root)" >&2
  exit 1
fi
unmount
rm -rf --one-file-system "$root"
echo "check-package.sh: $deb installs and runs on a fresh Debian 12"
