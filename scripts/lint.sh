#!/usr/bin/env bash
# Static analysis: clang-tidy with the checked-in .clang-tidy, and cppcheck, over the project's
# own sources. Needs a configured build tree (compile_commands.json) in build/. The sources are
# listed from the folders, so that a tree without git (an unpacked archive) is checked too.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh --test
[ -f build/compile_commands.json ] || bash scripts/build.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo
# Generated moc files must exist for clang-tidy to parse the sources.
cmake --build build >/dev/null
folders=()
for d in app settings module traffic serial sim cli; do
  [ -d "$d" ] && folders+=("$d")
done
mapfile -t sources < <(find "${folders[@]}" -name '*.cpp' -type f | LC_ALL=C sort)
if [ ${#sources[@]} -eq 0 ]; then
  echo "lint.sh: no sources found under ${folders[*]}" >&2
  exit 1
fi
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
