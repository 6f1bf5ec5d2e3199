#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: a normal build, with the command-line
# demo and the checks of the installed desktop files; the Debian package, judged by lintian; a
# build under AddressSanitizer + UndefinedBehaviorSanitizer; the watcher's hand-over protocol
# and the simulated module under ThreadSanitizer; static analysis; the fuzz targets briefly.
# Works in a tree without git.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh --test
jobs=${QV_TEST_JOBS:-2}

echo "== normal build"
bash scripts/build.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo
(cd build && ctest --output-on-failure -j"$jobs")

echo "== the installed desktop entry and AppStream metainfo"
prefix=build/install-validate
rm -rf "$prefix"
cmake --install build --prefix "$prefix" >/dev/null
desktop-file-validate "$prefix/share/applications/quorvane.desktop"
appstreamcli validate --no-net "$prefix/share/metainfo/org.quorvane.Quorvane.metainfo.xml"

# The command-line programmer's demo: two simulated modules in one process.
echo "== quorvane-cli demo"
if ! build/cli/quorvane-cli demo; then
  echo "test.sh: quorvane-cli demo failed" >&2
  exit 1
fi

# The package comes from a release build of its own (build-package/), with Debian's flags.
echo "== the Debian package (scripts/package.sh), judged by lintian"
bash scripts/package.sh
lintian --fail-on error,warning --display-info build-package/quorvane_*.deb

echo "== address and undefined-behaviour sanitizers"
bash scripts/build.sh build-asan -DCMAKE_BUILD_TYPE=Debug -DQV_SANITIZE=address,undefined
(cd build-asan && ctest --output-on-failure -j"$jobs")

echo "== thread sanitizer: the watcher and its hand-over, the simulated module"
bash scripts/build.sh build-tsan -DCMAKE_BUILD_TYPE=Debug -DQV_SANITIZE=thread -DQV_WATCHER_ONLY=ON
(cd build-tsan && ctest --output-on-failure -j"$jobs")

echo "== static analysis"
bash scripts/lint.sh

echo "== fuzz targets, briefly, on their committed corpus"
CC=clang CXX=clang++ bash scripts/build.sh build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQV_FUZZ=ON -DQV_SANITIZE=address,undefined
(cd build-fuzz && ctest --output-on-failure -L fuzz)
