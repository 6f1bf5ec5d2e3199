#!/usr/bin/env bash
# fuzz.sh [seconds] [--merge]: builds the fuzz targets with clang and runs each for the given
# time (default 300 s). With --merge, new inputs that add coverage are merged into the
# committed corpus in fuzz/corpus/.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-300}
merge=${2:-}
bash scripts/install-deps.sh --test
CC=clang CXX=clang++ bash scripts/build.sh build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQV_FUZZ=ON -DQV_SANITIZE=address,undefined
# The targets that build windows need a platform; Qt's libraries keep a few allocations until
# exit, which the leak checker would take for findings.
export QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0
for bin in build-fuzz/fuzz/fuzz_*; do
  [ -f "$bin" ] && [ -x "$bin" ] || continue
  name=${bin##*/fuzz_}
  scratch=build-fuzz/fuzz-scratch/$name
  mkdir -p "$scratch"
  echo "== $name for ${seconds}s"
  "$bin" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=4096 "$scratch" "fuzz/corpus/$name"
  if [ "$merge" = "--merge" ]; then
    "$bin" -merge=1 "fuzz/corpus/$name" "$scratch"
  fi
done
