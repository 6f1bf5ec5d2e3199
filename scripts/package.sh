#!/usr/bin/env bash
# package.sh: builds the Debian package build-package/quorvane_<version>_<arch>.deb from a
# clean release build: CPack's DEB generator packs what `cmake --install` installs (see
# cmake/QvPackage.cmake), with the dependencies dpkg-shlibdeps finds in the programs.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh --package
dir=build-package
rm -rf "$dir"

# Debian's compiler and linker flags, as Debian's own packages are built: -O2 and the
# hardening options (stack protector, fortified functions, read-only relocations, immediate
# binding). No -g: the programs are stripped. CMake reads CXXFLAGS and LDFLAGS, not CPPFLAGS,
# so the preprocessor's flags go with CXXFLAGS, and the release type adds only -DNDEBUG.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all DEB_CXXFLAGS_MAINT_STRIP=-g
CXXFLAGS="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
LDFLAGS=$(dpkg-buildflags --get LDFLAGS)
export CXXFLAGS LDFLAGS
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)

echo "== release build in $dir: the programs and their manual pages"
# Only what the package holds is built (no benchmark); CPack's install then builds nothing
# more, and fails on any installed file that was not built.
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE=-DNDEBUG \
  -DCMAKE_INSTALL_PREFIX=/usr -DBUILD_TESTING=OFF -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON \
  "${launcher[@]}" >/dev/null
cmake --build "$dir" --target quorvane quorvane-cli quorvane-cli-man
echo "== the package"
(cd "$dir" && cpack -G DEB >/dev/null)
deb=$(ls "$dir"/quorvane_*.deb)
# Installing changes nothing but the package's files: no maintainer scripts, so no group, no
# settings folder and no message at install.
extra=$(dpkg-deb --ctrl-tarfile "$deb" | tar -t | grep -v -x -e ./ -e ./control -e ./md5sums) ||
  true
if [ -n "$extra" ]; then
  echo "package.sh: the package holds more than control and md5sums: $extra" >&2
  exit 1
fi
dpkg-deb --field "$deb" Package Version Architecture Depends
echo "$deb"
