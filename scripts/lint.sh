#!/usr/bin/env bash
# Static analysis: clang-tidy with the checked-in .clang-tidy, and cppcheck, over the project's
# own sources. Needs a configured build tree (compile_commands.json) in build/.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
[ -f build/compile_commands.json ] || bash scripts/build.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo
# Generated moc files must exist for clang-tidy to parse the sources.
cmake --build build >/dev/null
mapfile -t sources < <(git ls-files 'app/*.cpp' 'module/*.cpp' 'traffic/*.cpp' 'serial/*.cpp' 'sim/*.cpp' 'cli/*.cpp')
echo "== clang-tidy (${#sources[@]} files)"
# clang-tidy reports on stderr next to its "N warnings generated" chatter; keep the reports.
printf '%s\n' "${sources[@]}" | xargs -P 2 -n 4 clang-tidy -p build --quiet 2>&1 \
  | { grep -v -E '^[0-9]+ warnings? (and [0-9]+ errors? )?generated|^Suppressed|^Use -header-filter|^Error while processing' || true; }
test "${PIPESTATUS[1]}" -eq 0
echo "== cppcheck"
cppcheck --quiet --error-exitcode=1 --std=c++17 --language=c++ --inline-suppr \
  --enable=warning,performance,portability \
  --suppress=missingIncludeSystem --suppress=unknownMacro \
  -I . "${sources[@]}"
echo "lint clean"
