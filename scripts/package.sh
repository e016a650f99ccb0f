#!/usr/bin/env bash
# Builds the Debian package of DLVRView with CPack and checks it: its file
# list holds every file `cmake --install` places, and lintian reports no
# error. Usage: package.sh [BUILD_DIR] (default build-package); the package
# is left in BUILD_DIR/package/.
set -euo pipefail
cd "$(dirname "$0")/.."
dir="${1:-build-package}"

# Only the package needs dpkg-shlibdeps (dpkg-dev) for the dependencies and
# lintian for the check; they come the same way as everything else.
scripts/install-deps.sh dpkg-dev lintian

# The programs and their data only: no tests or benchmarks in the package's
# build (CPack builds everything of the tree before it installs).
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDLVR_TESTS=OFF -DDLVR_BENCH=OFF >/dev/null
cmake --build "$dir"
rm -rf "$dir/package"
cpack --config "$dir/CPackConfig.cmake" -G DEB -B "$dir/package" >/dev/null
deb=$(ls "$dir"/package/*.deb)

# Every installed file is in the package.
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
DESTDIR="$stage" cmake --install "$dir" --prefix /usr >/dev/null
(cd "$stage" && find . -type f -o -type l | sed 's|^\./|/|' | sort) > "$stage.installed"
dpkg-deb --fsys-tarfile "$deb" | tar -t | grep -v '/$' | sed 's|^\./|/|' | sort > "$stage.packaged"
absent=$(comm -23 "$stage.installed" "$stage.packaged")
rm -f "$stage.installed" "$stage.packaged"
if [ -n "$absent" ]; then
  echo "package.sh: installed but not in $deb:" >&2
  echo "$absent" >&2
  exit 1
fi

echo "$deb ($(du -k "$deb" | cut -f1) KiB)"
dpkg-deb --field "$deb" Package Version Depends Recommends
# lintian prints its findings; an error fails the package.
lintian --fail-on error "$deb"
